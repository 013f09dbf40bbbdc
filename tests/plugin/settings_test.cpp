// The settings file: reading every key, the lenient parse, and the USB check box rewrite.
#include "config/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Rows of settings text and the settings it leaves, starting from the reset values.
TEST_F(SettingsTest, KeysValuesAndTheLenientParse) {
    const struct {
        const char* text;
        const char* settings;
    } rows[] = {
        {"IP_ADDRESS = 127.0.0.1\r\nPORT = 49001\r\nUSB_BAUD = 57600\r\nUSB_DEVICE_COUNT = 2\r\n"
         "SCANNING_TIMEOUT = 90\r\nUSB_FIX = 1\r\nRESET_EVENTS = 0\r\n",
         "ip=127.0.0.1 port=49001 baud=57600 usb=2 scan=90 fix=1 reset=0"},
        {"", "ip= port=5080 baud=115200 usb=1024 scan=512 fix=0 reset=1"},
        {"SCANNING_TIMEOUT = 2 0 0\n", "ip= port=5080 baud=115200 usb=1024 scan=200 fix=0 reset=1"},
        {"SCANNING_TIMEOUT = 150;\nUSB_DEVICE_COUNT=0\n",
         "ip= port=5080 baud=115200 usb=0 scan=150 fix=0 reset=1"},
        {"SCANNING_TIMEOUT = 300 = 9\n",
         "ip= port=5080 baud=115200 usb=1024 scan=300 fix=0 reset=1"},
        {"scanning_timeout = 7\n#SCANNING_TIMEOUT = 8\n = 9\nSCANNING_TIMEOUT\n\n"
         "SCANNING_TIMEOUT = abc\nPORT = 99999999999\n #PORT = 6000\n",
         "ip= port=5080 baud=115200 usb=1024 scan=512 fix=0 reset=1"},
        {"USB_FIX = yes\nRESET_EVENTS = 2\n",
         "ip= port=5080 baud=115200 usb=1024 scan=512 fix=0 reset=1"},
        {"USB_FIX = 1\nUSB_FIX = 7\nRESET_EVENTS = 0\nRESET_EVENTS = 1\n",
         "ip= port=5080 baud=115200 usb=1024 scan=512 fix=1 reset=1"},
        {"USB_FIX = 1\nUSB_FIX = 0\n", "ip= port=5080 baud=115200 usb=1024 scan=512 fix=0 reset=1"},
        {"USB_BAUD = 9600\nUSB_BAUD = 38400\nPORT = 1\nPORT = 2\n",
         "ip= port=2 baud=38400 usb=1024 scan=512 fix=0 reset=1"},
        {"USB_BAUD = 0\nPORT = -2147483648\n",
         "ip= port=-2147483648 baud=0 usb=1024 scan=512 fix=0 reset=1"},
        {"USB_BAUD = -5\nPORT = 4294967296\nIP_ADDRESS = 127.0.0.9\n",
         "ip=127.0.0.9 port=5080 baud=115200 usb=1024 scan=512 fix=0 reset=1"},
    };
    for (const auto& row : rows) {
        ResetSettings();
        Baudrate = 115200;
        Read(row.text);
        const std::string got =
            "ip=" + SpecifiedIP + " port=" + std::to_string(UDP_PORT) +
            " baud=" + std::to_string(Baudrate) + " usb=" + std::to_string(USBcountVar) +
            " scan=" + std::to_string(ScanTimeout) + " fix=" + std::to_string(USB_FIX) +
            " reset=" + std::to_string(RESET_EVENTS);
        EXPECT_EQ(got, row.settings) << row.text;
    }
    Read("USB_BAUD = 38400\n");
    ResetSettings();
    EXPECT_EQ(Baudrate, 38400u);  // the reset keeps the speed
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

// Clearing appends exactly one line and keeps every other byte; setting removes every USB line
// but a commented one; without a file one is made; a failed write changes nothing.
TEST_F(UsbRewriteTest, RewriteKeepsEveryOtherLineAndAFailedWriteChangesNothing) {
    const std::string mine = "# my cockpit\r\nIP_ADDRESS = 127.0.0.1\r\n\r\nPORT = 49001\r\n";
    const struct {
        const char* before;  // nullptr: no file
        int value;
        bool blocked;  // the temporary file cannot be made
        std::string after;
    } rows[] = {
        {mine.c_str(), 0, false, mine + "USB_DEVICE_COUNT = 0\n"},
        {"PORT = 1\nUSB_DEVICE_COUNT = 0\n#USB_DEVICE_COUNT = 3\n USB_DEVICE_COUNT=2\nUSB_FIX = 1",
         1, false, "PORT = 1\n#USB_DEVICE_COUNT = 3\nUSB_FIX = 1\n"},
        {nullptr, 0, false, "USB_DEVICE_COUNT = 0\n"},
        {"PORT = 1\n", 0, true, "PORT = 1\n"},
    };
    for (const auto& row : rows) {
        unlink(path().c_str());
        if (row.before) corvane_test::WriteFile(path(), row.before);
        if (row.blocked) {
            ASSERT_EQ(mkdir((path() + ".tmp").c_str(), 0755), 0);
        }
        EXPECT_EQ(RewriteUsbSetting(row.value), !row.blocked) << row.after;
        EXPECT_EQ(corvane_test::ReadFile(path()), row.after);
        rmdir((path() + ".tmp").c_str());
    }
}

}  // namespace
