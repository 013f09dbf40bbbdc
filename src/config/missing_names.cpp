#include "config/missing_names.h"

#include <algorithm>
#include <set>

#include "config/plugin_log.h"

std::vector<MissingName> MissingNames;

namespace {

// Names logged since the last reset, with their board and line: each is logged once, however
// often its board identifies again.
std::set<std::string> logged;

}  // namespace

bool MayAppearLater(const std::string& name) {
    return name.find('/') != std::string::npos && name.find_first_of("<>=") == std::string::npos;
}

std::string MissingNamePlace(const MissingName& missing) {
    return "(board " + std::to_string(missing.board + 1) + ", " + missing.line + ")";
}

void NoteMissingName(int b, bool output, int index, const std::string& name,
                     const std::string& line) {
    MissingNames.push_back(MissingName{b, output, index, name, line});
    const std::string place = MissingNamePlace(MissingNames.back());
    if (logged.insert(name + " " + place).second)
        WriteLog("\nnot found yet: " + name + " " + place);
}

void ForgetMissingNames(int b) {
    MissingNames.erase(std::remove_if(MissingNames.begin(), MissingNames.end(),
                                      [b](const MissingName& m) { return m.board == b; }),
                       MissingNames.end());
}

void ClearMissingNames() {
    MissingNames.clear();
    logged.clear();
}

void ExchangeMissingNames(MissingNamesState& state) {
    MissingNames.swap(state.names);
    logged.swap(state.logged);
}
