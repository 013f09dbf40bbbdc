// The names the running simulator knows, for completing a name as it is typed (the Studio's
// GET /api/names) and for the checker's "did you mean" inside the plug-in: its datarefs from its
// own live list where it offers one (X-Plane 12), else from X-Plane's DataRefs.txt; its commands
// from Commands.txt (no simulator lists its commands). Both files lie in Resources/plugins, the
// folder above the plug-in's. Simulator's thread only.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace corvane_check {

constexpr size_t kDefaultNameCount = 50;    // names an answer holds when no limit is given
constexpr size_t kMostNameCount = 200;      // names an answer holds at most
constexpr size_t kLongestNamePrefix = 500;  // a longer prefix matches nothing
// Live datarefs indexed per lookup at most: a simulator with more takes a few lookups to be
// listed whole, each within a few milliseconds.
constexpr int kLiveRefsPerLookup = 4096;
// DataRefs.txt or Commands.txt larger than this is not read.
constexpr size_t kLargestNameFile = 32u << 20;

enum class NameKind { Any, Dataref, Command };

struct SimulatorName {
    std::string name;
    bool command = false;  // a command; else a dataref
    // A dataref's type: "int", "float", "double", "int[]", "float[]" or "data" (of several, the
    // first of these); "" for a command.
    std::string type;
    bool writable = false;  // a dataref that can be written
};

struct NameAnswer {
    std::vector<SimulatorName> names;  // by name (byte order), at most the limit
    // Where the datarefs come from: "live" (the simulator's list), "lists" (DataRefs.txt and
    // Commands.txt), or "" when neither is at hand. A command query says "lists".
    std::string source;
    bool complete = true;  // false while the live list is still being indexed: ask again
};

// The names of kind that begin with prefix, at most limit of them (0: kDefaultNameCount; above
// kMostNameCount: kMostNameCount). Costs a binary search and the answer's names, once the names
// are indexed: the lists are read at the first lookup that needs them, the live list
// kLiveRefsPerLookup datarefs a lookup, as the simulator adds them.
NameAnswer LookUpNames(const std::string& prefix, NameKind kind, size_t limit);

// Every name indexed so far, datarefs and commands, unordered: the names the checker's "did you
// mean" draws from inside the plug-in.
const std::vector<std::string>& IndexedNames();

// The same names, shared: the snapshot stays as it is while later lookups index more, so that
// another thread may draw suggestions from it (SuggestNames in verdict.h).
std::shared_ptr<const std::vector<std::string>> SimulatorNamesSnapshot();

// Forgets every name and where they came from (the plug-in's start and stop): the next lookup
// indexes afresh, with the plug-in folder then in force.
void ForgetSimulatorNames();

}  // namespace corvane_check
