// The board on the network: a WIZnet chip's UDP socket in place of the serial line, each message
// one datagram without braces. The board looks for its chip at the start (and every second until
// one answers), takes its address (a DHCP lease, or its fixed address), opens the plug-in's port
// and announces itself: to the simulator of its settings, or, not knowing it, to its whole
// network. It answers whoever probes it, and sends to the plug-in that spoke last. It announces
// itself again when the cable comes back (as far as the chip can tell: a W5500 can, a W5100
// cannot) and when its chip was reset under it, and every 2 s for as long as it has no
// configuration. When the plug-in falls silent for 8 s while the outputs are on (it sends them
// every 25 ms and pings every 2.5 s), the outputs go dark until the board is configured again,
// and the board announces itself every 2 s meanwhile.
#ifndef CORVANE_NETWORK_H
#define CORVANE_NETWORK_H

#include "Corvane.h"
#include "corvane_limits.h"

namespace corvane {

// Makes the network the board's transport, with these settings and a MAC address of the board ID.
void startNetwork(const CorvaneNetwork& network);

}  // namespace corvane

#endif
