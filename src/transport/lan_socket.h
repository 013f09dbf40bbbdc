// The one UDP socket, the own address and its /24 prefix, and the registry of LAN boards.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <string>
#include <vector>

extern int sock;                         // the UDP socket; 0 before the start-up, -1 once closed
extern sockaddr_in serv_addr;            // bind address, then probe destination and last sender
extern socklen_t addrLength;             // length passed with serv_addr to every reception
extern std::string My_IP;                // last IPv4 address of the interface list
extern std::string My_IP_str;            // the own address shown on status line 0
extern std::string Base_IP;              // My_IP_str up to and including its third dot
extern std::vector<int> UsedAddr;        // host numbers taken: [0] own, then one per LAN board
extern std::vector<int> NetworkIndices;  // board index of each UsedAddr entry; -1 for entry 0

// Creates and binds the socket and finds the own address, prefix and own registry entry.
void SetUpLan();
// Sends length bytes as one datagram to `to`; bytes_sent gets the result.
void Send_LAN(const char* data, int length, sockaddr_in to);
// Board index of the LAN sender in serv_addr, registering it when add is true; -1 if none.
int LanConnectionExists(bool add);
// Closes the socket if it is open and marks it closed.
void CloseLanSocket();
// Empties the address state and the registry (reset); the socket must be closed first.
void ClearLanState();
// The own address: the configured one when it is longer than 6 characters with 3 dots or more,
// else the one found on the interfaces.
std::string ChooseOwnAddress(const std::string& specified, const std::string& found);
// The host number (last part) of a dotted IPv4 text; -1 when it does not read.
int HostNumberOf(const std::string& dotted);
