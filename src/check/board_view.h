// What one board row of the plug-in's board tables holds, in the words of the cockpit builder:
// each input and output with what it does, and the blocks the board receives. Built from the
// tables themselves, so it shows what the plug-in will do, whoever filled the row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane_check {

struct InputView {
    std::string tag;     // the tag an input message must carry (after group numbering)
    std::string kind;    // "command", "held command", "set", "step", "analog axis", ...
    std::string pin;     // "pin 4", "encoder pin 3", "button 7", "channel 0", "key 12", or ""
    std::string target;  // the command or dataref (with its element), or the internal name
    std::string detail;  // what a press, release or value does
};

struct OutputView {
    std::string tag;       // the tag as written ("13L"); Arduino tags are stored converted
    char type = 0;         // the type letter
    unsigned int pin = 0;  // pin, channel or LED number
    std::string kind;      // "LED", "port LED", "7-segment display", "servo", ...
    std::string dataref;   // the dataref name
    std::string found;     // the dataref's type ("float", "int[]", ...), or "unknown"
    int element = 1;       // 1-based element
    int precision = 0;     // the precision as stored (Arduino boards: 0 and below lowered by one)
    std::vector<float> range1, range2;  // mapping: dataref values -> output values
    bool active = true;  // sent from the start (an output-selection input switches the others)
    std::string detail;  // what the board shows
};

struct LedModeView {
    std::string tag;        // the LED's tag as written
    std::string reference;  // "name=n": lit while mode n of name is in use
};

struct BoardView {
    unsigned int id = 0;  // board ID; 0 the Helvan panel
    std::vector<InputView> inputs;
    std::vector<OutputView> outputs;
    std::vector<LedModeView> ledModes;
    std::string pinModes;      // the 54 pin-mode bytes of the 61-byte configuration upload
    std::string analog;        // the 48 bytes of the analog block ('~a')
    std::string sevenSegment;  // the 7-segment block ('~n'): one pin byte per display
    std::string stepper;       // the stepper block ('~s'): pin, steps low, steps high
    std::string matrix;        // the 5 matrix bytes (A entry B)
    unsigned int stepperCommon = 100, ledCommon = 100, sevenSegCommon = 100;  // A entries G L N
    std::vector<uint8_t> ledPorts;  // the LED port patterns (one per 8 port LEDs)
};

bool operator==(const InputView& a, const InputView& b);
bool operator==(const OutputView& a, const OutputView& b);
bool operator==(const LedModeView& a, const LedModeView& b);
bool operator==(const BoardView& a, const BoardView& b);
inline bool operator!=(const BoardView& a, const BoardView& b) {
    return !(a == b);
}

// The view of board row b of the board tables; an empty view when there is no such row.
BoardView ViewOfBoard(int b);

// How an output's value is cut by its stored precision ("2 decimals", "whole numbers", ...).
std::string PrecisionText(int precision);
// The precision as data.cfg gives it: an Arduino board stores 0 and below lowered by one.
int WrittenPrecision(int stored, unsigned int boardId);

// The meaning of a pin-mode code of the configuration upload ("digital input", "LED", ...).
std::string PinModeName(unsigned char code);

}  // namespace corvane_check
