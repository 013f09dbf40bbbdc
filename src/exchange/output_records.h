// The byte form of the output values for Arduino boards: the LED port block and one small record
// per changed output, appended to a message buffer that never grows past its capacity.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Appends pin, 'R', the port count and the port patterns, last port first (at most 8 ports).
void AppendLedPortBlock(unsigned int pin, const std::vector<uint8_t>& ports, char* buffer,
                        int& length, int capacity);
// Sets (on) or clears port LED n: LED 1 is bit 7 of port 0, LED 8 bit 0 of port 0, LED 9 bit 7
// of port 1. False, and nothing changed, when n names no LED of the ports.
bool SetPortLed(std::vector<uint8_t>& ports, int n, bool on);
// The move time of a stepper record: the frame period in units of 10 microseconds, at most 32760.
unsigned int StepperMoveTime(float frameTime);
// The target step of a stepper record: v rounded half up, low 16 bits.
uint16_t StepperTarget(float v);
// The value byte of a 'P' record: v truncated and held to 0 to 255 (not a number gives 0).
uint8_t OneByteValue(float v);
// True when an output of this type letter and dataref type gets a byte-data record ('B', length
// byte, text): the only record that can be longer than the room a message keeps after the stop.
bool IsByteDataRecord(char letter, int type);
// The length of the byte-data record of text: pin, 'B', length byte and the text.
int ByteDataRecordLength(const std::string& text);
// Appends the record of one output: pin and letter are the tag's two bytes, text the output's
// text ("*" in the all-on state), value its mapped value (the last one sent in the all-on state),
// fields its entry. Byte data (type 32) is cut to what fits; other records are left out when
// they do not fit. False when nothing was appended.
bool AppendOutputRecord(char pin, char letter, int type, const std::string& text, float value,
                        const std::vector<std::string>& fields, float frameTime, char* buffer,
                        int& length, int capacity);
