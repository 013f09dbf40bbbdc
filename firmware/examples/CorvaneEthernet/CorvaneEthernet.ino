// A Corvane cockpit board on the network: an Uno or Mega with an Ethernet shield (W5100, or the
// W5500 of the Ethernet Shield 2) or a W5500 module wired to its SPI pins. As with a board on
// USB, everything it does comes from the plug-in's data.cfg, in the section of this board's ID.
// The board ID and the network settings are kept in the board's EEPROM (see the guide: "A board
// on the network"); a board without them stored is board 1, asks the network's DHCP server for
// an address and takes 192.168.1.177 when none answers, and talks to the plug-in on port 5080.
// To fix the settings in the sketch instead, write for example:
//     network.dhcp = false;
//     network.setAddress(192, 168, 1, 51);
//     network.setSimulator(192, 168, 1, 20);  // the simulator's computer: found faster
//     CorvaneBoard.beginEthernet(3, network);
#include <Corvane.h>

// The board ID used when the EEPROM holds none (the firmware build can set another).
#ifndef CORVANE_BOARD_ID
#define CORVANE_BOARD_ID 1
#endif

void setup() {
    CorvaneNetwork network;  // port 5080, the chip's select on pin 10, the SD card's on pin 4
    network.dhcp = true;
    network.setAddress(192, 168, 1, 177);
    CorvaneBoard.beginEthernet(CorvaneBoard.storedId(CORVANE_BOARD_ID),
                               CorvaneBoard.storedNetwork(network));
}

void loop() { CorvaneBoard.update(); }
