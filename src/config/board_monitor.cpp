#include "config/board_monitor.h"

#include <algorithm>
#include <utility>

#include "XPWidgets.h"
#include "config/board_tables.h"
#include "config/config_fields.h"
#include "config/live_events.h"

std::vector<BoardMonitor> BoardMonitors;
unsigned long UnknownSenderDatagrams = 0;
unsigned long DiscardedFrames = 0;
std::vector<std::string> MonitorText;
XPWidgetID MonitorTextWidget[kMonitorLineCount] = {};
bool MonitorShown = false;

namespace {

int callsSinceRefresh = 0;

}  // namespace

BoardMonitor* MonitorOf(int b) {
    if (b < 0 || b >= kMonitoredBoards) return nullptr;
    if (static_cast<size_t>(b) >= BoardMonitors.size())
        BoardMonitors.resize(static_cast<size_t>(b) + 1);
    return &BoardMonitors[static_cast<size_t>(b)];
}

void NoteReceived(int b, long bytes) {
    BoardMonitor* m = MonitorOf(b);
    if (!m || bytes < 0) return;
    ++m->messagesIn;
    m->bytesIn += static_cast<unsigned long>(bytes);
}

void NoteSent(int b, long bytes) {
    BoardMonitor* m = MonitorOf(b);
    if (!m || bytes <= 0) return;
    ++m->messagesOut;
    m->bytesOut += static_cast<unsigned long>(bytes);
}

void NoteInputApplied(int b, const std::vector<std::string>& fields, int input, int element,
                      float result) {
    BoardMonitor* m = MonitorOf(b);
    if (!m) return;
    ++m->inputsApplied;
    // The strings of the ring are reused: after the first few messages no memory is taken.
    MonitoredInput& slot = m->inputs[m->inputsNext];
    slot.tag.assign(fields.empty() ? std::string() : fields[0]);
    slot.value.assign(fields.size() >= 2 ? fields[1] : std::string());
    slot.input = input;
    slot.element = element;
    slot.result = result;
    m->inputsNext = (m->inputsNext + 1) % kMonitorRingSize;
    if (m->inputsKept < kMonitorRingSize) ++m->inputsKept;
}

void NoteOutputSent(int b, int output, const std::string& text) {
    BoardMonitor* m = MonitorOf(b);
    if (!m) return;
    // Each output holds one place, the one it had or else a free one or the oldest; its strings
    // are reused, so after the first few sends no memory is taken.
    int k = 0;
    while (k < m->outputsKept && m->outputs[k].output != output) ++k;
    if (k == m->outputsKept && m->outputsKept < kMonitorRingSize) {
        ++m->outputsKept;
    } else if (k == m->outputsKept) {
        const MonitoredOutput* oldest = std::min_element(
            m->outputs, m->outputs + m->outputsKept,
            [](const MonitoredOutput& a, const MonitoredOutput& b) { return a.sent < b.sent; });
        k = static_cast<int>(oldest - m->outputs);
    }
    MonitoredOutput& slot = m->outputs[k];
    slot.output = output;
    slot.sent = ++m->outputsSent;
    const bool tagged = OutputExists(b, output) && !OutDrefs[b][output].empty();
    static const std::string kNoTag;
    const std::string& tag = tagged ? OutDrefs[b][output][0] : kNoTag;
    if (slot.tag != tag) slot.tag.assign(tag);
    slot.text.assign(text);
    if (LiveFeedOn.load(std::memory_order_relaxed) && BoardExists(b))
        PublishOutputEvent(b, ShowOutputTag(slot.tag, OutDevice[b]), text);
}

bool MonitorRefreshDue() {
    if (++callsSinceRefresh < kMonitorRefreshCalls) return false;
    callsSinceRefresh = 0;
    return true;
}

void SetMonitorLines(const std::vector<std::string>& lines) {
    callsSinceRefresh = 0;
    MonitorText.resize(kMonitorLineCount);
    for (int i = 0; i < kMonitorLineCount; ++i) {
        const std::string& text = i < static_cast<int>(lines.size()) ? lines[i] : std::string();
        if (MonitorText[i] == text) continue;
        MonitorText[i] = text;
        if (MonitorTextWidget[i]) XPSetWidgetDescriptor(MonitorTextWidget[i], text.c_str());
    }
}

void ClearBoardMonitors() {
    BoardMonitors.clear();
    UnknownSenderDatagrams = 0;
    DiscardedFrames = 0;
    callsSinceRefresh = 0;
}
