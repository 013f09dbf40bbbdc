// The checker's verdict on a configuration text, whole: what the plug-in makes of every line, the
// problems, and for every board section its entries, its pins and what the board receives. The
// one entry that both corvane-check and the plug-in's Studio call; corvane-check's text report is
// written from it.
#pragma once

#include <string>
#include <vector>

#include "check/board_view.h"
#include "check/config_check.h"
#include "config/config_diagnostics.h"

namespace corvane_check {

// One note of the plug-in's readers on a line.
struct VerdictNote {
    ConfigNoteKind kind = ConfigNoteKind::Entry;  // what the line is to the plug-in
    std::string message;                          // the readers' words
    std::string unknownName;  // a name of the line that the simulator does not know, if any
    // The known names closest to it, closest first.
    std::vector<std::string> suggestions;
};

// The note as the checker writes it: the message and "; did you mean ...?" for its suggestions.
std::string NoteText(const VerdictNote& note);
// The checker's word for a kind: "entry", "comment", "skipped" or "suspect".
const char* KindWord(ConfigNoteKind kind);
// True for the kinds that are problems: skipped and suspect.
bool IsProblemKind(ConfigNoteKind kind);

// One line of the text with what the plug-in makes of it.
struct VerdictLine {
    int line = 0;      // from 1; 0 for the notes about the whole text
    std::string text;  // the line as written (a carriage return before its line feed included)
    std::vector<VerdictNote> notes;  // in the order the readers made them
};

// One problem: a skipped or suspect note.
struct VerdictIssue {
    int line = 0;  // 0: the whole text
    ConfigNoteKind severity = ConfigNoteKind::Skipped;
    std::string message;     // the readers' words
    std::string suggestion;  // the closest known name for an unknown one, else ""
};

// An entry of a board section that names a pin.
struct PinEntry {
    bool output = false;  // an output entry; else an input entry
    int index = 0;        // its index among the board's inputs or outputs
    int line = 0;         // its line (0 when unknown)
};

// A pin that the configuration upload gives a use.
struct PinUse {
    int pin = 0;
    unsigned char code = 0;         // the upload's pin-mode code
    std::string use;                // its meaning ("digital input", "servo", ...)
    std::vector<PinEntry> entries;  // the entries that name the pin, inputs first
};

// One board section as the plug-in reads it.
struct BoardVerdict {
    unsigned int id = 0;  // board ID (kNoBoardId: a '*' line without a digit; 0: a panel's text)
    int line = 0;         // line of its '*' line; 0 for a panel's text
    int usedLine = 0;     // '*' line of the section the plug-in uses for this board ID
    bool read = false;    // read into a board row: board IDs 1 to 9, and a panel's text
    BoardView view;       // its inputs, outputs, LED mode entries and blocks
    std::vector<int> inputLines, outputLines, ledModeLines;  // the line of each entry of view
    std::vector<PinUse> pins;  // by pin, for an Arduino board that is read
    // The bytes of the configuration upload: '~', the 54 pin-mode bytes, the code letters of this
    // start-up and the board number (the section's place among the sections read, from 1); empty
    // for a panel and a section that is not read.
    std::string upload;
};

struct Verdict {
    int lineCount = 0;               // lines of the text
    std::vector<VerdictLine> lines;  // every line with a note, by number (0 first, when it has any)
    std::vector<BoardVerdict> boards;  // every board section in the text's order; one for a panel
    // The problems, by line: the skipped and suspect notes of lines.
    std::vector<VerdictIssue> Issues() const;
    // The line with number `line`, or null when it has no note.
    const VerdictLine* LineOf(int line) const;
};

// The verdict on text read as `name` says: "panel" as a Helvan panel's configuration text, any
// other name ("data.cfg", "profiles/NAME.cfg") as a data.cfg. Inside the plug-in it runs on the
// simulator's thread and leaves every live table as it was (live_state_aside.h); names are looked
// up in the running simulator. With suggest, the notes about unknown names get the closest of
// KnownNames or, where it is empty, of the simulator's names (for the first kMostSuggestedNames
// of them): each costs a pass over those names, some milliseconds among X-Plane's; without,
// SuggestNames gives them later, on any thread.
Verdict CheckConfigText(const std::string& name, const std::string& text, bool suggest = true);

// Gives the notes about unknown names the closest of names, for the first `most` unknown names.
// Touches nothing else: runs on any thread, with a snapshot of the simulator's names
// (SimulatorNamesSnapshot in simulator_names.h).
void SuggestNames(Verdict& verdict, const std::vector<std::string>& names,
                  size_t most = kMostSuggestedNames);

// The verdict made of a report of the readers (CheckDataCfg, CheckPanelText).
Verdict VerdictOf(const CheckReport& report);

}  // namespace corvane_check
