// A Corvane cockpit board. Everything the board does (which pins are switches, encoders, lamps,
// displays, servos or steppers) comes from the plug-in's data.cfg, in the section of this
// board's ID. The ID is kept in the board's EEPROM (see the guide: "Setting the board ID"); a
// board without one stored is board 1. To fix the ID in the sketch instead, write, for board 3:
//     CorvaneBoard.begin(3);
#include <Corvane.h>

void setup() { CorvaneBoard.begin(CorvaneBoard.storedId(1)); }

void loop() { CorvaneBoard.update(); }
