// Memory files and config.ini in the plug-in's folder, through a LAN board with a store input (M12,
// depth 3) and a recall input (P12) on sim/test/nav1 whose presses go over loopback UDP: a file
// changed by hand between two presses is read again, so stores and recalls follow what the person
// wrote; files that are symbolic links to shared files stay links when the plug-in rewrites them,
// and the shared files take the new content and keep their permission bits.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "config/settings.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace corvane_test {
namespace {

namespace fs = std::filesystem;

class MemoryBoardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PluginOptions options;
        options.dataCfg = "*3\n[I]\nM12 sim/test/nav1 3\nP12 sim/test/nav1\n";
        options.extraDatarefs = "sim/test/nav1 float rw 0\n";
        options.settings = extraSettings_;
        run_ = std::make_unique<PluginRun>(options);
        board_ = &run_->AddLanBoard(25, 3);
        board_->SendIdentification();
        ASSERT_TRUE(run_->ConnectAll(50));
    }
    void TearDown() override { run_.reset(); }

    std::string MemoryPath() const { return run_->folder() + "/memory0.txt"; }
    void Store(const std::string& value) {
        ASSERT_TRUE(xphost::SetDataref("sim/test/nav1", value));
        board_->SendInput("M12");
        run_->Call();
    }
    // The value a recall writes (-1 when it writes none).
    double Recall() {
        xphost::SetDataref("sim/test/nav1", "-1");
        board_->SendInput("P12");
        run_->Call();
        return xphost::GetNumber("sim/test/nav1");
    }

    std::string extraSettings_;  // config.ini lines for a test to set before SetUp
    std::unique_ptr<PluginRun> run_;
    boardsim::Board* board_ = nullptr;
};

using MemoryHandEdits = MemoryBoardTest;

TEST_F(MemoryHandEdits, StoresAndRecallsFollowTheFileAsEdited) {
    struct Step {
        const char* edit;   // written by hand before the press (nullptr: none; "" deletes it)
        const char* store;  // value stored (nullptr: a recall)
        double recalled;    // the value the recall writes (-1: none)
        const char* file;   // the file after the press
    };
    const Step steps[] = {
        {nullptr, "118.25", 0, "12 118.25\r\n"},
        {nullptr, nullptr, 118.25, "12 118.25\r\n"},
        {"7 5\r\n12 121.5,124\r\n", nullptr, 121.5, "7 5\r\n12 121.5,124\r\n"},
        {nullptr, nullptr, 124, "7 5\r\n12 121.5,124\r\n"},
        {"12 1,2\r\n", "3", 0, "12 3,1,2\r\n"},
        {nullptr, nullptr, 3, "12 3,1,2\r\n"},
        {"12 9,8,7,6\n", nullptr, 8, "12 9,8,7,6\n"},  // the cursor stays at the second place
        {"", nullptr, -1, ""},
        {"", "4", 0, "12 4\r\n"},
        {"7 5\r\n", "6", 0, "7 5\r\n12 6\r\n"},
    };
    const std::string path = MemoryPath();
    auto written = std::filesystem::file_time_type::clock::now();
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.edit ? step.edit : "-") + " / " +
                     (step.store ? step.store : "recall"));
        if (step.edit && *step.edit == '\0') {
            std::filesystem::remove(path);
        } else if (step.edit) {
            corvane_test::WriteFile(path, step.edit);
            // A person saves a second or more after the plug-in wrote the file.
            written += std::chrono::seconds(2);
            std::filesystem::last_write_time(path, written);
        }
        if (step.store)
            Store(step.store);
        else
            EXPECT_EQ(Recall(), step.recalled);
        EXPECT_EQ(corvane_test::ReadFile(path), step.file);
    }
}

class LinkedFiles : public MemoryBoardTest {
  protected:
    void SetUp() override {
        devices_ = corvane_test::MakeTempFolder("corvane-nodevices");
        setenv("CORVANE_DEVICE_DIR", devices_.c_str(), 1);  // USB on finds nothing real
        shared_ = corvane_test::MakeTempFolder("corvane-shared");
        MemoryBoardTest::SetUp();
    }
    void TearDown() override {
        MemoryBoardTest::TearDown();
        unsetenv("CORVANE_DEVICE_DIR");
        corvane_test::RemoveFolder(devices_);
        corvane_test::RemoveFolder(shared_);
    }
    std::string devices_, shared_;
};

TEST_F(LinkedFiles, RewritesGoThroughTheLinkToTheSharedFile) {
    const std::string settings = corvane_test::ReadFile(run_->folder() + "/config.ini");
    const std::string usbOff = "USB_DEVICE_COUNT = 0\n";
    ASSERT_NE(settings.find(usbOff), std::string::npos);
    std::string usbOn = settings;
    usbOn.erase(usbOn.find(usbOff), usbOff.size());
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    struct Row {
        std::string name;  // in the plug-in's folder
        bool relative;     // the link's text relative to the plug-in's folder
        mode_t mode;
        std::string before;
        std::function<void()> rewrite;
        std::string after;
    };
    const Row rows[] = {
        {"memory0.txt", false, 0640, "7 5\r\n", [this] { Store("118.25"); },
         "7 5\r\n12 118.25\r\n"},
        {"config.ini", true, 0600, settings, [] { xphost::SetCheckBox("Enable USB", 1); }, usbOn},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string link = run_->folder() + "/" + row.name;
        const std::string target = shared_ + "/" + row.name;
        corvane_test::WriteFile(target, row.before);
        ASSERT_EQ(chmod(target.c_str(), row.mode), 0);
        fs::remove(link);
        const fs::path text =
            row.relative ? fs::relative(target, run_->folder()) : fs::path(target);
        fs::create_symlink(text, link);

        row.rewrite();
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::read_symlink(link), text);
        EXPECT_EQ(corvane_test::ReadFile(target), row.after);
        struct stat info {};
        ASSERT_EQ(stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, row.mode);
    }
    EXPECT_EQ(USBcountVar, 1024);  // the reset read the shared settings
    EXPECT_EQ(std::distance(fs::directory_iterator(shared_), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace corvane_test
