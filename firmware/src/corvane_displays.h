// 7-segment displays, one MAX7219 for each: DIN on the 7-segment common pin, CLK on the next
// pin, and each display's own pin (from the 7-segment block) its LOAD line. Registers are
// written one per slice of the main loop, 16 bits top bit first, clocked on CLK's rising edge
// and latched on LOAD's rising edge. The chips run without decoding; digit register 1 is the
// rightmost digit. A chip scans as many digits as its display's records carry, and never fewer
// than 4 (the datasheet's limit for the usual segment resistor), those beyond the display dark. The
// plug-in's segment bytes (active low, bit 7 segment a ... bit 1 segment g, bit 0 the point) are
// turned into the chip's (active high, bit 7 the point, bit 6 segment a
// ... bit 0 segment g).
#ifndef CORVANE_DISPLAYS_H
#define CORVANE_DISPLAYS_H

#include "corvane_limits.h"

namespace corvane {

// The brightness written to every display, 0-15.
extern uint8_t displayBrightness;

void setUpDisplays();
// Takes the 7-segment block: the pin of each display.
void takeDisplayBlock(const uint8_t* pins, uint8_t count);
bool isDisplayPin(uint8_t pin);
// Shows a display record: count segment bytes, leftmost digit first.
void showDigits(uint8_t pin, const uint8_t* segments, uint8_t count);
// Blanks every display (its digits written dark, one register per slice as ever).
void blankDisplays();
// Writes the brightness to every display again.
void refreshBrightness();
// Writes one register that is due; false when none was.
bool writeNextDisplayRegister();
// The chip's segment byte for one of the plug-in's.
uint8_t chipSegments(uint8_t pluginSegments);

}  // namespace corvane

#endif
