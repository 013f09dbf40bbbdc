// The 23 status lines of the status window, kept whether or not the window exists.
#pragma once

#include <string>
#include <vector>

#include "XPWidgetDefs.h"

constexpr int kStatusLineCount = 23;
constexpr int kLastMessageLine = 13;      // "   Last message received from device "
constexpr size_t kLastMessageLabel = 37;  // length of line 13's label
constexpr int kConfigFileLine = 20;       // the about line that names the configuration file
constexpr int kStudioLine = 17;           // the Studio's address, or why it does not run

extern std::vector<std::string> InstructionsText;            // the status lines
extern XPWidgetID InstructionsTextWidget[kStatusLineCount];  // caption of each line
extern int message_line_number;  // index of the last board line; the search line is one below
extern std::string plugin_ver;   // version shown in the window title

// Empties the lines and appends the 23 start-up texts, refreshing the captions.
void InitStatusLines();
// Sets line i and its caption; indexes beyond the last line are ignored.
void SetStatusLine(int i, const std::string& text);
// Line i, or an empty text when there is no such line.
const std::string& StatusLine(int i);
// Gives caption i the current text of line i, when the window exists.
void ShowStatusLine(int i);
// Shows text on the message line (line 13) after its label, until the next input message.
void ShowOnMessageLine(const std::string& text);
// The line index for the next board line (raises message_line_number). Boards beyond the room
// of the window share the last board line, which then counts them.
int NextBoardLine();
// Index of the search line (the one after the last board line), kept inside the board room.
int SearchLine();
