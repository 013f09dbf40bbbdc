// A memory file and config.ini that are symbolic links to shared files stay links when the
// plug-in rewrites them; the shared files take the new content and keep their permission bits.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "config/settings.h"
#include "memory_board_fixture.h"

namespace {

namespace fs = std::filesystem;

class LinkedFiles : public corvane_test::MemoryBoardTest {
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
