#include "exchange/port_cause_line.h"

#include <string>

#include "config/status_text.h"
#include "transport/port_causes.h"

namespace {

const std::string kMarker = "   No board on ";

}  // namespace

void ShowPortCausesOnSearchLine() {
    // Nothing to tell and nothing told: the common call ends here, making no text.
    if (PortProblems.empty() && StatusLine(SearchLine()).find(kMarker) == std::string::npos) return;
    std::string causes;
    if (!PortProblems.empty()) {
        const PortProblem& first = PortProblems.front();
        causes = kMarker + first.path.substr(first.path.find_last_of("/\\") + 1) + ": " +
                 PortCauseWord(first.cause);
        if (PortProblems.size() > 1)
            causes += " (and " + std::to_string(PortProblems.size() - 1) + " more: see Monitor)";
    }
    const int i = SearchLine();
    const std::string& text = StatusLine(i);
    const std::string shown = text.substr(0, text.find(kMarker)) + causes;
    if (shown != text) SetStatusLine(i, shown);
}
