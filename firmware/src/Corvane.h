// The Corvane board library: turns an Arduino Uno, Nano or Mega 2560 into a cockpit board of the
// Corvane X-Plane plug-in. The plug-in tells the board, from its data.cfg, what every pin is for;
// the sketch only chooses the board ID and calls update() as often as it can:
//
//     #include <Corvane.h>
//     void setup() { CorvaneBoard.begin(CorvaneBoard.storedId(1)); }
//     void loop() { CorvaneBoard.update(); }
//
// A board with a WIZnet W5100 or W5500 (an Ethernet shield or module) talks over the network
// instead, when the sketch begins with beginEthernet() (examples/CorvaneEthernet).
#ifndef CORVANE_H
#define CORVANE_H

#include <Arduino.h>

#include "corvane_boards.h"

// The library's version, 1.30.0 (library.properties carries the same; the firmware build checks
// that they agree). The board reports major x 100 + minor in one byte, which the plug-in shows as
// 1.30.
#define CORVANE_VERSION_MAJOR 1
#define CORVANE_VERSION_MINOR 30
#define CORVANE_VERSION_PATCH 0
#define CORVANE_LIBRARY_VERSION (CORVANE_VERSION_MAJOR * 100 + CORVANE_VERSION_MINOR)

// Called for a value record the library does not drive itself (a pin with no lamp, servo or PWM
// use: a 'D' value output, a mode lamp of another letter), with the output's type letter.
typedef void (*CorvaneValueHandler)(uint8_t pin, char letter, float value);
// Called for a text record (a byte-data output) with its pin, and for a text the plug-in sends
// back for an internal input, with the pin 255. The text is not terminated.
typedef void (*CorvaneTextHandler)(uint8_t pin, const char* text, uint8_t length);

// A board on the network: its address, the plug-in's port and the wiring of its WIZnet chip.
struct CorvaneNetwork {
    // No address, no DHCP, the port 5080, the chip's select on pin 10 and an SD card's on pin 4.
    CorvaneNetwork();
    void setAddress(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
    void setSimulator(uint8_t a, uint8_t b, uint8_t c, uint8_t d);

    // The board's address; with DHCP the one it takes when no server answers.
    uint8_t address[4];
    // The simulator's computer, which the board announces itself to when it starts; 0.0.0.0
    // announces it to the whole network. The plug-in's probe finds the board either way.
    uint8_t simulator[4];
    // The plug-in's PORT (config.ini): the board listens on it and sends to it.
    uint16_t port;
    // Asks the network's DHCP server (the router) for an address first.
    bool dhcp;
    uint8_t chipSelect;
    // The select pin of an SD card on the same SPI bus (the shields have one on pin 4), held
    // high; 255 when there is none.
    uint8_t sdCardSelect;
};

class CorvaneBoardLibrary {
  public:
    // Starts the serial line (115200 baud, 8N1) and announces the board with board ID id (0-9).
    void begin(uint8_t id);
    // Starts the board on the network (the WIZnet chip on the SPI bus) with board ID id (0-9): it
    // announces itself once it has its address. The SPI pins, the chip's and the SD card's
    // select pins are the library's and never configured.
    void beginEthernet(uint8_t id, const CorvaneNetwork& network);
    // Does one slice of the board's work; call it from loop() without delays.
    void update();

    // The board ID kept in EEPROM (byte 0 holds 0xC7, byte 1 the ID), or fallback when none is.
    uint8_t storedId(uint8_t fallback) const;
    // Keeps id (0-9) in EEPROM as the board ID, for sketches that begin with storedId().
    void storeId(uint8_t id);
    // The network settings kept in EEPROM (bytes 2 to 13, byte 2 holding 0xC8), over fallback:
    // the address, the simulator's address, the port and DHCP; fallback as it is when none are.
    CorvaneNetwork storedNetwork(const CorvaneNetwork& fallback) const;
    // Keeps the network's address, simulator's address, port and DHCP in EEPROM.
    void storeNetwork(const CorvaneNetwork& network);

    // Reads only the analog channels below count, of those the configuration uses (all of them by
    // default).
    void analogChannels(uint8_t count);
    // The top speed (steps per second) and the acceleration (steps per second per second) of the
    // steppers: 600 and 3000 by default, which suit the X27.168 and its kin (Switec, VID29) on
    // full steps. A motor that loses steps wants a lower top speed or acceleration.
    void stepperMotion(uint16_t stepsPerSecond, uint16_t acceleration);
    // Brightness of the MAX7219 displays, 0 (dim) to 15 (bright); 8 by default.
    void displayIntensity(uint8_t level);

    void onValue(CorvaneValueHandler handler);
    void onText(CorvaneTextHandler handler);

    // The board number the plug-in gave this board (0 until it has sent the configuration).
    uint8_t boardNumber() const;
    // Whether the plug-in has switched the board's outputs on (and a board on the network has not
    // put them dark since, the plug-in gone silent).
    bool outputsOn() const;
};

extern CorvaneBoardLibrary CorvaneBoard;

#endif
