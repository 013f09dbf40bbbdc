// The exchange's notes for the monitor: each received message and applied input counted for its
// board, and datagrams from senders that are no board dropped.
#pragma once

#include <string>

// A message of `bytes` bytes was handled from the current link: counted for its board.
void NoteMessageReceived(size_t bytes);
// Input i of board b was applied for the message in `tag`, with dataref element a (0: a command,
// negative: an internal input); a dataref's new value is read for the monitor.
void NoteAppliedInput(int b, int i, int a);
// True, after counting it, when the datagram just received (its sender in serv_addr) comes from
// an address of the network that is no board and carries no identification: only an
// identification makes a sender a board, so such a message is dropped. The plug-in's own probes,
// which loopback hands back to its socket, are dropped without being counted.
bool DropUnknownSender(const std::string& message);
