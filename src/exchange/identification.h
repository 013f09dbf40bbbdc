// Board identification, the configuration upload and the configuration block requests.
#pragma once

#include <string>
#include <vector>

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
// Renews the number of quick repeated identifications one flight-loop call answers.
void StartIdentificationCall();
// Forgets the identifications seen so far (reset), so the next one of every board is read.
void ForgetIdentifications();
// Answers '~a', '~n' or '~s' from board over the current link.
void AnswerConfigRequest(int board, char request);
