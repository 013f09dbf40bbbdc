// Input messages applied to datarefs and commands. Each row reads an I section (with its A
// entries) as the configuration of an Arduino board on loopback, then runs a script of steps
// separated by "; ":
//   =name v      sets a dataref            >text     the board sends text (type letter encoded)
//   ?name v      a dataref's value (a list of values compares the dataref's text)
//   !a:begin,..  the command phases since the last check ("!" alone: none)
//   ~n           n flight-loop repeats of held inputs     m<i> v    the mode of input i
//   @hex ...     the messages the board received since the last check ("@" alone: none)
//   a0110        which outputs are active       p<j> v    the last text of output j
//   Ftext        the board's memory file ("\r\n" written "|")
// Beside the rows: the output gate and mode LEDs, text replies, and rows built or cut by hand.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include "config/config_diagnostics.h"
#include "config/config_file.h"
#include "config/input_options.h"
#include "config/plugin_folder.h"
#include "config/status_text.h"
#include "exchange/held_inputs.h"
#include "exchange/input_dispatch.h"
#include "exchange/internal_inputs.h"
#include "exchange/mode_messages.h"
#include "inputs_fixture.h"
#include "simdata/apply_input.h"
#include "simdata/dataref_access.h"
#include "simdata/dataref_memory.h"
#include "support/plugin_harness.h"

namespace corvane_inputs_test {
namespace {

class InputTables : public InputsTest {
  protected:
    void SetUp() override {
        InputsTest::SetUp();
        folder_ = corvane_test::MakeTempFolder("corvane-inputs");
        foldername = folder_;
    }
    void TearDown() override {
        corvane_test::RemoveFolder(folder_);
        foldername.clear();
        ReleaseAllHeldInputs();
        InputsTest::TearDown();
    }
    // Reads the section as board ID 3 on the peer's address (the panel's, ID 0, after "0:");
    // returns the board's index.
    int Board(const std::string& section) {
        InitStatusLines();
        FromLan(peer_);
        const int b = BoardCount();
        const bool panel = section.compare(0, 2, "0:") == 0;
        ReadConfigFile(section.substr(panel ? 2 : 0), b, panel ? 0 : 3);
        return b;
    }
    // The datagrams the board received since the last call, in hex, separated by blanks.
    std::string Sent() {
        std::string got;
        for (const std::string& m : peer_.Take()) {
            if (!got.empty()) got += ' ';
            got += corvane_test::Hex(m);
        }
        return got;
    }
    void Run(const std::string& section, const std::string& script) {
        const int b = Board(section);
        Commands();
        peer_.Take();
        for (size_t at = 0, end = 0; at < script.size(); at = end + 2) {
            end = std::min(script.find("; ", at), script.size());
            Step(b, script.substr(at, end - at), section + "\n  at " + script.substr(at, end - at));
        }
    }
    void Step(int b, const std::string& step, const std::string& context) {
        const char op = step[0];
        const std::string arg = step.substr(1);
        const size_t blank = arg.find(' ');
        const std::string name = arg.substr(0, blank);
        const std::string value = blank == std::string::npos ? "" : arg.substr(blank + 1);
        if (op == '=') {
            ASSERT_TRUE(xphost::SetDataref(name, value)) << context;
        } else if (op == '>') {
            FromLan(peer_);
            HandleInputMessage(Message(b, arg));
        } else if (op == '?' && value.find(',') != std::string::npos) {
            EXPECT_EQ(xphost::GetDataref(name), value) << context;
        } else if (op == '?') {
            EXPECT_NEAR(Value(name), std::stod(value), 1e-4) << context;
        } else if (op == '!') {
            std::string got;
            for (const std::string& e : Commands()) got += (got.empty() ? "" : ",") + e;
            EXPECT_EQ(got, arg) << context;
        } else if (op == '~') {
            for (int k = std::stoi(arg); k > 0; --k) RepeatHeldInputs();
        } else if (op == 'm') {
            EXPECT_EQ(Mode[b].at(std::stoul(name)), std::stoi(value)) << context;
        } else if (op == '@') {
            EXPECT_EQ(Sent(), arg) << context;
        } else if (op == 'a') {
            std::string active;
            for (bool on : OutputActive[b]) active += on ? '1' : '0';
            EXPECT_EQ(active, arg) << context;
        } else if (op == 'p') {
            // "!": in the all-on state; "?": due to be sent with its value; else the text sent.
            const size_t j = std::stoul(name);
            const bool allOn = j < OutputAllOn[b].size() && OutputAllOn[b][j];
            const bool due = j < OutputDue[b].size() && OutputDue[b][j];
            EXPECT_EQ(allOn, value == "!") << context;
            if (value == "?") {
                EXPECT_TRUE(due) << context;
            } else if (value != "!") {
                EXPECT_EQ(Previous[b].at(j), value) << context;
            }
        } else if (op == 'F') {
            std::string want = arg;
            for (size_t at; (at = want.find('|')) != std::string::npos;)
                want.replace(at, 1, "\r\n");
            EXPECT_EQ(corvane_test::ReadFile(MemoryFilePath(b)), want) << context;
        } else {
            ADD_FAILURE() << "unknown step " << context;
        }
    }
    // Rows of section and script, each on a fresh state.
    void RunRows(const std::vector<std::pair<const char*, const char*>>& rows) {
        for (const auto& [section, script] : rows) {
            TearDown();
            SetUp();
            Run(section, script);
        }
    }
    UdpPeer peer_;
    std::string folder_;
};

TEST_F(InputTables, ButtonsSwitchesAndEncoders) {
    RunRows({
        {"[I]\nB5 sim/lights/landing_lights_toggle\n",
         ">B5; !sim/lights/landing_lights_toggle:begin,sim/lights/landing_lights_toggle:end; "
         ">B6; !"},
        {"[I]\nD3 sim/test/float 3\nD4 sim/test/int 4.7\nD5 sim/test/double -2.5\n",
         ">D3; ?sim/test/float 3; >D4; ?sim/test/int 4; >D5; ?sim/test/double -2.5"},
        {"[I]\nE1+ sim/test/heading 1+,0,360\nE1- sim/test/heading 1-,0,360\n",
         "=sim/test/heading 359.5; >E1+; ?sim/test/heading 0.5; >E1-; ?sim/test/heading 359.5; "
         "=sim/test/heading 100; >E1+; ?sim/test/heading 101; =sim/test/heading 0; >E1-; "
         "?sim/test/heading 359; =sim/test/heading 360; >E1+; ?sim/test/heading 1"},
        {"[I]\nE2+ sim/test/selector 1+,1,12\nE2- sim/test/selector 1-,1,12\n",
         "=sim/test/selector 12; >E2+; ?sim/test/selector 2; =sim/test/selector 11; >E2+; "
         "?sim/test/selector 12; =sim/test/selector 1; >E2-; ?sim/test/selector 12; >E2-; "
         "?sim/test/selector 11; =sim/test/selector 2; >E2-; ?sim/test/selector 1"},
        {"[I]\nE3+ sim/test/float 0.1+,1\nE3- sim/test/float 0.1-,0\n",
         "=sim/test/float 0.95; >E3+; ?sim/test/float 1.05; >E3+; ?sim/test/float 1.05; "
         "=sim/test/float 0.05; >E3-; ?sim/test/float -0.05; >E3-; ?sim/test/float -0.05; "
         "=sim/test/float 1; >E3+; ?sim/test/float 1"},
        {"[I]\nE4+ sim/test/float 2+\n",
         "=sim/test/float 10; >E4+ \x03; ?sim/test/float 16; >E4+; ?sim/test/float 18; "
         ">E4+ \xC8; ?sim/test/float 418; >E4+ \xFF; ?sim/test/float 928"},
        {"[I]\nE2+ sim/test/selector 1+,1,12\nE5+ sim/test/heading 1+,0,360\n"
         "E5- sim/test/heading 1-,0,360\n",
         "=sim/test/selector 5; >E2+ \x1E; ?sim/test/selector 2; =sim/test/heading 100; "
         ">E5+ \xFF; >E5+ \xFF; ?sim/test/heading 250; =sim/test/heading 10; >E5- \xFF; "
         ">E5- \xFF; ?sim/test/heading 220"},
        {"[I]\nE6+ sim/test/float 100+\nE8+ sim/test/int 0.5+\n",
         "=sim/test/float 1000; >E6+; ?sim/test/float 1100; =sim/test/int 3; >E8+; "
         "?sim/test/int 3"},
        {"[I]\nE9+ sim/test/int_float 0.5+\nD11 sim/test/int_float 2.5\n",
         "=sim/test/int_float 7.6; >E9+; ?sim/test/int_float 7.5; >D11; ?sim/test/int_float "
         "2.5"},
        {"[I]\nD8 sim/test/float 1+,0,10\nD9 sim/test/int 1\n",
         ">D8 12.5xyz; ?sim/test/float 12.5; =sim/test/int 4; >D9 abc; >D9 nan; >D9 1e999; >D9 -; "
         ">D9 .; "
         "?sim/test/int 4; >D9 -2; ?sim/test/int -2; >D9 3.5; ?sim/test/int 3"},
        // The first element of an array (element 1, index 0), given or by default, and the
        // elements after it: each value lands in its own element only.
        {"[I]\nD1 sim/test/int_array 4 1\nD2 sim/test/float_array 2.5 1\nD3 sim/test/int_array 3\n"
         "D4 sim/test/int_array 8 2\nD5 sim/test/float_array 1.5\n",
         ">D4; ?sim/test/int_array 0,8,0,0,0,0; >D1; ?sim/test/int_array 4,8,0,0,0,0; >D3; "
         "?sim/test/int_array 3,8,0,0,0,0; >D2; ?sim/test/float_array 2.5,0,0,0,0,0,0,0; >D5; "
         "?sim/test/float_array 1.5,0,0,0,0,0,0,0"},
        {"[I]\nD1 sim/test/float_array 6.5 2\nD2 sim/test/int_array 6 6\n"
         "D3 sim/test/int_array 9 7\nD4 sim/test/float_array 9 0\n",
         ">D1; ?sim/test/float_array 0,6.5,0,0,0,0,0,0; >D2; >D3; "
         "?sim/test/int_array 0,0,0,0,0,6; >D4; ?sim/test/float_array 9,6.5,0,0,0,0,0,0"},
        {"[I]\nA2 sim/test/float -10,10\nA4 sim/test/int 100\nR5 sim/test/int\n",
         ">A2 0; ?sim/test/float -10; >A2 500; ?sim/test/float 0; >A2 1000; ?sim/test/float 10; "
         ">A2 1500; ?sim/test/float 20; =sim/test/int 7; >A4 500; >R5 500; ?sim/test/int 7"},
        {"[A]\nT D5+\nS E7,2\n[I]\nD5+ sim/test/float 1\nD5+ sim/test/float 2\n"
         "D5+ sim/test/float 3\nE7+ sim/test/heading 1+,0,360\n",
         ">D5+; ?sim/test/float 1; m0 32; >D5+; ?sim/test/float 2; >D5+; ?sim/test/float 3; "
         ">D5+; ?sim/test/float 1; >E7+ \x03; ?sim/test/heading 1; >E7+ \x01; ?sim/test/heading 1; "
         ">E7+ \x01; ?sim/test/heading 2; >E7+ \x0C; ?sim/test/heading 14; >E7+ \x01; "
         "?sim/test/heading 14; >E7+ \x02; ?sim/test/heading 15; >E7+ \x01; ?sim/test/heading 16"},
        {"[A]\nS E7,0\n[I]\nE7+ sim/test/heading 1+,0,360\n", ">E7+ \x05; ?sim/test/heading 1"},
        {"[A]\nT B5\n[I]\nB5 sim/test/float 1\nB5 sim/test/float 2\n",
         ">B5; ?sim/test/float 1; >B5; ?sim/test/float 2; >B5; ?sim/test/float 1"},
    });
}

TEST_F(InputTables, HeldInputs) {
    RunRows({
        {"[I]\nB7+ sim/starters/engage_starter_1\nB8 sim/starters/engage_starter_1\n",
         ">B7+; !sim/starters/engage_starter_1:begin; ~30; !; >B7+; "
         "!sim/starters/engage_starter_1:begin,sim/starters/engage_starter_1:end; >B7-; "
         "!sim/starters/engage_starter_1:end; >B7-; !; >B8; "
         "!sim/starters/engage_starter_1:begin,sim/starters/engage_starter_1:end"},
        {"[A]\nR D9+\n[I]\nD9+ sim/test/float 1+\n",
         ">D9+; ?sim/test/float 1; ~16; ?sim/test/float 1; ~1; ?sim/test/float 2; ~3; "
         "?sim/test/float 5; >D9-; ~5; ?sim/test/float 5"},
        {"[I]\nD9+ sim/cockpit2/engine/actuators/ignition_key 4 1\nD8+ sim/test/float 1+\n",
         ">D8+; ~5; ?sim/test/float 1"},
        {"[A]\nR D21+\n[I]\nE3/1+ sim/test/float 1\nE3/2+ sim/test/float 2\nD21+ E3>\n",
         ">D21+; m0 2; >D21-; >D21+; m0 1"},
        {"[A]\nR A1a A1b\n[I]\nA1a sim/test/float 1\nA1b sim/test/int 1\n",
         ">A1a; ~1; ?sim/test/float 1; =sim/test/float 0; >A1b; ~17; ?sim/test/float 0; "
         "?sim/test/int 1"},
    });
}

TEST_F(InputTables, ModesOutputSelectionAndTextReplies) {
    RunRows({
        {"[I]\nE3/1+ sim/test/float 1\nE3/2+ sim/test/float 2\nE3/3+ sim/test/float 3\n"
         "D20 E3>\n[O]\n5L E3=1\n6L E3=2\n7L E3=3\n8L E4=1\n",
         ">E3+; ?sim/test/float 1; >D20; m0 2; @7b020528 7b020629 7b020728; >E3+; "
         "?sim/test/float 2; >D20; m0 3; @7b020528 7b020628 7b020729; >D20; m0 1; >E3+; "
         "?sim/test/float 1"},
        {"[I]\nE3/1+ sim/test/float 1\nE3/2+ sim/test/float 2\nE3/3+ sim/test/float 3\n"
         "D21 E3<\nD22 E3=2\nD23 E3>8\nD24 E3<7\nD25 E3?1\nD26 E3=0\nD27 E3=9\n",
         ">D21; m0 3; >D22; m0 2; >D23; m0 1; >D24; m0 3; >D25; m0 3; >D26; m0 0; >D27; m0 9"},
        // An encoder group takes both turning directions and nothing else of its tag.
        {"[I]\nE3/1+ sim/test/float 1\nE3/2+ sim/test/float 2\nE30 sim/test/int 4\n"
         "E3/1- sim/test/heading 7\n",
         ">E30; ?sim/test/int 4; ?sim/test/float 0; >E3-; ?sim/test/heading 7"},
        {"[A]\nT D5+\n[I]\nD5+ sim/test/float 1\nD5+ sim/test/float 2\nD21 E3>\nD22 E>\n",
         ">D21; >D22; m0 21"},
        // A switch of the one-letter group E is three characters long (E>1) and still steps it;
        // a switch of a group of one mode steps it back to 1 from any mode.
        {"[I]\nE/1+ sim/test/float 1\nE/2+ sim/test/float 2\nE3/1+ sim/test/heading 1\n"
         "D21 E3>\nD22 E>\nD23 E3=2\n",
         ">D22; m0 2; >D23; m2 2; >D21; m2 1"},
        {"[I]\nD40 O_5L\n[O]\n5L 0 sim/test/float\n5L 0 sim/test/int\n5L 0 sim/test/double\n"
         "6L 0 sim/test/float\n",
         "a1001; >D40; a0101; p1 ?; >D40; a0011; >D40; a1001; p0 ?"},
        {"[I]\nD41 O-_5L\nD42 O2_5L\nD43 O7_5L\nD44 O5L\nD45 O_7L\nD46 O1_5L\n[O]\n"
         "5L 0 sim/test/float\n5L 0 sim/test/int\n5L 0 sim/test/double\n",
         "a100; >D46; a100; >D41; a001; >D41; a010; >D43; a001; >D42; a010; >D44; >D45; a010; "
         ">D41; a100"},
        {"[I]\nD7+ 19L\n[O]\n6L 0 sim/test/float\n19L 0 sim/test/float\n5Y 0 sim/test/float\n"
         "19L 0 sim/test/int\n",
         ">D7+; p0 0; p1 !; p2 0; p3 !; >D7-; p0 0; p1 ?; p2 0; p3 ?; @"},
        // On the panel a pin reference names the last output of its tag, the first one too.
        {"0:[I]\nD7+ 19L\n[O]\n19L 0 sim/test/float\n6L 0 sim/test/int\n",
         ">D7+; p0 !; p1 0; >D7-; p0 ?"},
        {"[I]\nD50 D5=2\nD51 hello\n", ">D50; @7d0444353d32; >D51; @7d0568656c6c6f"},
        {"[I]\nM12 sim/test/nav1 3\nP12 sim/test/nav1\nM sim/test/nav1 3\n",
         "=sim/test/nav1 124; >M12; =sim/test/nav1 121.5; >M12; =sim/test/nav1 118.25; >M12; "
         "F12 118.25,121.5,124|; =sim/test/nav1 119.1; >M12; F12 119.1,118.25,121.5|; >P12; "
         "?sim/test/nav1 119.1; >P12; ?sim/test/nav1 118.25; >P12; ?sim/test/nav1 121.5; "
         ">P12; ?sim/test/nav1 119.1; >M; F12 119.1,118.25,121.5|"},
        {"[I]\nM12 sim/test/nav1 1\nP12 sim/test/nav1 5\nM13 sim/test/nav1 1.05\n",
         "=sim/test/nav1 1234567; >M12; F12 1.23457e+06|; =sim/test/nav1 -1; >P12; "
         "?sim/test/nav1 -1; >P12; ?sim/test/nav1 1234570; =sim/test/nav1 1; >M13; "
         "=sim/test/nav1 2; >M13; =sim/test/nav1 3; >M13; F12 1.23457e+06|13 3,2|"},
    });
}

TEST_F(InputTables, MemoryFileKeepsOtherLinesAndSurvivesARestart) {
    corvane_test::WriteFile(folder_ + "/memory0.txt",
                            "7 5,6\r\n\r\n12\r\n12 \r\nnoise\n99 1,2,3\r\n13 abc,5\r\n");
    Run("[I]\nM12 sim/test/nav1 3\nP12 sim/test/nav1\nP13 sim/test/nav1\nP14 sim/test/nav1\n",
        "=sim/test/nav1 4; >M12; F7 5,6||12|12 |noise\n99 1,2,3|13 abc,5|12 4|; "
        "=sim/test/nav1 -1; >P12; ?sim/test/nav1 4; =sim/test/nav1 -1; >P13; ?sim/test/nav1 -1; "
        ">P13; ?sim/test/nav1 5; >P14; ?sim/test/nav1 5");
    corvane_test::WriteFile(folder_ + "/memory0.txt", "7 5\r\n12 1,2\r\n12 9");
    ASSERT_TRUE(xphost::SetDataref("sim/test/nav1", "3"));
    HandleInputMessage(Message(0, "M12"));
    EXPECT_EQ(corvane_test::ReadFile(folder_ + "/memory0.txt"), "7 5\r\n12 3,1,2\r\n12 3,9\r\n");
    // A failed store keeps the old file; a store leaves no temporary file.
    ASSERT_EQ(mkdir((folder_ + "/memory0.txt.tmp").c_str(), 0755), 0);
    HandleInputMessage(Message(0, "M12"));
    EXPECT_EQ(corvane_test::ReadFile(folder_ + "/memory0.txt"), "7 5\r\n12 3,1,2\r\n12 3,9\r\n");
    rmdir((folder_ + "/memory0.txt.tmp").c_str());
    HandleInputMessage(Message(0, "M12"));
    struct stat info {};
    EXPECT_NE(stat((folder_ + "/memory0.txt.tmp").c_str(), &info), 0);
    // After a reset the values are read from the file; a second board has a file of its own.
    ClearBoardTables();
    Run("[I]\nP12 sim/test/nav1\nM12 sim/test/nav1 3\n",
        ">P12; ?sim/test/nav1 3; >P12; ?sim/test/nav1 3; >P12; ?sim/test/nav1 1");
    Run("[I]\nM12 sim/test/nav1 3\n", "=sim/test/nav1 8; >M12; F12 8|");
    EXPECT_EQ(MemoryFilePath(1), folder_ + "/memory1.txt");
}

// Reading and writing a dataref by its type bits: rows of dataref, element, written value,
// the dataref's text after the write, and the value read back.
TEST_F(InputTables, DatarefAccessByTypeAndElement) {
    const struct {
        const char* dataref;
        int element;
        float write;
        const char* text;
        float read;
    } rows[] = {
        {"sim/test/float", 1, 2.75f, "2.75", 2.75f},
        {"sim/test/int", 1, 2.75f, "2", 2.0f},
        {"sim/test/int", 1, -2.9f, "-2", -2.0f},
        {"sim/test/int", 1, 2147483648.0f, "2147483647", 2147483647.0f},
        {"sim/test/int", 1, -1.0e20f, "-2147483648", -2147483648.0f},
        {"sim/test/int", 1, std::nanf(""), "0", 0.0f},
        {"sim/test/int_array", 1, 4.0f, "4,0,0,0,0,0", 4.0f},
        {"sim/test/int_array", 3, 9.8f, "0,0,9,0,0,0", 9.0f},
        {"sim/test/int_array", 6, 1.0f, "0,0,0,0,0,1", 1.0f},
        {"sim/test/int_array", 7, 5.0f, "0,0,0,0,0,0", 0.0f},
        {"sim/test/float_array", 1, 0.5f, "0.5,0,0,0,0,0,0,0", 0.5f},
        {"sim/test/float_array", 8, 1.5f, "0,0,0,0,0,0,0,1.5", 1.5f},
        {"sim/test/float_array", 9, 5.0f, "0,0,0,0,0,0,0,0", 0.0f},
        {"sim/test/float_array", 0, 5.0f, "0,0,0,0,0,0,0,0", 0.0f},
        {"sim/test/int_float", 1, 3.25f, "3.25", 3.0f},
        {"sim/test/double", 1, 0.1f, "0.10000000149011612", 0.1f},
        {"sim/test/bytes", 1, 65.0f, "abc", 0.0f},
    };
    CreateBoardRow(3, sockaddr_in{}, -1);
    for (const auto& row : rows) {
        xphost::Reset();
        ASSERT_TRUE(xphost::LoadDatarefText(kHostDatarefs, nullptr));
        const int i = AddInput(0, {"D1", row.dataref}, row.element);
        WriteDataref(0, i, row.element, row.write);
        EXPECT_EQ(xphost::GetDataref(row.dataref), row.text) << row.dataref << " " << row.element;
        EXPECT_EQ(ReadDataref(0, i, row.element), row.read) << row.dataref << " " << row.element;
    }
    // A value is read from the dataref, not from what was written last; an array's element 1 too.
    for (const char* name : {"sim/test/int_array", "sim/test/float_array", "sim/test/int",
                             "sim/test/float", "sim/test/double"}) {
        const int i = AddInput(0, {"D1", name}, 1);
        WriteDataref(0, i, 1, 4.0f);
        ASSERT_TRUE(xphost::SetDataref(name, "7"));
        EXPECT_EQ(ReadDataref(0, i, 1), 7.0f) << name;
    }
    EXPECT_EQ(ReadDataref(0, 99, 1), 0.0f);
    EXPECT_EQ(ReadDataref(7, 0, 1), 0.0f);
    WriteDataref(7, 0, 1, 9.0f);
    WriteToXPlane(5, 0, 1, 1);
    WriteToXPlane(0, 99, 1, 1);
    ClearSerialState();
    EXPECT_FALSE(SendToPort(7, "x", 1));  // a port that does not exist
    // A board number byte of 128 or more names no board, even when there are 128 boards.
    while (BoardCount() < 128) CreateBoardRow(3, sockaddr_in{}, -1);
    AddInput(126, {"D1", "sim/test/int"});
    AddInput(127, {"D1", "sim/test/float"});
    HandleInputMessage(Message(126, "D1"));
    HandleInputMessage(Message(127, "D1"));
    EXPECT_EQ(Value("sim/test/int"), 1);
    EXPECT_EQ(Value("sim/test/float"), 7);  // as the reads above left it
}

TEST_F(InputTables, ReleasingBoardsEndsTheirHeldCommands) {
    const int a = Board("[I]\nB7+ sim/starters/engage_starter_1\n");
    const int b =
        Board("[A]\nR D9+\n[I]\nB8+ sim/starters/engage_starter_1\nD9+ sim/test/float 1+\n");
    HandleInputMessage(Message(a, "B7+"));
    HandleInputMessage(Message(b, "B8+"));
    HandleInputMessage(Message(b, "D9+"));
    ASSERT_EQ(Continuous.size(), 3u);
    Commands();
    ReleaseBoardHeldInputs(a);
    EXPECT_EQ(Commands(), std::vector<std::string>{"sim/starters/engage_starter_1:end"});
    ASSERT_EQ(Continuous.size(), 2u);
    EXPECT_EQ(Continuous[0][0], b);
    ReleaseAllHeldInputs();
    EXPECT_EQ(Commands(), std::vector<std::string>{"sim/starters/engage_starter_1:end"});
    EXPECT_FALSE(xphost::IsCommandActive("sim/starters/engage_starter_1"));
    EXPECT_TRUE(Continuous.empty());
    EXPECT_TRUE(ContinuousTag.empty());
    // Entries whose input is gone, or that point nowhere, are skipped.
    HandleInputMessage(Message(b, "D9+"));
    EXPECT_EQ(Value("sim/test/float"), 2.0);
    Continuous.push_back({7, 3, 99});
    ContinuousTag.push_back("X");
    ResetBoardRow(b, 3);
    RepeatHeldInputs();
    EXPECT_EQ(Value("sim/test/float"), 2.0);
    // An entry of board and input alone is complete enough to be released.
    Continuous = {{a, 0}};
    ContinuousTag = {"B7-"};
    Commands();
    ReleaseAllHeldInputs();
    EXPECT_EQ(Commands(), std::vector<std::string>{"sim/starters/engage_starter_1:end"});
}

// The output gate: a request is answered with the board's letter, the same one each time; that
// letter opens the gate and lights the mode-1 LEDs (while every output is due), any other letter
// keeps it shut, and 'x' closes it.
TEST_F(InputTables, OutputGateAndTheModeLedsItLights) {
    const int b = AddLanBoard(peer_);
    FromLan(peer_);
    OutputModeLed[b] = {
        {std::string{5, 'L'}, "E3=1"}, {std::string{6, 'L'}, "E3=2"}, {std::string{7, 'S'}, "E3"}};
    AnswerGateRequest(b);
    AnswerGateRequest(b);
    const char letter = allow_output[b];
    EXPECT_TRUE(letter >= 'A' && letter <= 'X') << letter;
    const std::string reply{'D', '{', '*', 'P', 'R', 'D', 'S', 'G', 4, letter, '0', 15, 5};
    EXPECT_EQ(peer_.Take(), (std::vector<std::string>{reply, reply}));
    HandleOutputGate(b, letter == 'A' ? 'B' : 'A');
    EXPECT_FALSE(AllowOutput[b]);
    HandleOutputGate(b, letter);
    EXPECT_TRUE(AllowOutput[b] && AllowPing[b]);
    EXPECT_EQ(Sent(), "7b020529 7b020628 7b0607530000803f");
    sendall[b] = false;
    HandleOutputGate(b, letter);
    EXPECT_EQ(Sent(), "");
    HandleOutputGate(b, 'x');
    EXPECT_FALSE(AllowOutput[b] || AllowPing[b]);
    HandleOutputGate(-1, letter);
    HandleOutputGate(9, letter);
}

// Mode LEDs on the LED port set their bit and send nothing; LEDs beyond the ports, LED 0, entries
// without a kind byte, and entries or boards that do not exist change nothing.
TEST_F(InputTables, PortLedModesSetTheirBitAndSendNothing) {
    const int b = AddLanBoard(peer_);
    LedPortData[b] = {0, 0};
    OutputModeLed[b] = {{std::string{1, 'l'}, "E3=1"},
                        {std::string{10, 'l'}, "E3=2"},
                        {std::string{17, 'l'}, "E3=2"},
                        {std::string{0, 'l'}, "E3=2"},
                        {std::string{9}, "E3=2"}};
    SendMode(b, 0, 1, 1);
    SendMode(b, 1, 2, 2);
    EXPECT_TRUE(LedPortSend[b]);
    EXPECT_EQ(LedPortData[b], (std::vector<uint8_t>{0x01, 0x02}));
    SendMode(b, 1, 1, 2);
    for (unsigned int k : {2, 3, 4, 9}) SendMode(b, k, 2, 2);
    SendMode(7, 0, 2, 2);
    EXPECT_EQ(LedPortData[b], (std::vector<uint8_t>{0x01, 0x00}));
    EXPECT_EQ(Sent(), "");
}

// The text goes back on the link the message came over, a serial port here, behind '}' and its
// length, cut at 255 bytes; a pin-referring (held class) internal input sends nothing.
TEST_F(InputTables, TextIsSentBackWithItsHeaderOnUsb) {
    SerialPeer port;
    const int b = AddSerialBoard(port);
    MessageIsSerial = 1;  // the message came over the port
    SerialCurrent = port.port();
    AddInput(b, {"D50", "hello"});
    AddInput(b, {"D51", "Y"}, 1, 1);
    HandleInputMessage(Message(b, "D50"));
    HandleInputMessage(Message(b, "D51"));
    EXPECT_EQ(port.Take(), "}\x05hello");
    EXPECT_EQ(TextReplyMessage(""), std::string("}") + '\0');
    EXPECT_EQ(TextReplyMessage(std::string(300, 'a')), "}\xFF" + std::string(255, 'a'));
}

// The reader's notes tell a pin reference from another internal input. Read again without the
// reader's record, a two-character internal name ending in l on an Arduino board is still a pin
// reference, one beginning with N is not. Tables cut short are not read past their ends: an empty
// reference marks no output, not even one whose tag is empty, and an analog input beyond the
// square-law table is linear.
TEST_F(InputTables, RowsNotedReadAgainAndCutShort) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const int b = Board(
        "[A]\nR D4+\n[I]\nD7+ 5l\nA1 sim/test/float 0,100\nD8 hello\nD9 Nx\n"
        "D4+ sim/test/int 1+\n[O]\n5l 0 sim/test/int\n");
    std::string made;
    for (const ConfigNote& n : notes)
        if (n.reason.find(": internal") != std::string::npos) made += n.reason + "\n";
    EXPECT_EQ(made,
              "input 0, tag D7+: internal pin reference 5l\ninput 2, tag D8: internal reference "
              "hello\ninput 3, tag D9: internal reference Nx\n");
    InputIncrementDir[b][0] = InputIncrementDir[b][3] = 0;
    SetInputOptions(b);
    EXPECT_EQ(InputIncrementDir[b][0], 32767);
    EXPECT_EQ(InputIncrementDir[b][3], 0);  // Nx ends in no pin letter
    Data[b][0][1].clear();
    OutDrefs[b][0].clear();
    MarkInternalOutputs(b, 0, "!");
    EXPECT_FALSE(FitOutputStates(b) && OutputAllOn[b][0]);
    InputSquareLaw[b] = {false, true};
    InputSquareLaw[b].pop_back();  // the bit stays in the storage
    HandleInputMessage(Message(b, "A1 500"));
    EXPECT_EQ(Value("sim/test/float"), 50);
    HandleInputMessage(Message(b, "D4+"));  // held: it steps again while pressed
    EXPECT_EQ(Value("sim/test/int"), 1);
    // On the panel a pin reference names the last output with its tag.
    const int panel = BoardCount();
    ReadConfigFile("[I]\nD7+ 19L\n[O]\n19L 0 sim/test/float\n19L 0 sim/test/int\n", panel, 0);
    HandleInputMessage(Message(panel, "D7+"));
    EXPECT_EQ(OutputAllOn[panel], (std::vector<bool>{false, true}));
    Contval[b].pop_back();  // the held input's row is gone: it is never read again
    for (int k = 0; k <= kHeldRepeatDelay + 1; ++k) RepeatHeldInputs();
    EXPECT_EQ(Value("sim/test/int"), 1);
}

// An output whose entry one table lacks (tables out of step) is never read: a pin reference, on an
// Arduino board or the panel, leaves it as it was. The first "cut" leaves the tables whole: the
// reference marks the output.
TEST_F(InputTables, OutputMissingFromOneTableIsNotMarked) {
#define CUT(table) [](int b) { table[b].pop_back(); }
    void (*const cuts[])(int) = {nullptr,       CUT(OutputActive), CUT(Drefread),
                                 CUT(Type),     CUT(Arraynum),     CUT(Precision),
                                 CUT(Previous), CUT(OutRange1),    CUT(OutRange2)};
#undef CUT
    for (const auto cut : cuts)
        for (const std::string panel : {"", "0:"}) {  // every output of a pin, or one output
            TearDown();
            SetUp();
            const int b = Board(panel + "[I]\nD7+ 5L\n[O]\n5L 0 sim/test/int\n");
            if (cut) cut(b);
            HandleInputMessage(Message(b, "D7+"));
            EXPECT_EQ(OutputAllOn[b], std::vector<bool>{!cut}) << panel;
        }
}

}  // namespace
}  // namespace corvane_inputs_test
