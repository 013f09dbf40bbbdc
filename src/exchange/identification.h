// Board identification, the configuration upload and the configuration block requests.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Lines of panel texts read in one flight-loop call, all panels together. A panel may send a long
// text (repeated to the largest datagram): it is read over several calls, and the panel is
// answered once its last line is read.
constexpr size_t kPanelLinesPerCall = 256;

extern unsigned int lib_ver;             // lowest board library version accepted (x100)
extern std::vector<int> wrong_versions;  // board indexes refused for their library version

// Board ID an identification message ('|' ...) carries: its digit for a board, 0 for the panel's
// long form; -1 when it carries none.
int IdentificationBoardId(const std::string& message);
// Handles an identification message ('|' and at least 3 more bytes) from the current link.
void HandleIdentification(const std::string& message);
// Builds and sends the 61-byte configuration upload for board; serial is 1 on a serial link.
void SendConfig(unsigned int serial, unsigned int board);
// The 54 pin-mode bytes of board's configuration upload.
std::string BuildPinModes(int board);
// Byte 0 of a channel in the analog block that tells the board the channel is not used: it is
// neither read nor reported. The configuration never writes it (thresholds 51-100 go as 101).
constexpr char kAnalogChannelOff = 100;
// The 48 bytes of board's analog block as the board receives them: the channels that none of its
// inputs uses are marked off. (A block without marks, as the tables hold it, makes the board read
// every channel.)
std::string BuildAnalogBlock(int board);
// Reads on in the panel texts that are too long for one call, and answers each panel whose text
// has been read to its end; once per flight-loop call, before the reception.
void ContinuePanelReads();
// True while the text of board's panel is being read over several calls (its rows are not
// complete).
bool PanelBeingRead(int board);
// Renews the number of quick repeated identifications one flight-loop call answers.
void StartIdentificationCall();
// Forgets the identifications seen so far (reset), so the next one of every board is read.
void ForgetIdentifications();
// Answers '~a', '~n' or '~s' from board over the current link.
void AnswerConfigRequest(int board, char request);
