#include "exchange/panel_text.h"

#include <cstring>

void StartPanelMessage(std::string& message) {
    message.assign(">");
}

void AppendPanelText(std::string& message, const std::string& tag, const std::string& text) {
    // A short entry is put together first and appended in one step.
    char entry[64];
    const size_t size = tag.size() + text.size() + 2;
    if (size > sizeof entry) {
        message += tag;
        message += '<';
        message += text;
        message += '>';
        return;
    }
    std::memcpy(entry, tag.data(), tag.size());
    entry[tag.size()] = '<';
    std::memcpy(entry + tag.size() + 1, text.data(), text.size());
    entry[size - 1] = '>';
    message.append(entry, size);
}

bool PanelMessageDue(const std::string& message) {
    return message.size() > 3;
}
