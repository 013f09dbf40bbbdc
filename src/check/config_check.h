// Reading a data.cfg, or a Helvan panel's configuration text, with the plug-in's own readers and
// their diagnostics on: what each line becomes, and the board row that each section gives.
#pragma once

#include <string>
#include <vector>

#include "check/board_view.h"
#include "config/config_diagnostics.h"

namespace corvane_check {

// One note of the plug-in's readers, placed in the checked text.
struct Finding {
    int line = 0;  // line of the checked text, from 1; 0 for a note about the whole text
    ConfigNoteKind kind = ConfigNoteKind::Entry;
    std::string reason;
    ConfigNoteEntry entry = ConfigNoteEntry::None;  // the table entry an Entry note made
    int index = -1;                                 // and its index
    std::string unknownName = {};  // a name the simulator does not know, which the reason is about
    std::vector<std::string> suggestions = {};  // the known names closest to it, closest first
};

// The reason as the checker writes it: with "; did you mean ...?" when it has suggestions.
std::string ReasonText(const Finding& finding);

// True for what the writer should look at: a line, or part of one, that the plug-in does not use
// (Skipped), or uses in a way that was probably not meant (Suspect).
bool IsProblem(const Finding& finding);

// One board section as the plug-in reads it.
struct SectionCheck {
    unsigned int id = 0;            // board ID (kNoBoardId when its '*' line has no digit)
    int line = 0;                   // line of its '*' line; 0 for a panel's text
    int usedLine = 0;               // '*' line of the section the plug-in uses for this board ID
    bool read = false;              // read into a board row: board IDs 1 to 9, and a panel's text
    std::vector<Finding> findings;  // what the reader made of each line, in order
    BoardView view;                 // the row it built
    std::vector<int> inputLines, outputLines, ledModeLines;  // line of each entry of the view
};

struct CheckReport {
    std::vector<std::string> lines;     // the checked text, line by line
    std::vector<Finding> fileFindings;  // the sectioning of the file into board sections
    std::vector<SectionCheck> sections;
    // Every problem of the file and its sections, by line (stable for one line).
    std::vector<Finding> Problems() const;
};

// Gives every finding about an unknown name the closest names of KnownNames (name_suggestions.h).
void SuggestNames(CheckReport& report);

// Reads a data.cfg text as the plug-in does at start-up (LoadConfig's sectioning), then each
// section of a board ID 1 to 9 into a board row of its own, as the identification of a LAN board
// at 127.0.0.2, 127.0.0.3, ... would. The names are the simulator's (the checker's program gives
// it a world of names of its own); the plug-in's live state is set aside while it reads
// (live_state_aside.h).
CheckReport CheckDataCfg(const std::string& text);

// Reads the configuration text that a Helvan panel sends as the plug-in reads it (board ID 0, with
// "[O]" in front when the text does not begin with '['), in the same way.
CheckReport CheckPanelText(const std::string& text);

}  // namespace corvane_check
