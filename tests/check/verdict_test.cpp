// The checker's verdict as the Studio takes it: what every line becomes, the problems with the
// name that was meant, each board section with its pins and its upload.
#include "check/verdict.h"

#include "check_support.h"
#include "config/config_sections.h"

namespace check_test {
namespace {

using corvane_check::CheckConfigText;
using corvane_check::KindWord;
using corvane_check::Verdict;

struct IssueRow {
    int line;
    const char* severity;
    const char* part;        // a part of the message
    const char* suggestion;  // the name that was meant, or ""
};

struct BoardRow {
    unsigned int id;
    int line, usedLine;
    bool read;
    size_t inputs, outputs;
    size_t uploadSize;  // 61 for an Arduino board that is read, else 0
};

struct VerdictRow {
    const char* what;
    const char* name;
    std::string text;
    std::vector<IssueRow> issues;
    std::vector<BoardRow> boards;
};

const VerdictRow kRows[] = {
    {"a misspelt dataref, with the name that was meant",
     "data.cfg",
     "*1\n[I]\nD5+ sim/cockpit2/switchs/beacon_on 1\nD6+ sim/cockpit2/switches/beacon_on 0\n",
     {{3, "suspect", "'sim/cockpit2/switchs/beacon_on' is not a command or dataref",
       "sim/cockpit2/switches/beacon_on"}},
     {{1, 1, 1, true, 2, 0, 61}}},
    {"a board ID twice, board ID 0 and a '*' without a digit, in a profile",
     "profiles/B738.cfg",
     "*2\n[O]\n13L 0 sim/cockpit2/switches/landing_lights_on\n"
     "*2\n[O]\n12L 0 sim/cockpit2/switches/landing_lights_on\n"
     "*0\n[O]\n11L 0 sim/cockpit2/switches/landing_lights_on\n"
     "*\n",
     {{4, "suspect", "repeated board ID 2: the first section with it is used", ""},
      {8, "skipped", "line of a board ID 0 section", ""},
      {9, "skipped", "line of a board ID 0 section", ""},
      {10, "skipped", "no board ID digit after '*'", ""}},
     {{2, 1, 1, true, 0, 1, 61},
      {2, 4, 1, true, 0, 1, 61},
      {0, 7, 7, false, 0, 0, 0},
      {kNoBoardId, 10, 10, false, 0, 0, 0}}},
    {"no board section at all: a problem of the whole text",
     "data.cfg",
     "[I]\nD5+ sim/cockpit2/switches/beacon_on 1\n",
     {{0, "skipped", "no board section", ""},
      {1, "skipped", "line before the first '*' section line", ""},
      {2, "skipped", "line before the first '*' section line", ""}},
     {}},
    {"a panel's text: board ID 0, no pins and no upload",
     "panel",
     "[O]\n1 0 sim/cockpit2/switches/beacon_on\n2 0 sim/cockpit2/switchs/landing_lights_on\n",
     {{3, "", "sim/cockpit2/switchs/landing_lights_on", "sim/cockpit2/switches/landing_lights_on"}},
     {{0, 0, 0, true, 0, 2, 0}}},
    {"carriage returns and a control byte",
     "data.cfg",
     "*3\r\n[I]\r\nD5+\x01 sim/cockpit2/switches/beacon_on 1\r\n",
     {{3, "suspect", "a control byte (01 at column 4)", ""}},
     {{3, 1, 1, true, 1, 0, 61}}},
};

using CheckVerdict = CheckTest;

TEST_F(CheckVerdict, TellsEveryProblemBoardAndLine) {
    for (const VerdictRow& row : kRows) {
        SCOPED_TRACE(row.what);
        const Verdict verdict = CheckConfigText(row.name, row.text);
        const std::vector<corvane_check::VerdictIssue> issues = verdict.Issues();
        ASSERT_EQ(issues.size(), row.issues.size());
        for (size_t k = 0; k < issues.size(); ++k) {
            const IssueRow& want = row.issues[k];
            EXPECT_EQ(issues[k].line, want.line);
            if (*want.severity) {
                EXPECT_EQ(KindWord(issues[k].severity), std::string(want.severity));
            }
            EXPECT_NE(issues[k].message.find(want.part), std::string::npos) << issues[k].message;
            EXPECT_EQ(issues[k].suggestion, want.suggestion);
        }
        ASSERT_EQ(verdict.boards.size(), row.boards.size());
        for (size_t k = 0; k < row.boards.size(); ++k) {
            const corvane_check::BoardVerdict& board = verdict.boards[k];
            const BoardRow& want = row.boards[k];
            EXPECT_EQ(board.id, want.id) << k;
            EXPECT_EQ(board.line, want.line) << k;
            EXPECT_EQ(board.usedLine, want.usedLine) << k;
            EXPECT_EQ(board.read, want.read) << k;
            EXPECT_EQ(board.view.inputs.size(), want.inputs) << k;
            EXPECT_EQ(board.view.outputs.size(), want.outputs) << k;
            EXPECT_EQ(board.upload.size(), want.uploadSize) << k;
        }
        // Every line with a note is one of the text, kept as written; each non-blank line has one.
        int noted = 0;
        for (const corvane_check::VerdictLine& line : verdict.lines) {
            if (line.line == 0) continue;
            ++noted;
            EXPECT_FALSE(line.notes.empty());
            EXPECT_EQ(row.text.find(line.text + "\n") != std::string::npos, true) << line.text;
        }
        EXPECT_EQ(noted, verdict.lineCount);
    }
}

// A pin that two entries name lists both with their lines; the upload carries the pins' uses, the
// start-up's code letters and the number of the board among those read.
TEST_F(CheckVerdict, PinsNameTheirEntriesAndTheUploadIsTheBoards) {
    const Verdict verdict =
        CheckConfigText("data.cfg",
                        "*1\n[I]\nD8+ corvane/starter_ignition_1\n"
                        "*2\n[I]\nD5+ sim/cockpit2/switches/beacon_on 1\nE7+ "
                        "sim/cockpit2/autopilot/altitude_dial_ft "
                        "100+\n[O]\n5L 0 sim/cockpit2/switches/landing_lights_on\n9S 0 "
                        "sim/flightmodel2/controls/flap_handle_deploy_ratio 1 0,1\n");
    ASSERT_EQ(verdict.boards.size(), 2u);
    const corvane_check::BoardVerdict& board = verdict.boards[1];
    ASSERT_EQ(board.upload.size(), 61u);
    EXPECT_EQ(board.upload[0], '~');
    EXPECT_EQ(board.upload.substr(1, 54), board.view.pinModes);
    EXPECT_EQ(board.upload.back(), 2);
    EXPECT_EQ(verdict.boards[0].upload.back(), 1);
    // A held command says which message ends it.
    EXPECT_EQ(verdict.boards[0].view.inputs.at(0).detail,
              "begun when D8+ arrives, ended when D8- arrives");
    // A panel's lamp test names its output, the first one included.
    const Verdict panel = CheckConfigText("panel", "[I]\nB7 13L\n[O]\n13L 0 sim/x\n");
    EXPECT_EQ(panel.boards.at(0).view.inputs.at(0).detail,
              "while held, output 0 (13L) shows all-on");
    std::map<int, std::string> pins;  // pin -> its use and "I<line>"/"O<line>" of each entry
    for (const corvane_check::PinUse& use : board.pins) {
        std::string& text = pins[use.pin];
        text = use.use + " (" + std::to_string(use.code) + ")";
        for (const corvane_check::PinEntry& entry : use.entries)
            text += std::string(" ") + (entry.output ? "O" : "I") + std::to_string(entry.index) +
                    "@" + std::to_string(entry.line);
    }
    EXPECT_EQ(pins[5], "LED or 7-segment output (7) I0@6 O0@9");
    EXPECT_EQ(pins[7], "encoder (E) (2) I1@7");
    EXPECT_EQ(pins[9], "servo (12) O1@10");
}

}  // namespace
}  // namespace check_test
