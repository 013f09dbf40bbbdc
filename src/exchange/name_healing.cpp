#include "exchange/name_healing.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "XPLMProcessing.h"
#include "config/input_entries.h"
#include "config/live_events.h"
#include "config/missing_names.h"
#include "config/output_entries.h"
#include "config/plugin_log.h"

namespace {

// A lookup begins this much before the 2 s are up, so that a name that arrives just after one
// lookup is found by the next within 2 s, whichever flight-loop call (every 25 ms) it falls in.
constexpr double kCallSlack = 0.05;

bool requested = false;
bool underWay = false;
std::size_t next = 0;  // the missing name the lookup under way looks up next
// The elapsed time when the last lookup began; none before the first.
std::optional<double> lastBegun;
// The live feed hears of a lookup that was asked for or is the first, and of one that found names.
bool announce = false;
std::vector<std::string> foundNow;  // names the lookup under way found, while a client listens

NameLookup LookUp(const MissingName& m) {
    return m.output ? BindFoundOutputName(m.board, m.index) : BindFoundInputName(m.board, m.index);
}

// Whether a lookup begins in this call: asked for, or 2 s (less the slack) after the last one.
bool LookupDue() {
    const double now = XPLMGetElapsedTime();
    const bool due = requested || !lastBegun || now < *lastBegun ||
                     now - *lastBegun >= kNameRetrySeconds - kCallSlack;
    if (!due) return false;
    announce = requested || !lastBegun;
    requested = false;
    lastBegun = now;
    next = 0;
    return true;
}

}  // namespace

void LookUpMissingNamesSoon() {
    requested = true;
}

void HealMissingNames() {
    if (MissingNames.empty()) {
        underWay = false;
        requested = false;
        return;
    }
    if (!underWay && !LookupDue()) return;
    underWay = true;
    for (int lookups = 0; lookups < kNameLookupsPerCall && next < MissingNames.size(); ++lookups) {
        const MissingName& m = MissingNames[next];
        const NameLookup result = LookUp(m);
        if (result == NameLookup::Missing) {
            ++next;
            continue;
        }
        if (result == NameLookup::Found) {
            WriteLog("\nfound now: " + m.name + " " + MissingNamePlace(m));
            if (LiveFeedOn.load(std::memory_order_relaxed)) foundNow.push_back(m.name);
        }
        MissingNames.erase(MissingNames.begin() + static_cast<std::ptrdiff_t>(next));
    }
    if (next < MissingNames.size()) return;
    underWay = false;
    if (announce || !foundNow.empty()) {
        std::vector<std::string> missing;
        if (LiveFeedOn.load(std::memory_order_relaxed))
            for (const MissingName& m : MissingNames) missing.push_back(m.name);
        PublishNamesEvent(std::move(missing), std::move(foundNow));
    }
    foundNow.clear();
    announce = false;
}

void ResetNameHealing() {
    requested = false;
    underWay = false;
    next = 0;
    lastBegun.reset();
    announce = false;
    foundNow.clear();
}
