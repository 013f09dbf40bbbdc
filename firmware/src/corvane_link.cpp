#include "corvane_link.h"

#include "corvane_session.h"

namespace corvane {

uint8_t boardNumber = 0;
char codeLetters[5];
const Transport* transport = nullptr;

namespace {

// The type letters that the code letters stand for, in the order of the code letters.
const char kCodedTypes[] = "EDABC";
// The plug-in writes each message in one piece and sends at most once every 25 ms, so a line
// quiet this long lies between two messages: a message cut by it is dropped, and a board that
// came up in the middle of a stream takes the next byte as the start of a message.
const unsigned long kQuietMs = 4;
// Marks a message whose length its second byte gives.
const uint16_t kLengthInSecondByte = 0xFFFF;

uint8_t message[kMessageBytes];
uint16_t received = 0;
uint16_t expected = 0;
unsigned long lastByteAt = 0;
// Whether the next byte begins a message: false from the start and after a byte that made no
// sense, until the line has been quiet.
bool inStep = false;
// While the board has no number, the last bytes as long as an upload, in a ring: an upload is
// found there whatever the framing made of the bytes before it (stray bytes taken for the start
// of a message, a board come up in the middle of one).
const uint8_t kUploadLength = 61;
uint8_t window[kUploadLength];
uint8_t windowAt = 0;  // the oldest byte, where the next one goes
uint8_t windowFill = 0;

// Takes b into the window; true when it completes a sound upload, which is then taken.
bool uploadEndsWith(uint8_t b) {
    window[windowAt] = b;
    windowAt = static_cast<uint8_t>((windowAt + 1) % kUploadLength);
    if (windowFill < kUploadLength) ++windowFill;
    if (windowFill < kUploadLength || window[windowAt] != '~') return false;
    uint8_t upload[kUploadLength];
    for (uint8_t k = 0; k < kUploadLength; ++k) {
        upload[k] = window[(windowAt + k) % kUploadLength];
    }
    if (!takeFoundUpload(upload)) return false;
    windowFill = 0;
    return true;
}

// The length of a message from the plug-in by its first byte; 0 for a byte that begins none.
// (Tests rather than a switch, which the compiler would turn into a table in RAM.)
uint16_t lengthOfMessageStartingWith(uint8_t first) {
    if (first == 'X') return 2;   // the probe XP, the ping XX, the request for all inputs XR
    if (first == '~') return 61;  // the configuration upload
    if (first == 'A') return 49;  // the analog block
    if (first == 'D') return 13;  // the output gate reply
    // The 7-segment and stepper blocks, output values and mode messages, and a text sent back
    // for an internal input.
    if (first == 'N' || first == 'S' || first == '{' || first == '}') return kLengthInSecondByte;
    return 0;
}

void takeByte(uint8_t b) {
    if (boardNumber == 0 && uploadEndsWith(b)) {
        received = 0;  // the message under way, if any, was the upload or ended in it
        inStep = true;
        return;
    }
    if (!inStep) return;
    if (received == 0) {
        expected = lengthOfMessageStartingWith(b);
        if (expected == 0) {  // no message begins so: the board has lost its place
            inStep = false;
            return;
        }
    } else if (received == 1 && expected == kLengthInSecondByte) {
        expected = 2 + b;
    }
    if (received < kMessageBytes) message[received] = b;
    ++received;
    if (received == expected) {
        uint8_t kept = received < kMessageBytes ? received : kMessageBytes;
        uint16_t length = received;
        received = 0;
        if (!handleMessage(message, kept, length)) inStep = false;
    }
}

void receiveSerial() {
    unsigned long now = millis();
    int waiting = Serial.available();
    if (waiting <= 0) {
        // Nothing came since the last bytes were read: the line has been quiet since then.
        if (now - lastByteAt >= kQuietMs) {
            received = 0;
            inStep = true;
        }
        return;
    }
    lastByteAt = now;
    for (; waiting > 0; --waiting) {
        int b = Serial.read();
        if (b < 0) break;
        takeByte(static_cast<uint8_t>(b));
    }
}

bool serialRoom(uint8_t length) {
    return Serial.availableForWrite() >= length;
}

bool sendSerial(const uint8_t* bytes, uint8_t length) {
    if (!serialRoom(length + 2)) return false;
    Serial.write('{');
    Serial.write(bytes, length);
    Serial.write('}');
    return true;
}

const Transport kSerial = {receiveSerial, serialRoom, sendSerial};

}  // namespace

void startLink() {
    Serial.begin(115200);
    received = 0;
    inStep = false;
    windowFill = 0;
    lastByteAt = millis();
    transport = &kSerial;
}

void receiveWaiting() {
    if (transport) transport->receive();
}

bool canSend(uint8_t length) {
    return transport && transport->room(length);
}

bool sendFramed(const uint8_t* bytes, uint8_t length) {
    return transport && transport->send(bytes, length);
}

bool sendInput(char type, const uint8_t* rest, uint8_t length) {
    const uint8_t kMaxRest = 12;
    if (boardNumber == 0 || length > kMaxRest) return false;
    uint8_t text[2 + kMaxRest];
    text[0] = boardNumber;
    text[1] = static_cast<uint8_t>(type);
    for (uint8_t k = 0; k < 5; ++k) {
        if (kCodedTypes[k] == type) {
            text[1] = static_cast<uint8_t>(codeLetters[k]);
            break;
        }
    }
    for (uint8_t k = 0; k < length; ++k) text[2 + k] = rest[k];
    return sendFramed(text, 2 + length);
}

uint8_t writeDecimal(uint8_t* text, uint16_t value) {
    uint8_t digits[5];
    uint8_t count = 0;
    do {
        digits[count++] = static_cast<uint8_t>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (uint8_t k = 0; k < count; ++k) text[k] = digits[count - 1 - k];
    return count;
}

}  // namespace corvane
