#include "config/status_text.h"

#include <algorithm>

#include "XPWidgets.h"

std::vector<std::string> InstructionsText;
XPWidgetID InstructionsTextWidget[kStatusLineCount] = {};
int message_line_number = 2;
std::string plugin_ver = "1.22";

namespace {

// Board lines and the search line live on lines 3 to 12.
constexpr int kFirstBoardLine = 3;
constexpr int kLastBoardLine = 12;

const std::string kRule(" " + std::string(91, '-'));

}  // namespace

void InitStatusLines() {
    InstructionsText.clear();
    InstructionsText.push_back("   X-Plane IP: ");
    InstructionsText.push_back(kRule);
    InstructionsText.push_back("   Connection status - Awaiting connection");
    for (int i = kFirstBoardLine; i <= kLastBoardLine; ++i) InstructionsText.push_back("   ");
    InstructionsText.push_back("   Last message received from device ");
    InstructionsText.push_back(kRule);
    InstructionsText.push_back(" ");
    InstructionsText.push_back(kRule);
    InstructionsText.push_back(" ");
    InstructionsText.push_back("   Corvane connects X-Plane to home-built cockpit boards:");
    InstructionsText.push_back(
        "   Arduino boards and the Helvan panel, over USB or the local network.");
    InstructionsText.push_back("   Boards are configured from data.cfg in the plug-in's folder;");
    InstructionsText.push_back("   settings are in config.ini beside it.");
    InstructionsText.push_back("   Press Reconnect after changing either file.");
    for (int i = 0; i < kStatusLineCount; ++i) ShowStatusLine(i);
}

void SetStatusLine(int i, const std::string& text) {
    if (i < 0 || i >= static_cast<int>(InstructionsText.size())) return;
    InstructionsText[i] = text;
    ShowStatusLine(i);
}

const std::string& StatusLine(int i) {
    static const std::string none;
    if (i < 0 || i >= static_cast<int>(InstructionsText.size())) return none;
    return InstructionsText[i];
}

void ShowStatusLine(int i) {
    if (i < 0 || i >= std::min(kStatusLineCount, static_cast<int>(InstructionsText.size()))) return;
    if (InstructionsTextWidget[i])
        XPSetWidgetDescriptor(InstructionsTextWidget[i], InstructionsText[i].c_str());
}

void ShowOnMessageLine(const std::string& text) {
    SetStatusLine(kLastMessageLine,
                  StatusLine(kLastMessageLine).substr(0, kLastMessageLabel) + text);
}

int NextBoardLine() {
    ++message_line_number;
    return std::min(message_line_number, kLastBoardLine - 1);
}

int SearchLine() {
    return std::min(message_line_number + 1, kLastBoardLine);
}
