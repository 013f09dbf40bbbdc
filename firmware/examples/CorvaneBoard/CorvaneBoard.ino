// A Corvane cockpit board. Everything the board does (which pins are switches, encoders, lamps,
// displays, servos or steppers) comes from the plug-in's data.cfg, in the section of this
// board's ID. The ID is kept in the board's EEPROM (see the guide: "Setting the board ID"); a
// board without one stored is board 1. To fix the ID in the sketch instead, write, for board 3:
//     CorvaneBoard.begin(3);
#include <Corvane.h>

// The board ID used when the EEPROM holds none (the firmware build can set another).
#ifndef CORVANE_BOARD_ID
#define CORVANE_BOARD_ID 1
#endif

void setup() { CorvaneBoard.begin(CorvaneBoard.storedId(CORVANE_BOARD_ID)); }

void loop() { CorvaneBoard.update(); }
