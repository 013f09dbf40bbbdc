// Names of a board's configuration that the simulator does not know yet. An add-on aircraft's
// plug-in registers its datarefs and creates its commands when the aircraft loads, which may be
// long after the boards were configured: such names are kept here, with the line they were written
// on, until the flight loop finds them or the board's configuration is read again.
#pragma once

#include <set>
#include <string>
#include <vector>

// One name of an input or an output that the simulator did not know when the board was read.
struct MissingName {
    int board = 0;        // board index
    bool output = false;  // an output's dataref; else an input's command or dataref
    int index = 0;        // the input's or the output's index
    std::string name;
    std::string line;  // where it is written: "data.cfg line 14", "panel line 3"
};

extern std::vector<MissingName> MissingNames;  // in the order they were read

// What looking up a missing name again gave: found and bound, still unknown, or no longer wanted
// (its entry is gone or bound already).
enum class NameLookup { Found, Missing, Gone };

// Whether a name that is neither a command nor a dataref now may become one: it has the form of
// the simulator's names, a path with '/', and is no comparison (no '<', '>' or '=').
bool MayAppearLater(const std::string& name);
// "(board 2, data.cfg line 14)": the board number and the line, for log lines.
std::string MissingNamePlace(const MissingName& missing);
// Keeps a name that input or output `index` of board b names and the simulator does not know, and
// logs "not found yet: NAME (board 2, data.cfg line 14)" the first time since the last reset.
void NoteMissingName(int b, bool output, int index, const std::string& name,
                     const std::string& line);
// Forgets the missing names of board b (its configuration is read again).
void ForgetMissingNames(int b);
// Forgets every missing name and which ones were logged (the full reset).
void ClearMissingNames();

// The missing names and which of them were logged, held apart.
struct MissingNamesState {
    std::vector<MissingName> names;
    std::set<std::string> logged;
};
// Exchanges the missing names and the logged ones with state (for a read that must leave the live
// state as it is).
void ExchangeMissingNames(MissingNamesState& state);
