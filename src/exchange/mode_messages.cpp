#include "exchange/mode_messages.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "config/board_tables.h"
#include "config/config_fields.h"
#include "config/scratch_state.h"
#include "config/text_utils.h"
#include "transport/connection.h"

unsigned int ModeReference(const std::string& field1) {
    splitpair = SplitBy(field1, "=");
    return splitpair.size() >= 2 ? UnsignedOrZero(splitpair[1]) : 0;
}

std::string ModeReferenceName(const std::string& field1) {
    splitpair = SplitBy(field1, "=");
    return splitpair.empty() ? std::string() : splitpair[0];
}

void SendMode(unsigned int board, unsigned int entry, unsigned int value, unsigned int reference) {
    const int b = static_cast<int>(board);
    if (board > static_cast<unsigned int>(std::numeric_limits<int>::max()) || !BoardExists(b) ||
        entry >= OutputModeLed[b].size()) {
        return;
    }
    const std::vector<std::string>& fields = OutputModeLed[b][entry];
    if (fields.empty() || fields[0].size() < 2) return;
    const unsigned char pin = static_cast<unsigned char>(fields[0][0]);
    const char kind = fields[0][1];
    char message[8] = {'{', 0, static_cast<char>(pin), 0, 0, 0, 0, 0};
    int length = 0;
    if (kind == 'L') {
        message[3] = value == reference ? ')' : '(';
        length = 4;
    } else if (kind == 'l') {
        // An LED of the LED port: bit (pin - 1) % 8 of port byte ceil(pin / 8) - 1; the output
        // pass sends the port data. Pins outside the board's ports (0, or beyond its port bytes)
        // are ignored.
        if (pin < 1 || b >= static_cast<int>(LedPortData.size())) return;
        const size_t port = (pin + 7u) / 8u - 1u;
        if (port >= LedPortData[b].size()) return;
        const uint8_t bit = static_cast<uint8_t>(1u << ((pin - 1u) % 8u));
        LedPortSend[b] = true;
        if (value == reference)
            LedPortData[b][port] = static_cast<uint8_t>(LedPortData[b][port] | bit);
        else
            LedPortData[b][port] = static_cast<uint8_t>(LedPortData[b][port] & ~bit);
        return;
    } else {
        message[3] = kind;
        const float number = static_cast<float>(value);
        uint32_t bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        for (int k = 0; k < 4; ++k) message[4 + k] = static_cast<char>((bits >> (8 * k)) & 0xFF);
        length = 8;
    }
    message[1] = static_cast<char>(length - 2);
    SendToCurrentLink(message, length);
}
