// The platform's IPv4 socket address (sockaddr_in) and the text conversions inet_pton/inet_ntop.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif
