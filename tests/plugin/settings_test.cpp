// The settings file: reading every key, the lenient parse, and the USB check box rewrite.
#include "config/settings.h"

#include <gtest/gtest.h>

#include <sstream>

#include "config/plugin_folder.h"
#include "plugin/lifecycle.h"
#include "simdata/sim_time.h"
#include "support/plugin_harness.h"

namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSettings();
        Baudrate = 115200;
    }
    void TearDown() override {
        ResetSettings();
        SpecifiedIP = "auto";
        Baudrate = 115200;
    }
    void Read(const std::string& text) {
        std::istringstream file(text);
        ReadSettings(file);
    }
};

TEST_F(SettingsTest, ReadsEveryKeyWithLineFeedOrCarriageReturnLineEnds) {
    Read(
        "IP_ADDRESS = 127.0.0.1\r\nPORT = 49001\r\nUSB_BAUD = 57600\r\nUSB_DEVICE_COUNT = 2\r\n"
        "SCANNING_TIMEOUT = 90\r\nUSB_FIX = 1\r\nRESET_EVENTS = 0\r\n");
    EXPECT_EQ(SpecifiedIP, "127.0.0.1");
    EXPECT_EQ(UDP_PORT, 49001);
    EXPECT_EQ(Baudrate, 57600u);
    EXPECT_EQ(USBcountVar, 2);
    EXPECT_EQ(ScanTimeout, 90);
    EXPECT_TRUE(USB_FIX);
    EXPECT_FALSE(RESET_EVENTS);
}

TEST_F(SettingsTest, BlanksInsideValuesAndTrailingTextAreTolerated) {
    Read("SCANNING_TIMEOUT = 2 0 0\n");
    EXPECT_EQ(ScanTimeout, 200);
    Read("SCANNING_TIMEOUT = 150;\n");
    EXPECT_EQ(ScanTimeout, 150);
    Read("SCANNING_TIMEOUT = 300 = 9\n");
    EXPECT_EQ(ScanTimeout, 300);
}

TEST_F(SettingsTest, UnknownKeysCommentsAndHalfLinesAreSkipped) {
    Read(
        "scanning_timeout = 7\n#SCANNING_TIMEOUT = 8\n = 9\nSCANNING_TIMEOUT\n\n"
        "SCANNING_TIMEOUT = abc\nPORT = 99999999999\n");
    EXPECT_EQ(ScanTimeout, 512);
    EXPECT_EQ(UDP_PORT, 5080);
}

TEST_F(SettingsTest, CommentNeedsTheHashInTheFirstColumn) {
    Read(" #PORT = 6000\n");
    EXPECT_EQ(UDP_PORT, 5080);  // the key " #PORT" with blanks removed is "#PORT": unknown
}

TEST_F(SettingsTest, FlagsTakeOnlyZeroAndOne) {
    Read("USB_FIX = yes\n");
    EXPECT_FALSE(USB_FIX);
    Read("USB_FIX = 2\n");
    EXPECT_FALSE(USB_FIX);
    Read("USB_FIX = 1\n");
    EXPECT_TRUE(USB_FIX);
    Read("USB_FIX = 7\n");
    EXPECT_TRUE(USB_FIX);
    Read("USB_FIX = 0\n");
    EXPECT_FALSE(USB_FIX);
}

TEST_F(SettingsTest, LaterLinesWinAndBaudrateSurvivesTheReset) {
    Read("USB_BAUD = 9600\nUSB_BAUD = 38400\nPORT = 1\nPORT = 2\n");
    EXPECT_EQ(Baudrate, 38400u);
    EXPECT_EQ(UDP_PORT, 2);
    ResetSettings();
    EXPECT_EQ(UDP_PORT, 5080);
    EXPECT_EQ(USBcountVar, 1024);
    EXPECT_EQ(ScanTimeout, 512);
    EXPECT_EQ(SpecifiedIP, "");
    EXPECT_TRUE(RESET_EVENTS);
    EXPECT_EQ(Baudrate, 38400u);
}

TEST_F(SettingsTest, NegativeBaudrateIsNotTaken) {
    Read("USB_BAUD = -5\n");
    EXPECT_EQ(Baudrate, 115200u);
}

class UsbRewriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = corvane_test::MakeTempFolder("corvane-settings");
        foldername = dir_;
    }
    void TearDown() override {
        foldername.clear();
        corvane_test::RemoveFolder(dir_);
    }
    std::string path() const { return dir_ + "/config.ini"; }
    std::string dir_;
};

TEST_F(UsbRewriteTest, ClearingAppendsExactlyOneLineAndKeepsEveryOtherByte) {
    const std::string original = "# my cockpit\r\nIP_ADDRESS = 127.0.0.1\r\n\r\nPORT = 49001\r\n";
    corvane_test::WriteFile(path(), original);
    EXPECT_TRUE(RewriteUsbSetting(0));
    EXPECT_EQ(corvane_test::ReadFile(path()), original + "USB_DEVICE_COUNT = 0\n");
}

TEST_F(UsbRewriteTest, SettingRemovesEveryUsbLineButTheCommentedOne) {
    corvane_test::WriteFile(path(),
                            "PORT = 1\nUSB_DEVICE_COUNT = 0\n#USB_DEVICE_COUNT = 3\n"
                            " USB_DEVICE_COUNT=2\nUSB_FIX = 1");
    EXPECT_TRUE(RewriteUsbSetting(1));
    EXPECT_EQ(corvane_test::ReadFile(path()), "PORT = 1\n#USB_DEVICE_COUNT = 3\nUSB_FIX = 1\n");
}

TEST_F(UsbRewriteTest, WithoutASettingsFileClearingCreatesIt) {
    EXPECT_TRUE(RewriteUsbSetting(0));
    EXPECT_EQ(corvane_test::ReadFile(path()), "USB_DEVICE_COUNT = 0\n");
}

}  // namespace
