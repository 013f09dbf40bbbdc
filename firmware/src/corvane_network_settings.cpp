// The network settings of the sketch and of the EEPROM: byte 2 holds 0xC8 when they are stored,
// byte 3 is 1 for DHCP, bytes 4-7 the board's address, 8-11 the simulator's address (0.0.0.0:
// none), 12-13 the port, high byte first.
#include <avr/eeprom.h>

#include "Corvane.h"
#include "corvane_network.h"
#include "corvane_session.h"

namespace {

const uint8_t kStoredMark = 0xC8;
const uint8_t kMarkAt = 2;
const uint8_t kDhcpAt = 3;
const uint8_t kAddressAt = 4;
const uint8_t kSimulatorAt = 8;
const uint8_t kPortAt = 12;

uint8_t* at(uint8_t offset) {
    return reinterpret_cast<uint8_t*>(offset);
}

void set4(uint8_t* to, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    to[0] = a;
    to[1] = b;
    to[2] = c;
    to[3] = d;
}

}  // namespace

CorvaneNetwork::CorvaneNetwork() : port(5080), dhcp(false), chipSelect(10), sdCardSelect(4) {
    set4(address, 0, 0, 0, 0);
    set4(simulator, 0, 0, 0, 0);
}

void CorvaneNetwork::setAddress(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    set4(address, a, b, c, d);
}

void CorvaneNetwork::setSimulator(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    set4(simulator, a, b, c, d);
}

void CorvaneBoardLibrary::beginEthernet(uint8_t id, const CorvaneNetwork& network) {
    corvane::boardId = id <= 9 ? id : 0;
    corvane::startNetwork(network);
    corvane::announce();
}

CorvaneNetwork CorvaneBoardLibrary::storedNetwork(const CorvaneNetwork& fallback) const {
    CorvaneNetwork network = fallback;
    if (eeprom_read_byte(at(kMarkAt)) != kStoredMark) return network;
    network.dhcp = eeprom_read_byte(at(kDhcpAt)) == 1;
    eeprom_read_block(network.address, at(kAddressAt), 4);
    eeprom_read_block(network.simulator, at(kSimulatorAt), 4);
    network.port = static_cast<uint16_t>((eeprom_read_byte(at(kPortAt)) << 8) |
                                         eeprom_read_byte(at(kPortAt + 1)));
    return network;
}

void CorvaneBoardLibrary::storeNetwork(const CorvaneNetwork& network) {
    eeprom_update_byte(at(kDhcpAt), network.dhcp ? 1 : 0);
    eeprom_update_block(network.address, at(kAddressAt), 4);
    eeprom_update_block(network.simulator, at(kSimulatorAt), 4);
    eeprom_update_byte(at(kPortAt), static_cast<uint8_t>(network.port >> 8));
    eeprom_update_byte(at(kPortAt + 1), static_cast<uint8_t>(network.port));
    eeprom_update_byte(at(kMarkAt), kStoredMark);
}
