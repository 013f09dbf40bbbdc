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

namespace {

// Blocks the board asks for after each upload, as bits.
const uint8_t kAnalogBlock = 1;
const uint8_t kDisplayBlock = 2;
const uint8_t kStepperBlock = 4;
const uint8_t kAllBlocks = kAnalogBlock | kDisplayBlock | kStepperBlock;
// A request that got no answer is sent again after this time.
const unsigned long kRetryMs = 1000;

bool identificationDue = false;
bool configured = false;
uint8_t blocksMissing = 0;
bool gateRequested = false;
uint8_t gateLetter = 0;  // the letter to send back to switch the outputs on; 0 when none is due
unsigned long requestedAt = 0;

void sendIdentification() {
#if defined(__AVR_ATmega2560__)
    const uint8_t kChip = 'M';
#else
    const uint8_t kChip = 'U';
#endif
    uint8_t text[4] = {'|', kChip, CORVANE_LIBRARY_VERSION, static_cast<uint8_t>('0' + boardId)};
    if (sendFramed(text, sizeof text)) identificationDue = false;
}

void sendRequest(char letter) {
    uint8_t text[2] = {'~', static_cast<uint8_t>(letter)};
    sendFramed(text, sizeof text);
}

void takeUpload(const uint8_t* message) {
    configurePins(message + 1);
    for (uint8_t k = 0; k < 5; ++k) codeLetters[k] = static_cast<char>(message[55 + k]);
    boardNumber = message[60];
    configured = true;
    outputsEnabled = false;
    gateRequested = false;
    gateLetter = 0;
    blocksMissing = kAllBlocks;
    requestedAt = millis() - kRetryMs;  // ask at once
}

void takeGateReply(const uint8_t* message) {
    if (!configured || blocksMissing != 0) return;
    gateLetter = message[9];
}

}  // namespace

void announce() {
    identificationDue = true;
}

void handleMessage(const uint8_t* message, uint8_t kept, uint16_t length) {
    switch (message[0]) {
        case 'X':
            if (message[1] == 'P') announce();
            if (message[1] == 'R' && configured) reportAllInputs();
            // 'XX', the ping, needs no answer.
            return;
        case '~':
            takeUpload(message);
            return;
        case 'D':
            takeGateReply(message);
            return;
        default:
            break;
    }
    if (!configured) return;
    uint8_t count = kept >= 2 ? message[1] : 0;
    switch (message[0]) {
        case 'A':
            takeAnalogBlock(message + 1);
            blocksMissing &= static_cast<uint8_t>(~kAnalogBlock);
            break;
        case 'N':
            takeDisplayBlock(message + 2, kept - 2 < count ? kept - 2 : count);
            blocksMissing &= static_cast<uint8_t>(~kDisplayBlock);
            break;
        case 'S':
            takeStepperBlock(message + 2, kept - 2 < count ? kept - 2 : count);
            blocksMissing &= static_cast<uint8_t>(~kStepperBlock);
            break;
        case '{':
            applyRecords(message + 2, kept - 2);
            break;
        case '}':
            passTextBack(message + 2, kept - 2 < count ? kept - 2 : count);
            break;
    }
    (void)length;
}

void advanceSession() {
    if (identificationDue) sendIdentification();
    if (!configured) return;
    unsigned long now = millis();
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
