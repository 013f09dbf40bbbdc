// What each board sent and received, kept for the monitor window: counters per board, its last
// input messages and outputs in small rings, and the messages dropped before any board saw them.
// The counters are written where things happen, with one call each; the monitor's text lines are
// made from them when the window opens and once a second while it is open.
#pragma once

#include <string>
#include <vector>

#include "XPWidgetDefs.h"

constexpr int kMonitorRingSize = 3;       // last input messages and last outputs kept per board
constexpr int kMonitoredBoards = 256;     // board indexes beyond this are not counted
constexpr int kMonitorLineCount = 33;     // the monitor window's text lines
constexpr int kMonitorRefreshCalls = 40;  // flight-loop calls between two refreshes (1 s)

// One input message that was applied: its tag and value as the board sent them, and the input
// entry that it drove (its dataref element, or 0 for a command, -1 for an internal input).
struct MonitoredInput {
    std::string tag;
    std::string value;
    int input = -1;
    int element = -1;
    float result = 0.0f;  // the dataref's value after the message
};

// One output as it was sent: its index and stored tag then, and the text it carried.
struct MonitoredOutput {
    int output = -1;
    unsigned long sent = 0;  // the board's count of outputs sent when this one was sent last
    std::string tag;
    std::string text;
};

struct BoardMonitor {
    unsigned long messagesIn = 0;
    unsigned long bytesIn = 0;
    unsigned long messagesOut = 0;
    unsigned long bytesOut = 0;
    unsigned long inputsApplied = 0;
    MonitoredInput inputs[kMonitorRingSize];  // ring: the newest just before inputsNext
    int inputsNext = 0;
    int inputsKept = 0;
    MonitoredOutput outputs[kMonitorRingSize];  // the last outputs sent, each once, in no order
    int outputsKept = 0;
    unsigned long outputsSent = 0;  // outputs sent since the start-up
};

extern std::vector<BoardMonitor> BoardMonitors;  // one per board index that has been seen
extern unsigned long UnknownSenderDatagrams;  // datagrams dropped: sender in the network, no board
extern unsigned long DiscardedFrames;         // serial frames and bytes thrown away unread
extern std::vector<std::string> MonitorText;  // the monitor window's text lines
extern XPWidgetID MonitorTextWidget[kMonitorLineCount];  // caption of each monitor line
extern bool MonitorShown;  // the monitor window is open, so its lines are refreshed

// The monitor of board b, made when first needed; null for an index out of range.
BoardMonitor* MonitorOf(int b);
// A message of `bytes` bytes received from board b (b < 0: from no board; not counted).
void NoteReceived(int b, long bytes);
// A send of `bytes` bytes to board b (a failed send, bytes <= 0, is not counted).
void NoteSent(int b, long bytes);
// Input `input` of board b was applied for the message whose fields are `fields`.
void NoteInputApplied(int b, const std::vector<std::string>& fields, int input, int element,
                      float result);
// Output `output` of board b was sent with text.
void NoteOutputSent(int b, int output, const std::string& text);
// Counts one flight-loop call; true when kMonitorRefreshCalls calls have passed since the lines
// were last set (time to refresh).
bool MonitorRefreshDue();
// Replaces the monitor lines (kept to kMonitorLineCount), refreshes the captions that changed and
// starts the count to the next refresh.
void SetMonitorLines(const std::vector<std::string>& lines);
// Empties every counter and ring (reset); the lines stay until the next refresh.
void ClearBoardMonitors();
