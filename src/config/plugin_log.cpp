#include "config/plugin_log.h"

#include <iostream>

#include "XPLMUtilities.h"
#include "config/live_events.h"

int LogSilenced = 0;

void WriteLog(const std::string& text) {
    if (LogSilenced > 0) return;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        if (end > begin) {
            const std::string logLine = "Corvane: " + text.substr(begin, end - begin) + "\n";
            XPLMDebugString(logLine.c_str());
            // One write per line: the simulator's terminal mixes the lines of many plug-ins.
            std::cerr << logLine;
            if (LiveFeedOn.load(std::memory_order_relaxed))
                PublishLogEvent(logLine.substr(0, logLine.size() - 1));
        }
        begin = end + 1;
    }
}
