// What a board is sent while controls are being learnt: its own configuration, and every pin and
// analog channel that nothing takes reported as well.
#pragma once

#include <string>

// The chip letter of an identification from a Mega 2560 (digital pins 2 to 53; its analog
// channels have pins of their own). Any other board is taken for an Uno or Nano: digital pins 2
// to 13, its pins 14 and up being its analog channels.
constexpr char kMegaChip = 'M';

// The 54 pin-mode bytes of board b's upload while learning: the bytes of its configuration, and
// a digital input on every pin that no entry, part or neighbour pin of a part takes, never on
// the serial line's pins 0 and 1 nor, on a network board, on the network chip's pins.
std::string LearnPinModes(int b);
// The 48 bytes of board b's analog block while learning: every channel read, each with the
// settings its entry gives (the defaults when none does).
std::string LearnAnalogBlock(int b);
// Answers '~a' from board b over the current link with the analog block of learning.
void AnswerLearnAnalogRequest(int b);
