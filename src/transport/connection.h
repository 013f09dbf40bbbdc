// Mapping the source of the message being handled to a board, and sending over board links.
#pragma once

// Board index of the current message's source (serial port or LAN sender), or -1; with add true
// a source not yet known is registered as the next board.
int ConnectionExists(bool add);
// Sends over the link the current message came from (serial port or LAN sender).
void SendToCurrentLink(const char* data, int length);
// Sends to board b over its own link (its serial port, or its stored LAN address).
void SendToBoard(int b, const char* data, int length);
