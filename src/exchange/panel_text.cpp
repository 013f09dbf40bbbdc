#include "exchange/panel_text.h"

void StartPanelMessage(std::string& message) {
    message.assign(">");
}

void AppendPanelText(std::string& message, const std::string& tag, const std::string& text) {
    message += tag;
    message += '<';
    message += text;
    message += '>';
}

bool PanelMessageDue(const std::string& message) {
    return message.size() > 3;
}
