#include "config/plugin_log.h"

#include <iostream>

#include "XPLMUtilities.h"

void WriteLog(const std::string& text) {
    std::cerr << text;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        if (end > begin) {
            const std::string logLine = "Corvane: " + text.substr(begin, end - begin) + "\n";
            XPLMDebugString(logLine.c_str());
        }
        begin = end + 1;
    }
}
