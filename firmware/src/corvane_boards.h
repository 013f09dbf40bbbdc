// The boards the library runs on: the Arduino Uno and Nano (ATmega328P) and the Mega 2560
// (ATmega2560), at 16 MHz. Its pin tables, serial timing and servo pulses are made for those; any
// other chip or clock stops the build here rather than failing obscurely or running wrong.
#ifndef CORVANE_BOARDS_H
#define CORVANE_BOARDS_H

// clang-format off
#if !defined(__AVR_ATmega328P__) && !defined(__AVR_ATmega2560__)
#error "Corvane runs on the Arduino Uno, Nano (ATmega328P) and Mega 2560 (ATmega2560) at 16 MHz only: choose one of them under Tools > Board"
#elif !defined(F_CPU) || F_CPU != 16000000L
#error "Corvane needs a 16 MHz clock (Arduino Uno, Nano or Mega 2560): this board runs at another speed"
#endif
// clang-format on

#endif
