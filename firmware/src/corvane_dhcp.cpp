#include "corvane_dhcp.h"

#include "corvane_udp.h"
#include "corvane_w5x00.h"

namespace corvane {

namespace {

const uint8_t kDhcpSocket = 1;
const uint16_t kClientPort = 68;
const uint16_t kServerPort = 67;
const uint16_t kMessageBytes = 300;  // the smallest message every relay and server takes
const uint16_t kOptionsAt = 240;     // after the fixed fields and the magic cookie
const uint8_t kDiscover = 1, kOffer = 2, kRequest = 3, kAck = 5, kNak = 6;
const unsigned long kResendMs = 2000;
const unsigned long kRenewEveryMs = 10000;
const uint8_t kTries = 4;
const uint32_t kForever = 0xFFFFFFFF;
// Lease times longer than this (23 days) are cut to it, so that their milliseconds fit.
const uint32_t kLongestSeconds = 2000000;
const uint8_t kEveryone[4] = {255, 255, 255, 255};

enum Step : uint8_t { kSelecting, kRequesting, kBound, kRenewing, kGaveUp };

const uint8_t* mac = nullptr;
uint8_t step = kGaveUp;
uint8_t tries = 0;
uint8_t xid[4];
uint8_t server[4];
uint8_t offered[4];
unsigned long sentAt = 0;
unsigned long boundAt = 0;
uint32_t leaseSeconds = kForever;
bool leased = false;  // a lease was had since the start: a new address is a change
bool addressChanged = false;

bool same(const uint8_t* a, const uint8_t* b, uint8_t count) {
    for (uint8_t k = 0; k < count; ++k) {
        if (a[k] != b[k]) return false;
    }
    return true;
}

void copy4(uint8_t* to, const uint8_t* from) {
    for (uint8_t k = 0; k < 4; ++k) to[k] = from[k];
}

void sendMessage(uint8_t type) {
    sentAt = millis();
    if (!udpOpen(kDhcpSocket) && !openUdp(kDhcpSocket, kClientPort)) return;
    if (!canSendDatagram(kDhcpSocket, kMessageBytes)) return;
    bool renewing = step == kRenewing;
    beginDatagram(kDhcpSocket, kEveryone, kServerPort);
    // op, htype, hlen, hops, xid, secs, flags (the broadcast bit while the client has no address)
    uint8_t head[12] = {
        1, 1, 6, 0, xid[0], xid[1], xid[2], xid[3], 0, 0, static_cast<uint8_t>(renewing ? 0 : 0x80),
        0};
    appendDatagram(head, sizeof head);
    uint8_t own[4];
    if (renewing) readBytes(kCommonBlock, kOwnAddress, own, 4);
    appendDatagram(renewing ? own : nullptr, 4);  // ciaddr
    appendZeros(12);                              // yiaddr, siaddr, giaddr
    appendDatagram(mac, 6);
    appendZeros(10 + 64 + 128);  // the rest of chaddr, sname, file
    // The magic cookie, the message type, the parameters asked for: mask, router, lease time.
    uint8_t options[] = {99, 130, 83, 99, 53, 1, type, 55, 3, 1, 3, 51};
    appendDatagram(options, sizeof options);
    if (type == kRequest && !renewing) {
        uint8_t chosen[12] = {50, 4, offered[0], offered[1], offered[2], offered[3],
                              54, 4, server[0],  server[1],  server[2],  server[3]};
        appendDatagram(chosen, sizeof chosen);
    }
    uint8_t end = 255;
    appendDatagram(&end, 1);
    appendZeros(static_cast<uint16_t>(kMessageBytes - datagramLength()));
    sendDatagram();
}

void startOver() {
    step = kSelecting;
    tries = 0;
    unsigned long noise = micros() ^ (millis() << 10);
    for (uint8_t k = 0; k < 4; ++k) xid[k] = static_cast<uint8_t>((noise >> (8 * k)) ^ mac[2 + k]);
    sendMessage(kDiscover);
}

// The settings of a reply that the client takes.
struct Reply {
    uint8_t type;
    uint8_t address[4];
    uint8_t server[4];
    uint8_t mask[4];
    uint8_t router[4];
    uint32_t lease;
};

void readOptions(uint8_t socket, const Datagram& d, Reply& reply) {
    for (uint16_t at = kOptionsAt; at + 1 < d.length;) {
        uint8_t head[2];
        readDatagram(socket, d, at, head, 2);
        if (head[0] == 0) {  // padding
            ++at;
            continue;
        }
        if (head[0] == 255 || at + 2 + head[1] > d.length) return;
        uint8_t value[4] = {0, 0, 0, 0};
        readDatagram(socket, d, static_cast<uint16_t>(at + 2), value, head[1] < 4 ? head[1] : 4);
        if (head[0] == 53) reply.type = value[0];
        if (head[0] == 54 && head[1] >= 4) copy4(reply.server, value);
        if (head[0] == 1 && head[1] >= 4) copy4(reply.mask, value);
        if (head[0] == 3 && head[1] >= 4) copy4(reply.router, value);
        if (head[0] == 51 && head[1] >= 4) {
            reply.lease = (static_cast<uint32_t>(value[0]) << 24) |
                          (static_cast<uint32_t>(value[1]) << 16) |
                          (static_cast<uint32_t>(value[2]) << 8) | value[3];
        }
        at = static_cast<uint16_t>(at + 2 + head[1]);
    }
}

// Reads one waiting datagram: true with reply filled when it answers this client's transaction.
bool takeReply(Reply& reply) {
    Datagram d;
    if (!nextDatagram(kDhcpSocket, d)) return false;
    bool ours = false;
    if (d.length >= kOptionsAt) {
        uint8_t head[8], hardware[6], magic[4];
        readDatagram(kDhcpSocket, d, 0, head, sizeof head);
        readDatagram(kDhcpSocket, d, 16, reply.address, 4);
        readDatagram(kDhcpSocket, d, 28, hardware, sizeof hardware);
        readDatagram(kDhcpSocket, d, 236, magic, sizeof magic);
        const uint8_t kMagic[4] = {99, 130, 83, 99};
        ours = head[0] == 2 && same(head + 4, xid, 4) && same(hardware, mac, 6) &&
               same(magic, kMagic, 4);
        if (ours) readOptions(kDhcpSocket, d, reply);
    }
    finishDatagram(kDhcpSocket, d);
    return ours;
}

void bind(const Reply& reply) {
    uint8_t before[4];
    readBytes(kCommonBlock, kOwnAddress, before, 4);
    addressChanged = addressChanged || (leased && !same(before, reply.address, 4));
    leased = true;
    writeBytes(kCommonBlock, kOwnAddress, reply.address, 4);
    writeBytes(kCommonBlock, kSubnetMask, reply.mask, 4);
    writeBytes(kCommonBlock, kGatewayAddress, reply.router, 4);
    leaseSeconds = reply.lease;
    if (leaseSeconds != kForever && leaseSeconds > kLongestSeconds) leaseSeconds = kLongestSeconds;
    boundAt = millis();
    step = kBound;
}

void takeReplies() {
    Reply reply = {0, {0, 0, 0, 0}, {0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}, kForever};
    if (!takeReply(reply)) return;
    if (reply.type == kOffer && step == kSelecting) {
        copy4(offered, reply.address);
        copy4(server, reply.server);
        step = kRequesting;
        tries = 0;
        sendMessage(kRequest);
    } else if (reply.type == kAck && (step == kRequesting || step == kRenewing)) {
        bind(reply);
    } else if (reply.type == kNak && (step == kRequesting || step == kRenewing)) {
        startOver();
    }
}

}  // namespace

void startDhcp(const uint8_t* macAddress) {
    mac = macAddress;
    leased = false;
    addressChanged = false;
    startOver();
}

uint8_t advanceDhcp() {
    if (step == kGaveUp) return kDhcpFailed;
    takeReplies();
    unsigned long now = millis();
    unsigned long held = now - boundAt;
    if (step == kBound && leaseSeconds != kForever && held / 1000 >= leaseSeconds / 2) {
        step = kRenewing;
        sendMessage(kRequest);
    } else if (step == kRenewing && held / 1000 >= leaseSeconds) {
        startOver();  // the lease ran out: the address stays in use until a new one is given
    } else if (step == kRenewing && now - sentAt >= kRenewEveryMs) {
        sendMessage(kRequest);
    } else if ((step == kSelecting || step == kRequesting) && now - sentAt >= kResendMs) {
        if (++tries >= kTries) {
            step = kGaveUp;
            closeSocket(kDhcpSocket);
        } else {
            sendMessage(step == kSelecting ? kDiscover : kRequest);
        }
    }
    if (step == kGaveUp) return kDhcpFailed;
    return step == kBound || step == kRenewing ? kDhcpBound : kDhcpAsking;
}

bool keepLease() {
    advanceDhcp();
    bool changed = addressChanged;
    addressChanged = false;
    return changed;
}

}  // namespace corvane
