// The Corvane board library: turns an Arduino Uno, Nano or Mega 2560 into a cockpit board of the
// Corvane X-Plane plug-in. The plug-in tells the board, from its data.cfg, what every pin is for;
// the sketch only chooses the board ID and calls update() as often as it can:
//
//     #include <Corvane.h>
//     void setup() { CorvaneBoard.begin(CorvaneBoard.storedId(1)); }
//     void loop() { CorvaneBoard.update(); }
#ifndef CORVANE_H
#define CORVANE_H

#include <Arduino.h>

// The library's version as the plug-in reads it: 1.30.
#define CORVANE_LIBRARY_VERSION 130

// Called for a value record the library does not drive itself (a pin with no lamp, servo or PWM
// use: a 'D' value output, a mode lamp of another letter), with the output's type letter.
typedef void (*CorvaneValueHandler)(uint8_t pin, char letter, float value);
// Called for a text record (a byte-data output) with its pin, and for a text the plug-in sends
// back for an internal input, with the pin 255. The text is not terminated.
typedef void (*CorvaneTextHandler)(uint8_t pin, const char* text, uint8_t length);

class CorvaneBoardLibrary {
  public:
    // Starts the serial line (115200 baud, 8N1) and announces the board with board ID id (0-9).
    void begin(uint8_t id);
    // Does one slice of the board's work; call it from loop() without delays.
    void update();

    // The board ID kept in EEPROM (byte 0 holds 0xC7, byte 1 the ID), or fallback when none is.
    uint8_t storedId(uint8_t fallback) const;
    // Keeps id (0-9) in EEPROM as the board ID, for sketches that begin with storedId().
    void storeId(uint8_t id);

    // Reads only the analog channels below count (the default reads every channel whose pin has
    // no other use); unused channels left open report noise.
    void analogChannels(uint8_t count);
    // Brightness of the MAX7219 displays, 0 (dim) to 15 (bright); 8 by default.
    void displayIntensity(uint8_t level);

    void onValue(CorvaneValueHandler handler);
    void onText(CorvaneTextHandler handler);

    // The board number the plug-in gave this board (0 until it has sent the configuration).
    uint8_t boardNumber() const;
    // Whether the plug-in has switched the board's outputs on.
    bool outputsOn() const;
};

extern CorvaneBoardLibrary CorvaneBoard;

#endif
