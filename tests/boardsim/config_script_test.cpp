// The board's own configuration section, escapes, and the script reader of the program.
#include <gtest/gtest.h>

#include <sstream>

#include "boardsim/peers.h"
#include "script.h"

using boardsim::BoardConfig;
using boardsim::ParseConfigSection;
using boardsim::ParseScript;
using boardsim::ScriptLine;
using boardsim::SectionFromDataCfg;

namespace {

TEST(ConfigSection, OutputEntriesGivePinKinds) {
    BoardConfig c = ParseConfigSection(
        "[A]\n"
        "L 40\n"
        "N 41\n"
        "G 42\n"
        "[I]\n"
        "D5 sim/x\n"
        "[O]\n"
        "# a comment line\n"
        "13L 0 sim/a\n"
        "5N 2 sim/b 1 4 2 rc\n"
        "7 0 sim/c\n"
        "9P 0 sim/d 1 0,1\n"
        "3l 0 sim/e\n"
        "14L E3=1\n"
        "15M E3=2\n"
        "16L 0 not_selected\n");
    EXPECT_TRUE(c.known);
    EXPECT_EQ(c.ledPortPin, 40);
    EXPECT_EQ(c.sevenSegCommon, 41);
    EXPECT_EQ(c.stepperCommon, 42);
    ASSERT_EQ(c.outputs.size(), 4u) << "port LEDs, mode entries and unselected lines are no pins";
    EXPECT_EQ(c.outputs.at(13).type, 'L');
    EXPECT_EQ(c.outputs.at(5).type, 'N');
    EXPECT_EQ(c.outputs.at(5).digits, 4);
    EXPECT_EQ(c.outputs.at(5).point, 2);
    EXPECT_EQ(c.outputs.at(5).options, "rc");
    EXPECT_EQ(c.outputs.at(7).type, 'D') << "a tag ending in a digit";
    EXPECT_EQ(c.outputs.at(9).type, 'P');
    EXPECT_EQ(c.modeLeds, (std::map<int, char>{{14, 'L'}, {15, 'M'}}));
}

TEST(ConfigSection, EmptyTextIsUnknownWithTheUsualDefaults) {
    BoardConfig c = ParseConfigSection(" \n");
    EXPECT_FALSE(c.known);
    EXPECT_EQ(c.ledPortPin, 100);
    EXPECT_TRUE(c.outputs.empty());
}

TEST(ConfigSection, SectionOfOneBoardIsTakenFromAWholeFile) {
    const std::string file =
        "[O]\n"
        "1L 0 before/any/section\n"
        "*3\n"
        "  [I]  \n"
        "B5 sim/x\n"
        "@ info\n"
        "some free words\n"
        "[O]\n"
        "13L 0 sim/y\r\n"
        "*4\n"
        "[O]\n"
        "2L 0 sim/other\n"
        "*3\n"
        "[O]\n"
        "9L 0 sim/second/copy\n";
    EXPECT_EQ(SectionFromDataCfg(file, 3), "[I]\nB5 sim/x\n[O]\n13L 0 sim/y\n");
    EXPECT_EQ(SectionFromDataCfg(file, 4), "[O]\n2L 0 sim/other\n");
    EXPECT_EQ(SectionFromDataCfg(file, 5), "");
    EXPECT_EQ(SectionFromDataCfg("*0\n[O]\n1L 0 sim/x\n", 0), "") << "ID 0 is the panel's";
}

TEST(Escapes, RoundTripAndScriptForms) {
    using boardsim::Escape;
    using boardsim::Unescape;
    EXPECT_EQ(Escape(boardsim_test::Bytes({'a', 0, 0x7F, '\\', 0xC8})), "a\\x00\\x7F\\\\\\xC8");
    EXPECT_EQ(Unescape("a\\x00\\x7F\\\\\\xc8"), boardsim_test::Bytes({'a', 0, 0x7F, '\\', 0xC8}));
    EXPECT_EQ(Unescape("\\n\\r\\t\\s\\q"), "\n\r\t q");
    EXPECT_EQ(Unescape("\\x4"), "x4") << "an incomplete \\x keeps the text";
    EXPECT_EQ(Unescape("end\\"), "end\\");
}

TEST(Script, ReadsCommandsAndSkipsComments) {
    std::vector<ScriptLine> lines;
    std::string error;
    ASSERT_TRUE(
        ParseScript("# start\n"
                    "\n"
                    "until-configured 5\r\n"
                    "  press B7\n"
                    "raw \\x01Zhello  world \n"
                    "encoder E3+ 2\n"
                    "quit\n",
                    &lines, &error))
        << error;
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].command, "until-configured");
    EXPECT_EQ(lines[0].args, (std::vector<std::string>{"5"}));
    EXPECT_EQ(lines[0].number, 3);
    EXPECT_EQ(lines[1].command, "press");
    EXPECT_EQ(lines[2].rest, "\\x01Zhello  world");
    EXPECT_EQ(lines[3].args, (std::vector<std::string>{"E3+", "2"}));
    EXPECT_EQ(lines[4].command, "quit");
}

TEST(Script, RejectsWrongLinesWithTheirNumber) {
    const std::pair<const char*, const char*> bad[] = {
        {"jump B7\n", "line 1: unknown command 'jump'"},
        {"press\n", "line 1: wrong number of arguments for 'press'"},
        {"state\nwait soon\n", "line 2: wait needs seconds"},
        {"encoder E3+ 0\n", "line 1: encoder needs a repeat count 1..255"},
        {"encoder E3+ 256\n", "line 1: encoder needs a repeat count 1..255"},
        {"control ab\n", "line 1: control needs one character"},
        {"axis A1 half\n", "line 1: axis needs a number"},
        {"until-configured later\n", "line 1: until-configured needs a timeout in seconds"},
    };
    for (const auto& b : bad) {
        std::vector<ScriptLine> lines;
        std::string error;
        EXPECT_FALSE(ParseScript(b.first, &lines, &error)) << b.first;
        EXPECT_EQ(error, b.second);
    }
}

TEST(Script, RunsAgainstABoard) {
    boardsim_test::UdpPeer plugin;
    boardsim::Options o;
    o.lanAddress = "127.0.0.34";
    o.pluginPort = plugin.port();
    boardsim::Board board(o);
    ASSERT_TRUE(board.ok()) << board.error();
    ASSERT_TRUE(plugin.SendTo("127.0.0.34", board.port(), boardsim_test::Upload({}, "MNQPR", 5)));
    std::vector<ScriptLine> lines;
    std::string error;
    ASSERT_TRUE(
        ParseScript("until-configured 5\n"
                    "press B7\n"
                    "input D5 \\x31\n"
                    "raw a\\sb\n"
                    "print done\n"
                    "quit\n"
                    "press B8\n",
                    &lines, &error))
        << error;
    std::ostringstream out;
    EXPECT_EQ(boardsim::RunScript(board, lines, out, nullptr), 0);
    EXPECT_EQ(out.str(), "done\n");
    std::string m;
    ASSERT_TRUE(plugin.Receive(&m));
    EXPECT_EQ(m, boardsim_test::Bytes({5, 'P', '7', '+'}));
    ASSERT_TRUE(plugin.Receive(&m));
    EXPECT_EQ(m, boardsim_test::Bytes({5, 'N', '5', ' ', '1'}));
    ASSERT_TRUE(plugin.Receive(&m));
    EXPECT_EQ(m, "a b");
    EXPECT_TRUE(plugin.Quiet()) << "nothing after quit";
}

TEST(Script, WaitingForAMessageThatNeverComesEndsWithStatusThree) {
    boardsim_test::UdpPeer plugin;
    boardsim::Options o;
    o.lanAddress = "127.0.0.34";
    o.pluginPort = plugin.port();
    boardsim::Board board(o);
    ASSERT_TRUE(board.ok()) << board.error();
    std::vector<ScriptLine> lines;
    std::string error;
    ASSERT_TRUE(ParseScript("until ping 1 0.05\nprint unreachable\n", &lines, &error));
    std::ostringstream out;
    EXPECT_EQ(boardsim::RunScript(board, lines, out, nullptr), 3);
    EXPECT_EQ(out.str(), "");
}

}  // namespace
