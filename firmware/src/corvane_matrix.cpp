#include "corvane_matrix.h"

#include "corvane_pins.h"
#include "corvane_reports.h"

namespace corvane {

namespace {

const uint8_t kRowSpacingMs = 1;

uint8_t rows[kMaxMatrixLines];
uint8_t columns[kMaxMatrixLines];
uint8_t rowCount = 0;
uint8_t columnCount = 0;
uint16_t stable[kMaxMatrixLines];  // pressed columns of each row
uint16_t seen[kMaxMatrixLines];    // the row's previous scan
uint8_t nextRow = 0;
uint8_t scannedAt = 0;
uint16_t sweepButton = 0xFFFF;  // the next button the request for all inputs owes

uint8_t collect(uint8_t use, uint8_t* pins) {
    uint8_t count = 0;
    for (uint8_t pin = kFirstFreePin; pin < kUploadPins; ++pin) {
        if (pinUse[pin] != use) continue;
        if (count == kMaxMatrixLines) {
            pinUse[pin] = kUseNone;
            continue;
        }
        pins[count++] = pin;
    }
    return count;
}

uint16_t readRow(uint8_t row) {
    pinMode(rows[row], OUTPUT);
    digitalWrite(rows[row], LOW);
    delayMicroseconds(5);
    uint16_t pressed = 0;
    for (uint8_t c = 0; c < columnCount; ++c) {
        if (digitalRead(columns[c]) == LOW) pressed |= static_cast<uint16_t>(1U << c);
    }
    pinMode(rows[row], INPUT);
    return pressed;
}

uint16_t buttonNumber(uint8_t row, uint8_t column) {
    return static_cast<uint16_t>(row * columnCount + column + 1);  // up to 256 on a Mega
}

}  // namespace

void setUpMatrix() {
    rowCount = collect(kUseMatrixRow, rows);
    columnCount = collect(kUseMatrixColumn, columns);
    for (uint8_t c = 0; c < columnCount; ++c) pinMode(columns[c], INPUT_PULLUP);
    for (uint8_t r = 0; r < rowCount; ++r) {
        pinMode(rows[r], INPUT);
        stable[r] = 0;
        seen[r] = 0;
    }
    nextRow = 0;
    sweepButton = 0xFFFF;
}

void scanNextMatrixRow() {
    uint8_t now = static_cast<uint8_t>(millis());
    if (rowCount == 0 || columnCount == 0 ||
        static_cast<uint8_t>(now - scannedAt) < kRowSpacingMs) {
        return;
    }
    scannedAt = now;
    uint8_t r = nextRow;
    nextRow = static_cast<uint8_t>((nextRow + 1) % rowCount);
    uint16_t pressed = readRow(r);
    uint16_t agreed = static_cast<uint16_t>(~(pressed ^ seen[r]));
    seen[r] = pressed;
    uint16_t changed = static_cast<uint16_t>((pressed ^ stable[r]) & agreed);
    for (uint8_t c = 0; c < columnCount && changed; ++c) {
        uint16_t bit = static_cast<uint16_t>(1U << c);
        if (!(changed & bit)) continue;
        if (!queueSwitch('B', buttonNumber(r, c), pressed & bit)) return;
        stable[r] ^= bit;
        changed &= static_cast<uint16_t>(~bit);
    }
}

void sweepMatrix() {
    sweepButton = 0;
}

void sendMatrixSweep() {
    uint16_t total = static_cast<uint16_t>(rowCount) * columnCount;
    while (sweepButton < total) {
        uint8_t r = static_cast<uint8_t>(sweepButton / columnCount);
        uint8_t c = static_cast<uint8_t>(sweepButton % columnCount);
        if (!sendSwitch('B', buttonNumber(r, c), stable[r] & (1U << c))) return;
        ++sweepButton;
    }
    sweepButton = 0xFFFF;
}

}  // namespace corvane
