#include "config/board_monitor.h"

#include "XPWidgets.h"

std::vector<BoardMonitor> BoardMonitors;
unsigned long UnknownSenderDatagrams = 0;
unsigned long DiscardedFrames = 0;
std::vector<std::string> MonitorText;
XPWidgetID MonitorTextWidget[kMonitorLineCount] = {};

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

void NoteOutputSent(int b, int output) {
    BoardMonitor* m = MonitorOf(b);
    if (!m) return;
    // An output sent again is not listed twice in a row.
    const int newest = (m->outputsNext + kMonitorRingSize - 1) % kMonitorRingSize;
    if (m->outputsKept > 0 && m->outputs[newest] == output) return;
    m->outputs[m->outputsNext] = output;
    m->outputsNext = (m->outputsNext + 1) % kMonitorRingSize;
    if (m->outputsKept < kMonitorRingSize) ++m->outputsKept;
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
