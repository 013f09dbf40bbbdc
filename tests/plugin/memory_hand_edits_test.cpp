// The plug-in keeps each memory file it has read; a file changed by hand between two presses is
// read again, so stores and recalls follow what the person wrote.
#include <chrono>
#include <filesystem>

#include "memory_board_fixture.h"

namespace {

using MemoryHandEdits = corvane_test::MemoryBoardTest;

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

}  // namespace
