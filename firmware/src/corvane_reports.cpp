#include "corvane_reports.h"

#include "corvane_analog.h"
#include "corvane_buttons.h"
#include "corvane_encoders.h"
#include "corvane_link.h"
#include "corvane_matrix.h"
#include "corvane_pins.h"

namespace corvane {

namespace {

const uint8_t kQueueLength = 16;

struct SwitchChange {
    char type;
    uint16_t number;
    bool pressed;
};

SwitchChange queue[kQueueLength];
uint8_t queueHead = 0;
uint8_t queueCount = 0;
// The next pin whose position the request for all inputs still owes; kPinCount when none.
uint8_t sweepPin = kPinCount;

void sendQueued() {
    while (queueCount > 0) {
        const SwitchChange& change = queue[queueHead];
        if (!sendSwitch(change.type, change.number, change.pressed)) return;
        queueHead = static_cast<uint8_t>((queueHead + 1) % kQueueLength);
        --queueCount;
    }
}

void sendSweep() {
    while (sweepPin < kUploadPins) {
        if (pinUse[sweepPin] == kUseInput && !sendSwitch('D', sweepPin, buttonPressed(sweepPin))) {
            return;
        }
        ++sweepPin;
    }
    sweepPin = kPinCount;
}

}  // namespace

bool sendSwitch(char type, uint16_t number, bool pressed) {
    uint8_t rest[4];
    uint8_t length = writeDecimal(rest, number);
    rest[length++] = pressed ? '+' : '-';
    return sendInput(type, rest, length);
}

bool queueSwitch(char type, uint16_t number, bool pressed) {
    if (queueCount == kQueueLength) return false;
    SwitchChange& change = queue[(queueHead + queueCount) % kQueueLength];
    change.type = type;
    change.number = number;
    change.pressed = pressed;
    ++queueCount;
    return true;
}

void reportAllInputs() {
    sweepPin = kFirstFreePin;
    sweepMatrix();
    reportAllAnalog();
}

void clearReports() {
    queueHead = 0;
    queueCount = 0;
    sweepPin = kPinCount;
}

void sendReports() {
    sendQueued();
    if (queueCount > 0) return;
    sendEncoderCounts();
    sendAnalogReadings();
    sendSweep();
    sendMatrixSweep();
}

}  // namespace corvane
