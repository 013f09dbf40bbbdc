// What happens in the cockpit, as events for a live feed (the Studio's): boards found, configured
// and lost, input messages with the entries they drove, outputs as sent, log lines, the aircraft
// and names found or missing. The code where things happen publishes them here; whoever feeds a
// client sets the sink, and with no client listening a publication costs one atomic load.
#pragma once

#include <atomic>
#include <string>
#include <vector>

enum class LiveEventKind { Board, Input, Output, Log, Aircraft, Names };

struct LiveEvent {
    LiveEventKind kind = LiveEventKind::Log;
    int board = -1;                  // board index; -1 for events of no board
    int id = -1;                     // Board: the board ID
    std::string state;               // Board: "found", "configured", "lost"
    std::string tag;                 // Input, Output
    std::string text;                // Input: the value; Output: the text sent; Log: the line;
                                     // Aircraft: the model file
    std::string path;                // Aircraft: the model's path; Board: the link
    std::string file;                // Aircraft: the configuration file in force
    std::vector<int> matched;        // Input: the input entries it drove
    std::vector<std::string> names;  // Names: still missing
    std::vector<std::string> found;  // Names: found since the last names event
};

extern std::atomic<bool> LiveFeedOn;  // a client listens to the live feed
extern void (*LiveEventSink)(
    LiveEvent&& event);           // takes events while LiveFeedOn (simulator's thread)
extern void (*StudioCallWork)();  // the Studio's share of every flight-loop call; null without it

// Hands event to the sink when a client listens.
void PublishLiveEvent(LiveEvent&& event);
// Board b was found, configured or lost (state), with its board ID and link.
void PublishBoardEvent(int b, const char* state, int id, const std::string& link);
// An input message of board b: its tag and value, and the input entries it drove.
void PublishInputEvent(int b, const std::string& tag, const std::string& value,
                       const std::vector<int>& matched);
// The text sent to output tag of board b.
void PublishOutputEvent(int b, const std::string& tag, const std::string& text);
// One line written to the log.
void PublishLogEvent(const std::string& line);
// The user's aircraft loaded (its model file and path) and the configuration file in force.
void PublishAircraftEvent(const std::string& file, const std::string& path,
                          const std::string& configFile);
// The names of the configuration still missing after a lookup, and those it found.
void PublishNamesEvent(std::vector<std::string> missing, std::vector<std::string> found);
// Runs the Studio's work of this flight-loop call, when there is a Studio.
void RunStudioCallWork();
