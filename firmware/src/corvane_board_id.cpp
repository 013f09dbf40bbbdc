// The board ID kept in EEPROM: byte 0 holds the mark 0xC7 when an ID is stored, byte 1 the ID.
#include <avr/eeprom.h>

#include "Corvane.h"

namespace {

const uint8_t kStoredMark = 0xC7;
uint8_t* const kMarkAddress = reinterpret_cast<uint8_t*>(0);
uint8_t* const kIdAddress = reinterpret_cast<uint8_t*>(1);

}  // namespace

uint8_t CorvaneBoardLibrary::storedId(uint8_t fallback) const {
    if (eeprom_read_byte(kMarkAddress) != kStoredMark) return fallback;
    uint8_t id = eeprom_read_byte(kIdAddress);
    return id <= 9 ? id : fallback;
}

void CorvaneBoardLibrary::storeId(uint8_t id) {
    if (id > 9) return;
    eeprom_update_byte(kIdAddress, id);
    eeprom_update_byte(kMarkAddress, kStoredMark);
}
