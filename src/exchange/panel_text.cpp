#include "exchange/panel_text.h"

#include <cstring>

void StartPanelMessage(std::string& message) {
    message.assign(">");
}

void AppendPanelText(std::string& message, const std::string& tag, const std::string& text) {
    // The message grows once and the entry is copied into its place.
    const size_t start = message.size();
    message.resize(start + tag.size() + text.size() + 2);
    char* entry = &message[start];
    std::memcpy(entry, tag.data(), tag.size());
    entry[tag.size()] = '<';
    std::memcpy(entry + tag.size() + 1, text.data(), text.size());
    entry[tag.size() + text.size() + 1] = '>';
}

bool PanelMessageDue(const std::string& message) {
    return message.size() > 3;
}
