#include "exchange/learn_upload.h"

#include <vector>

#include "config/board_tables.h"
#include "config/plugin_log.h"
#include "exchange/identification.h"
#include "exchange/learn_mode.h"
#include "transport/connection.h"
#include "transport/serial_ports.h"

namespace {

// Pin uses of the upload that this file reads or writes.
constexpr char kDigitalInput = 1;
constexpr char kEncoder = 2;
constexpr char kHalfStepEncoder = 3;

constexpr int kFirstLearntPin = 2;  // pins 0 and 1 carry the serial line
constexpr int kUnoLastPin = 13;
constexpr int kMegaLastPin = 53;
constexpr size_t kAnalogBlockSize = 48;

// The pins a board on the network leaves to its chip: the SD card's select (4), the chip's
// select (10) and the SPI bus.
const int kUnoNetworkPins[] = {4, 10, 11, 12, 13};
const int kMegaNetworkPins[] = {4, 10, 50, 51, 52, 53};

void Take(std::vector<bool>& taken, long pin) {
    if (pin >= 0 && pin < static_cast<long>(taken.size())) taken[static_cast<size_t>(pin)] = true;
}

// The pin of an output tag or an LED mode tag (its first byte, raw); -1 when it has none.
long TagPin(const std::vector<std::string>& fields) {
    if (fields.empty() || fields[0].empty()) return -1;
    return static_cast<unsigned char>(fields[0][0]);
}

// Marks the pins that board b's configuration takes, beyond those its pin-mode bytes name: the
// neighbour pins of its parts (an encoder's B contact, the LED port's clock and latch, the
// displays' clock) and the pin of every output and LED mode entry, whatever its kind.
void TakeConfiguredPins(int b, const std::string& pins, std::vector<bool>& taken) {
    for (size_t pin = 0; pin < pins.size(); ++pin) {
        if (pins[pin] == 0) continue;
        taken[pin] = true;
        if (pins[pin] == kEncoder || pins[pin] == kHalfStepEncoder) Take(taken, pin + 1L);
    }
    if (LEDCommon[b] < taken.size()) {
        Take(taken, LEDCommon[b] + 1L);
        Take(taken, LEDCommon[b] + 2L);
    }
    if (SevenSegCommon[b] < taken.size()) Take(taken, SevenSegCommon[b] + 1L);
    for (const auto& fields : OutDrefs[b]) Take(taken, TagPin(fields));
    for (const auto& fields : OutputModeLed[b]) Take(taken, TagPin(fields));
}

}  // namespace

std::string LearnPinModes(int b) {
    std::string pins = BuildPinModes(b);
    if (!BoardExists(b)) return pins;
    std::vector<bool> taken(pins.size(), false);
    TakeConfiguredPins(b, pins, taken);
    const bool mega = BoardChip(b) == kMegaChip;
    if (SerialIndex[b] < 0) {
        if (mega) {
            for (int pin : kMegaNetworkPins) Take(taken, pin);
        } else {
            for (int pin : kUnoNetworkPins) Take(taken, pin);
        }
    }
    const int last = mega ? kMegaLastPin : kUnoLastPin;
    for (int pin = kFirstLearntPin; pin <= last && pin < static_cast<int>(pins.size()); ++pin) {
        if (!taken[static_cast<size_t>(pin)]) pins[static_cast<size_t>(pin)] = kDigitalInput;
    }
    return pins;
}

std::string LearnAnalogBlock(int b) {
    // The block as the board's entries set it: a channel that no entry names keeps the defaults,
    // which read it like any other.
    if (!BoardExists(b) || AnalogAdditional[b].size() < kAnalogBlockSize)
        return std::string(kAnalogBlockSize, '\0');
    return AnalogAdditional[b].substr(0, kAnalogBlockSize);
}

void AnswerLearnAnalogRequest(int b) {
    if (!BoardExists(b)) return;
    const std::string reply = "A" + LearnAnalogBlock(b);
    SendToCurrentLink(reply.data(), static_cast<int>(reply.size()));
    WriteLog("\nSending analog: " + std::to_string(bytes_sent) + " bytes");
}
