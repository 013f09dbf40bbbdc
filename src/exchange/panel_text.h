// The text form of the output values for the Helvan panel: ">" then, per changed output, its
// tag, "<", its text and ">".
#pragma once

#include <string>

// Starts the panel message in message.
void StartPanelMessage(std::string& message);
// Adds one changed output to the panel message.
void AppendPanelText(std::string& message, const std::string& tag, const std::string& text);
// True when the message holds more than its start (longer than 3 characters).
bool PanelMessageDue(const std::string& message);
