// The one UDP socket, the own address and its /24 prefix, and the registry of LAN boards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transport/net_address.h"

extern int sock;                         // the UDP socket; 0 before the start-up, -1 once closed
extern sockaddr_in serv_addr;            // bind address, then probe destination and last sender
extern socklen_t addrLength;             // length passed with serv_addr to every reception
extern std::string My_IP;                // last IPv4 address of the interface list
extern std::string My_IP_str;            // the own address shown on status line 0
extern std::string Base_IP;              // My_IP_str up to and including its third dot
extern std::vector<int> UsedAddr;        // host numbers taken: [0] own, then one per LAN board
extern std::vector<int> NetworkIndices;  // board index of each UsedAddr entry; -1 for entry 0
extern unsigned long ForeignDatagrams;   // datagrams dropped since the start-up: sender off-prefix

// Creates and binds the socket and finds the own address, prefix and own registry entry.
void SetUpLan();
// Board index of the LAN sender in serv_addr, registering it when add is true; -1 if none.
int LanConnectionExists(bool add);
// True when address lies in the own /24 prefix, the cockpit network; false when no own prefix is
// known.
bool FromCockpitNetwork(const sockaddr_in& address);
// The destination of a probe to host number `host` of the own prefix: always the settings' port.
// False when there is no own prefix.
bool ProbeAddress(int host, sockaddr_in& to);
// Empties the address state and the registry (reset); the socket must be closed first.
void ClearLanState();
// The own address: the configured one when it is longer than 6 characters with 3 dots or more,
// else the one found on the interfaces.
std::string ChooseOwnAddress(const std::string& specified, const std::string& found);
// The host number (last part) of a dotted IPv4 text; -1 when it does not read.
int HostNumberOf(const std::string& dotted);

// The platform's socket calls (lan_socket_posix.cpp, lan_socket_win.cpp).

// A UDP socket, non-blocking, with SO_REUSEADDR, bound to port on every local address (its
// errors are ignored: a socket that cannot be bound simply receives nothing); -1 when none.
int OpenLanSocket(uint16_t port);
// The dotted text of the last IPv4 address the machine's interface list holds; empty if none.
std::string FindInterfaceAddress();
// Sends length bytes as one datagram to `to`; bytes_sent gets the result.
void Send_LAN(const char* data, int length, sockaddr_in to);
// Receives one waiting datagram into buffer, never waiting; its sender goes to serv_addr and
// addrLength. The length, 0 for an empty datagram, -1 when none is waiting.
long ReceiveDatagram(char* buffer, size_t size);
// Closes the socket if it is open and marks it closed.
void CloseLanSocket();
