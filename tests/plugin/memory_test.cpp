// the dataref memory files, through input messages ("M" stores, "P" recalls).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include "config/plugin_folder.h"
#include "exchange/input_dispatch.h"
#include "inputs_fixture.h"
#include "plugin/lifecycle.h"
#include "simdata/dataref_memory.h"
#include "simdata/sim_time.h"
#include "support/plugin_harness.h"

namespace corvane_inputs_test {
namespace {

class Memory : public InputsTest {
  protected:
    void SetUp() override {
        InputsTest::SetUp();
        folder_ = corvane_test::MakeTempFolder("corvane-memory");
        foldername = folder_;
        Board();
    }
    void TearDown() override {
        corvane_test::RemoveFolder(folder_);
        foldername.clear();
        InputsTest::TearDown();
    }
    // Board b's store and recall inputs on nav1 for key 12: M12 (depth) and P12 (cursor 1).
    void Board(float depth = 3.0f) {
        CreateBoardRow(3, sockaddr_in{}, -1);
        const int b = BoardCount() - 1;
        Entry store;
        store.tag = "M12";
        store.dataref = "sim/test/nav1";
        store.defaultValue = depth;
        AddInput(b, store);
        Entry recall = store;
        recall.tag = "P12";
        recall.defaultValue = 1.0f;
        AddInput(b, recall);
    }
    void Send(const std::string& text, int b = 0) { HandleInputMessage(Message(b, text)); }
    void Store(const std::string& value, int b = 0) {
        ASSERT_TRUE(xphost::SetDataref("sim/test/nav1", value));
        Send("M12", b);
    }
    double Recall(int b = 0) {
        xphost::SetDataref("sim/test/nav1", "-1");
        Send("P12", b);
        return Value("sim/test/nav1");
    }
    std::string File(int b = 0) const {
        return corvane_test::ReadFile(folder_ + "/memory" + std::to_string(b) + ".txt");
    }
    std::string folder_;
};

TEST_F(Memory, FirstStoreCreatesTheFileWithOneLine) {
    Store("118.25");
    EXPECT_EQ(File(), "12 118.25\r\n");
    EXPECT_EQ(MemoryFilePath(0), folder_ + "/memory0.txt");
}

TEST_F(Memory, StoresKeepTheDepthNewestFirst) {
    Store("124");
    Store("121.5");
    Store("118.25");
    EXPECT_EQ(File(), "12 118.25,121.5,124\r\n");
    Store("119.1");
    EXPECT_EQ(File(), "12 119.1,118.25,121.5\r\n");
    InputDefault[0][0] = 1.0f;  // depth 1: every store replaces the value
    Store("1234567");
    EXPECT_EQ(File(), "12 1.23457e+06\r\n");
    EXPECT_EQ(Recall(), 1234570.0);
    InputDefault[0][0] = 2.5f;  // a fractional depth is rounded up: two old values kept
    Store("1");
    Store("2");
    EXPECT_EQ(File(), "12 2,1,1.23457e+06\r\n");
}

TEST_F(Memory, StoreAndRecallShareALineAndTheCursorCycles) {
    Store("1");
    Store("2");
    Store("3");
    EXPECT_EQ(Recall(), 3.0);
    EXPECT_EQ(Recall(), 2.0);
    EXPECT_EQ(Recall(), 1.0);
    EXPECT_EQ(Recall(), 3.0);  // after the oldest: the newest again
    EXPECT_EQ(InputDefault[0][1], 2.0f);
}

TEST_F(Memory, CursorBeyondTheListWritesNothingAndResets) {
    Store("1");
    Store("2");
    Store("3");
    InputDefault[0][1] = 5.0f;
    EXPECT_EQ(Recall(), -1.0);
    EXPECT_EQ(InputDefault[0][1], 1.0f);
    EXPECT_EQ(Recall(), 3.0);
    InputDefault[0][1] = std::nanf("");
    EXPECT_EQ(Recall(), 3.0);
    EXPECT_EQ(InputDefault[0][1], 2.0f);
}

TEST_F(Memory, ValuesSurviveARestart) {
    Store("118.25");
    Store("121.5");
    ClearBoardTables();  // the reset empties the tables but leaves the files
    Board();
    EXPECT_EQ(Recall(), 121.5);
    EXPECT_EQ(Recall(), 118.25);
}

TEST_F(Memory, OtherLinesStayAsTheyAre) {
    corvane_test::WriteFile(folder_ + "/memory0.txt",
                            "7 5,6\r\n\r\n12\r\n12 \r\nnoise\n99 1,2,3\r\n");
    Store("4");
    EXPECT_EQ(File(), "7 5,6\r\n\r\n12\r\n12 \r\nnoise\n99 1,2,3\r\n12 4\r\n");
    EXPECT_EQ(Recall(), 4.0);  // the lines with the key but no values are skipped
    corvane_test::WriteFile(folder_ + "/memory0.txt", "7 5\r\n12 1,2\r\n12 9");
    Store("3");  // every line of the key is rewritten; a last line without a line feed too
    EXPECT_EQ(File(), "7 5\r\n12 3,1,2\r\n12 3,9\r\n");
}

TEST_F(Memory, StoredTokensThatAreNotNumbersAreSkipped) {
    corvane_test::WriteFile(folder_ + "/memory0.txt", "12 abc,5\r\n");
    EXPECT_EQ(Recall(), -1.0);
    EXPECT_EQ(InputDefault[0][1], 2.0f);
    EXPECT_EQ(Recall(), 5.0);
}

TEST_F(Memory, BoardsUseTheirOwnFiles) {
    Board();
    Store("1", 0);
    Store("2", 1);
    EXPECT_EQ(File(0), "12 1\r\n");
    EXPECT_EQ(File(1), "12 2\r\n");
    EXPECT_EQ(Recall(1), 2.0);
}

TEST_F(Memory, RecallWithoutFileOrKeyDoesNothing) {
    EXPECT_EQ(Recall(), -1.0);
    corvane_test::WriteFile(folder_ + "/memory0.txt", "7 5\r\n");
    EXPECT_EQ(Recall(), -1.0);
    EXPECT_EQ(InputDefault[0][1], 1.0f);
}

TEST_F(Memory, FailedStoreKeepsTheOldFile) {
    Store("1");
    // The temporary file cannot be created: a folder of that name stands in its way.
    ASSERT_EQ(mkdir((folder_ + "/memory0.txt.tmp").c_str(), 0755), 0);
    Store("2");
    EXPECT_EQ(File(), "12 1\r\n");
    rmdir((folder_ + "/memory0.txt.tmp").c_str());
    Store("2");
    EXPECT_EQ(File(), "12 2,1\r\n");
}

TEST_F(Memory, StoreLeavesNoTemporaryFile) {
    Store("1");
    struct stat info {};
    EXPECT_NE(stat((folder_ + "/memory0.txt.tmp").c_str(), &info), 0);
}

TEST_F(Memory, OneLetterTagsHaveNoKeyAndStoreNothing) {
    Entry e;
    e.tag = "M";
    e.dataref = "sim/test/nav1";
    AddInput(0, e);
    Send("M");
    EXPECT_EQ(File(), "");
}

TEST_F(Memory, SteppingAndValueMessagesTakePrecedence) {
    Entry e;
    e.tag = "M13";
    e.dataref = "sim/test/nav1";
    e.direction = 1;
    AddInput(0, e);
    xphost::SetDataref("sim/test/nav1", "5");
    Send("M13");
    EXPECT_EQ(Value("sim/test/nav1"), 6.0);
    Send("M12 9");  // a value message on a store input writes the value
    Send("P12 8");
    EXPECT_EQ(Value("sim/test/nav1"), 8.0);
    EXPECT_EQ(File(), "");
}

}  // namespace
}  // namespace corvane_inputs_test
