// Turning one dataref reading of an output into the text that is compared and sent.
#pragma once

#include <string>
#include <vector>

// Maps v by the output's range lists: none (unchanged), one item (a stepper's turn scaling when
// stepper is set, otherwise a threshold that gives 1.0 or 0.0), or a breakpoint table.
float MapOutputValue(float v, const std::vector<float>& range1, const std::vector<float>& range2,
                     bool stepper);
// Appends v as printed with six significant digits in fixed notation (a value of a million or
// more with all its digits) and then cut (never rounded) to `precision` digits after the point;
// negative precisions cut whole digits and fill them with "0". A value that is not finite gives
// "0.0"; "-0" and its kind lose the sign.
void AppendFormattedValue(float v, int precision, std::string& text);
