// A small DHCP client on a socket of its own (port 68): asks the network's server for an
// address (DISCOVER, OFFER, REQUEST, ACK; every message sent again after 2 s, given up after 4
// tries), writes the lease's address, mask and router into the chip, and keeps the lease: from
// half its time on it asks the server again every 10 s until it is extended, and starts over when
// the server refuses or the lease runs out. Never waits: each call does one step.
#ifndef CORVANE_DHCP_H
#define CORVANE_DHCP_H

#include "corvane_limits.h"

namespace corvane {

enum DhcpState : uint8_t { kDhcpAsking = 0, kDhcpBound = 1, kDhcpFailed = 2 };

// Starts asking for an address for the chip with this MAC address (kept, not copied).
void startDhcp(const uint8_t* mac);
// One step of the conversation: kDhcpBound once the chip has the lease's address, kDhcpFailed
// when no server answered.
uint8_t advanceDhcp();
// Keeps a lease (call now and then once bound); true when the chip's address has changed.
bool keepLease();

}  // namespace corvane

#endif
