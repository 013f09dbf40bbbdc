// The bytes on the wire: framing of inbound messages, their kinds, and the code letters.
#pragma once

#include <cstddef>
#include <string>

extern std::string CodeCurrent;          // code letters of this start-up; [5] seeds the next draw
extern const char* const InputOriginal;  // the input type letters the code letters stand for
extern const char InitialMessage[];      // the probe "XP"
extern const char PingChar[];            // the ping "XX"

enum class MessageKind { Ignored, Identification, Control, Input };

// Draws five new code letters with rand(), starting above a new seed letter; a draw holding M, P
// or R (tag letters boards send unencoded) is drawn again.
void DrawCodeLetters();
// Replaces a type byte equal to a code letter by the input type letter it stands for.
char MapTypeLetter(char typeByte);
// Cuts at most one braced message out of a serial receive buffer. Returns true when a '}' was
// found (the buffer then loses everything up to it); message is empty for "{}" or a stray '}'.
bool ExtractSerialFrame(std::string& buffer, std::string& message);
// The message carried by a datagram: its bytes up to the first zero byte.
std::string MessageFromDatagram(const char* data, size_t length);
// The kind of an inbound message.
MessageKind ClassifyMessage(const std::string& message);
