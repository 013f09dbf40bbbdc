#include "corvane_network.h"

#include "corvane_blackout.h"
#include "corvane_dhcp.h"
#include "corvane_link.h"
#include "corvane_pins.h"
#include "corvane_session.h"
#include "corvane_udp.h"
#include "corvane_w5x00.h"

namespace corvane {

namespace {

const uint8_t kBoardSocket = 0;
// A shield's chip leaves the board's reset with it and is ready after 10 ms.
const unsigned long kChipSettleMs = 50;
const unsigned long kChipRetryMs = 1000;
// The link, the socket and the lease are looked at this often.
const unsigned long kLookMs = 50;
const unsigned long kSilenceMs = 8000;
const uint16_t kUploadLength = 61;

enum Phase : uint8_t { kFindingChip, kGettingAddress, kOnline };

CorvaneNetwork settings;
// A locally administered address, the board ID its last byte.
uint8_t mac[6] = {0x02, 0x43, 0x56, 0x00, 0x00, 0x00};
uint8_t phase = kFindingChip;
unsigned long phaseAt = 0;
unsigned long lookedAt = 0;
unsigned long heardAt = 0;
bool linked = false;
bool leased = false;  // the address is a DHCP lease
uint8_t peer[4];
uint16_t peerPort = 0;  // 0 until the plug-in has spoken
uint8_t message[kMessageBytes];

void copy4(uint8_t* to, const uint8_t* from) {
    for (uint8_t k = 0; k < 4; ++k) to[k] = from[k];
}

// The length of a message from the plug-in by its first bytes, as the serial line frames it; 0
// for a datagram that is none.
uint16_t expectedLength(const uint8_t* m, uint16_t length) {
    uint8_t first = m[0];
    if (first == 'X') return 2;
    if (first == '~') return kUploadLength;
    if (first == 'A') return 49;
    if (first == 'D') return 13;
    if (length >= 2 && (first == 'N' || first == 'S' || first == '{' || first == '}')) {
        return static_cast<uint16_t>(2 + m[1]);
    }
    return 0;
}

// Where the board's messages go: to the plug-in that spoke last; before it has, to the simulator
// of the settings, or to the network's broadcast address.
uint16_t destination(uint8_t* to) {
    if (peerPort != 0) {
        copy4(to, peer);
        return peerPort;
    }
    copy4(to, settings.simulator);
    if ((to[0] | to[1] | to[2] | to[3]) == 0) {
        uint8_t mask[4];
        readBytes(kCommonBlock, kOwnAddress, to, 4);
        readBytes(kCommonBlock, kSubnetMask, mask, 4);
        for (uint8_t k = 0; k < 4; ++k) to[k] = static_cast<uint8_t>(to[k] | ~mask[k]);
    }
    return settings.port;
}

void restart(unsigned long now) {
    phase = kFindingChip;
    phaseAt = now - kChipRetryMs;
}

void goOnline(unsigned long now) {
    if (!openUdp(kBoardSocket, settings.port)) {
        restart(now);
        return;
    }
    phase = kOnline;
    linked = linkUp();
    heardAt = now;
    announce();
}

void useFixedAddress() {
    const uint8_t mask[4] = {255, 255, 255, 0};
    writeBytes(kCommonBlock, kOwnAddress, settings.address, 4);
    writeBytes(kCommonBlock, kSubnetMask, mask, 4);
    writeBytes(kCommonBlock, kGatewayAddress, nullptr, 4);
    leased = false;
}

void findChip(unsigned long now) {
    if (now < kChipSettleMs || now - phaseAt < kChipRetryMs) return;
    phaseAt = now;
    if (detectChip() == kNoChip) return;
    writeBytes(kCommonBlock, kMacAddress, mac, 6);
    setArpPatience(1000, 2);  // a peer that does not answer ARP holds a send 0.3 s at most
    if (!settings.dhcp) {
        useFixedAddress();
        goOnline(now);
        return;
    }
    writeBytes(kCommonBlock, kOwnAddress, nullptr, 4);
    startDhcp(mac);
    leased = true;
    phase = kGettingAddress;
}

void getAddress(unsigned long now) {
    uint8_t state = advanceDhcp();
    if (state == kDhcpAsking) return;
    if (state == kDhcpFailed) useFixedAddress();
    goOnline(now);
}

void lookAround(unsigned long now) {
    if (now - lookedAt < kLookMs) return;
    lookedAt = now;
    if (!udpOpen(kBoardSocket)) {  // the chip was reset under the board
        restart(now);
        return;
    }
    bool up = linkUp();
    if (up && !linked) announce();  // the cable is back
    linked = up;
    if (leased && keepLease()) announce();
}

void takeDatagram(unsigned long now) {
    Datagram d;
    if (!nextDatagram(kBoardSocket, d)) return;
    uint8_t kept = d.length < kMessageBytes ? static_cast<uint8_t>(d.length) : kMessageBytes;
    readDatagram(kBoardSocket, d, 0, message, kept);
    finishDatagram(kBoardSocket, d);
    if (kept == 0 || expectedLength(message, d.length) != d.length) return;
    copy4(peer, d.from);
    peerPort = d.port;
    heardAt = now;
    handleMessage(message, kept, d.length);
}

// The outputs go dark when the plug-in has fallen silent; the board then asks to be configured
// again (every 2 s, as a board without a configuration does).
void watchPlugin(unsigned long now) {
    if (outputsDark || !outputsEnabled || now - heardAt < kSilenceMs) return;
    darkenOutputs();
    outputsDark = true;
    announce();
}

void receiveNetwork() {
    unsigned long now = millis();
    if (phase == kFindingChip) findChip(now);
    if (phase == kGettingAddress) getAddress(now);
    if (phase != kOnline) return;
    lookAround(now);
    if (phase != kOnline) return;
    takeDatagram(now);
    watchPlugin(now);
}

bool networkRoom(uint8_t length) {
    return phase == kOnline && linked && canSendDatagram(kBoardSocket, length);
}

bool sendNetwork(const uint8_t* bytes, uint8_t length) {
    if (!networkRoom(length)) return false;
    uint8_t to[4];
    uint16_t port = destination(to);
    beginDatagram(kBoardSocket, to, port);
    appendDatagram(bytes, length);
    sendDatagram();
    return true;
}

const Transport kNetwork = {receiveNetwork, networkRoom, sendNetwork};

}  // namespace

void startNetwork(const CorvaneNetwork& network) {
    settings = network;
    mac[5] = boardId;
    const uint8_t bus[] = {network.chipSelect, network.sdCardSelect, SS, MOSI, MISO, SCK};
    for (uint8_t pin : bus) reservePin(pin);
    startSpi(network.chipSelect, network.sdCardSelect);
    restart(millis());
    transport = &kNetwork;
}

}  // namespace corvane
