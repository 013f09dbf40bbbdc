// Analog channels: the channels the analog block names, whose pins have no other use, are read in
// turn (none before the block has come), scaled to 0-1000
// and reported as A, the channel, a blank and the reading when it has moved by the channel's
// threshold since the last report (and always when it reaches 0 or 1000). The three bytes of a
// channel in the plug-in's analog block:
//   byte 0: 100 the channel is not used (it is neither read nor reported); otherwise it is, with
//           the threshold: 0 the default (4), 2-50 as written, 101-127 (b - 100) x 100;
//           1 reports the tag with the direction (A2+ rising, A2- falling);
//           128 and more report the tag A, the channel, '/' and b - 127 (A2/30 for 157);
//   byte 1, byte 2: the lever's travel in percent of the converter's range: readings at or
//           below byte 1 are 0, at or above byte 2 are 1000 (0 and 100, the whole range, when
//           not set; ignored unless byte 1 < byte 2 <= 100).
#ifndef CORVANE_ANALOG_H
#define CORVANE_ANALOG_H

#include "corvane_limits.h"

namespace corvane {

// The number of channels read (the library's analogChannels()).
extern uint8_t analogChannelLimit;

// Puts every channel out of use until the analog block comes (a configuration upload).
void setUpAnalog();
// Reads the channels the block names, within the limit, whose pins have no other use.
void useAnalogChannels();
// Takes the 48 bytes of the analog block (the plug-in may send it again at any time, to read
// other channels).
void takeAnalogBlock(const uint8_t* settings);
// Reads one channel when its turn has come.
void readNextAnalog();
// Sends the readings that are due, as far as there is room.
void sendAnalogReadings();
// Makes every channel report its reading again.
void reportAllAnalog();

}  // namespace corvane

#endif
