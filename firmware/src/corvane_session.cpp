#include "corvane_session.h"

#include "Corvane.h"
#include "corvane_analog.h"
#include "corvane_configure.h"
#include "corvane_displays.h"
#include "corvane_link.h"
#include "corvane_outputs.h"
#include "corvane_reports.h"
#include "corvane_steppers.h"

namespace corvane {

uint8_t boardId = 0;
bool outputsEnabled = false;
bool outputsDark = false;

namespace {

// Blocks the board asks for after each upload, as bits.
const uint8_t kAnalogBlock = 1;
const uint8_t kDisplayBlock = 2;
const uint8_t kStepperBlock = 4;
const uint8_t kAllBlocks = kAnalogBlock | kDisplayBlock | kStepperBlock;
// A request that got no answer is sent again after this time.
const unsigned long kRetryMs = 1000;
// A board waiting for its configuration identifies itself again after this time, and this soon
// after an upload it had to refuse.
const unsigned long kAnnounceEveryMs = 2000;
const unsigned long kAnnounceAfterRefusalMs = 300;
const uint16_t kUploadLength = 61;
const uint8_t kLastPinUse = 13;
const uint16_t kGateReplyLength = 13;
const uint8_t kGateLetterAt = 9;

bool identificationDue = false;
bool configured = false;
uint8_t blocksMissing = 0;
bool gateRequested = false;
uint8_t gateLetter = 0;  // the letter to send back to switch the outputs on; 0 when none is due
unsigned long requestedAt = 0;
unsigned long announcedAt = 0;

void sendIdentification() {
#if defined(__AVR_ATmega2560__)
    const uint8_t kChip = 'M';
#else
    const uint8_t kChip = 'U';
#endif
    uint8_t text[4] = {'|', kChip, CORVANE_LIBRARY_VERSION, static_cast<uint8_t>('0' + boardId)};
    if (!sendFramed(text, sizeof text)) return;
    identificationDue = false;
    announcedAt = millis();
}

void sendRequest(char letter) {
    uint8_t text[2] = {'~', static_cast<uint8_t>(letter)};
    sendFramed(text, sizeof text);
}

// Whether an upload is whole and sound: its length, a known use for every pin, five code letters
// as the plug-in draws them ('@' to 'z') and a board number the plug-in takes (1 to 127).
bool soundUpload(const uint8_t* message, uint16_t length) {
    if (length != kUploadLength) return false;
    for (uint8_t k = 1; k <= 54; ++k) {
        if (message[k] > kLastPinUse) return false;
    }
    for (uint8_t k = 55; k < 60; ++k) {
        if (message[k] < '@' || message[k] > 'z') return false;
    }
    return message[60] >= 1 && message[60] < 128;
}

// Whether a gate reply reads as the plug-in writes it, its letter a capital.
bool soundGateReply(const uint8_t* message, uint16_t length) {
    static const uint8_t kFixed[kGateReplyLength] = {'D', '{', '*', 'P', 'R', 'D', 'S',
                                                     'G', 4,   0,   '0', 15,  5};
    if (length != kGateReplyLength) return false;
    for (uint8_t k = 0; k < kGateReplyLength; ++k) {
        if (k != kGateLetterAt && message[k] != kFixed[k]) return false;
    }
    return message[kGateLetterAt] >= 'A' && message[kGateLetterAt] <= 'Z';
}

void takeUpload(const uint8_t* message) {
    configurePins(message + 1);
    for (uint8_t k = 0; k < 5; ++k) codeLetters[k] = static_cast<char>(message[55 + k]);
    boardNumber = message[60];
    configured = true;
    outputsEnabled = false;
    outputsDark = false;
    identificationDue = false;
    gateRequested = false;
    gateLetter = 0;
    blocksMissing = kAllBlocks;
    requestedAt = millis() - kRetryMs;  // ask at once
}

void takeGateReply(const uint8_t* message) {
    // Only the answer to the board's own request, while the outputs wait for it.
    if (!configured || blocksMissing != 0 || outputsEnabled || !gateRequested) return;
    gateLetter = message[kGateLetterAt];
}

// An upload came spoilt: a board without a configuration asks again soon rather than in 2 s.
void askAgainSoon() {
    if (configured) return;
    unsigned long soon = millis() - (kAnnounceEveryMs - kAnnounceAfterRefusalMs);
    if (static_cast<long>(soon - announcedAt) < 0) announcedAt = soon;
}

}  // namespace

bool takeFoundUpload(const uint8_t* upload) {
    if (!soundUpload(upload, kUploadLength)) return false;
    takeUpload(upload);
    return true;
}

void announce() {
    identificationDue = true;
}

bool handleMessage(const uint8_t* message, uint8_t kept, uint16_t length) {
    switch (message[0]) {
        case 'X':
            if (message[1] == 'P') announce();
            if (message[1] == 'R' && configured) reportAllInputs();
            // 'XX', the ping, needs no answer.
            return message[1] == 'P' || message[1] == 'R' || message[1] == 'X';
        case '~':
            if (!soundUpload(message, length)) {
                askAgainSoon();
                return false;
            }
            takeUpload(message);
            return true;
        case 'D':
            if (!soundGateReply(message, length)) return false;
            takeGateReply(message);
            return true;
        default:
            break;
    }
    if (!configured) return true;
    uint8_t count = kept >= 2 ? message[1] : 0;
    uint8_t body = kept - 2 < count ? kept - 2 : count;
    switch (message[0]) {
        case 'A':
            takeAnalogBlock(message + 1);
            blocksMissing &= static_cast<uint8_t>(~kAnalogBlock);
            break;
        case 'N':
            takeDisplayBlock(message + 2, body);
            blocksMissing &= static_cast<uint8_t>(~kDisplayBlock);
            break;
        case 'S':
            takeStepperBlock(message + 2, body);
            blocksMissing &= static_cast<uint8_t>(~kStepperBlock);
            break;
        case '{':
            if (!outputsDark) applyRecords(message + 2, kept - 2);
            break;
        case '}':
            if (!outputsDark) passTextBack(message + 2, body);
            break;
    }
    return true;
}

void advanceSession() {
    unsigned long now = millis();
    bool waiting = !configured || outputsDark;
    if (waiting && now - announcedAt >= kAnnounceEveryMs) identificationDue = true;
    if (identificationDue) sendIdentification();
    if (!configured) return;
    if (blocksMissing != 0) {
        if (now - requestedAt >= kRetryMs && canSend(12)) {
            if (blocksMissing & kAnalogBlock) sendRequest('a');
            if (blocksMissing & kDisplayBlock) sendRequest('n');
            if (blocksMissing & kStepperBlock) sendRequest('s');
            requestedAt = now;
        }
        return;
    }
    if (gateLetter != 0) {
        if (canSend(4)) {
            sendRequest(static_cast<char>(gateLetter));
            gateLetter = 0;
            outputsEnabled = true;
            gateRequested = true;
        }
        return;
    }
    if (!outputsEnabled && (!gateRequested || now - requestedAt >= kRetryMs) && canSend(4)) {
        sendRequest('d');
        gateRequested = true;
        requestedAt = now;
    }
}

}  // namespace corvane
