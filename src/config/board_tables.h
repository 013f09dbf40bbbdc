// The board tables: one row per board index in every per-board table, created and reset together.
// A board is nothing but a row index shared by these tables; its inputs and outputs are positions
// inside its row. Everything here is process-wide and touched only from the simulator's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transport/net_address.h"

// Per-board, per-input tables, indexed [board][input].
extern std::vector<std::vector<std::vector<std::string>>>
    Data;                                                 // parsed fields of each input entry
extern std::vector<std::vector<std::string>> Datatags;    // final tag an input message matches
extern std::vector<std::vector<int>> Mode;                // group role and T-group position
extern std::vector<std::vector<void*>> InputDataPointer;  // XPLMCommandRef or XPLMDataRef, or null
extern std::vector<std::vector<int>> InputDrefTypes;      // dataref type bits; 0 for commands
extern std::vector<std::vector<std::vector<float>>> InputDataRange;  // value list of field 2
extern std::vector<std::vector<int>> InputArrayNum;  // 0 command, -1 internal, else 1-based element
extern std::vector<std::vector<float>> InputDefault;     // step or set value
extern std::vector<std::vector<int>> InputIncrementDir;  // +1 / -1 stepping direction
// InputIncrementDir of an Arduino board's pin reference: it names every output with its tag.
constexpr int kAllPinOutputs = 32767;
extern std::vector<std::vector<int>> Contval;  // repeat class: -1, 1 held, 2 R-listed
extern std::vector<std::vector<std::vector<int>>> InputSkip;  // (count, 0) pairs from S entries
// Analog input answers by the square of its reading (its tag is in a Q entry). Read only where
// present: an input without it maps linearly.
extern std::vector<std::vector<bool>> InputSquareLaw;
// Members of the T group an input leads (0 for every other input); its Mode is ten for each
// member plus the position the group's next press goes to. Read only where present: without it a
// leader's members are its Mode's tens.
extern std::vector<std::vector<int>> GroupMembers;

// Per-board, per-output tables, indexed [board][output].
extern std::vector<std::vector<std::vector<std::string>>> OutDrefs;  // fields of each output entry
extern std::vector<std::vector<bool>> OutputActive;                  // output is sent
extern std::vector<std::vector<void*>> Drefread;        // XPLMDataRef of the output, or null
extern std::vector<std::vector<int>> Type;              // dataref type bits of the output
extern std::vector<std::vector<int>> Arraynum;          // 1-based array element
extern std::vector<std::vector<int>> Precision;         // output precision
extern std::vector<std::vector<std::string>> Previous;  // text of the value last sent
extern std::vector<std::vector<std::vector<float>>> OutRange1;  // first range list
extern std::vector<std::vector<std::vector<float>>> OutRange2;  // second range list
// Output states beside the text last sent, indexed [board][output]; rows may be shorter than the
// board's outputs (FitOutputStates).
extern std::vector<std::vector<bool>> OutputAllOn;  // shows all lit (lamp test), value unread
extern std::vector<std::vector<bool>> OutputDue;    // sent on the next pass, whatever its text

// LED mode entries (two-field O entries), indexed [board][k].
extern std::vector<std::vector<std::vector<std::string>>> OutputModeLed;
// Input index of the encoder group leader whose mode LED mode entry k shows, -1 for none; set by
// the input option pass and read only where present.
extern std::vector<std::vector<int>> ModeLedLeader;

// Per-board byte blocks and scalars, indexed [board].
extern std::vector<std::string> AnalogAdditional;      // 16 channels x 3 setting bytes
extern std::vector<std::string> MatrixAdditional;      // 5 matrix configuration bytes
extern std::vector<std::string> SevenSegAdditional;    // one pin byte per 7-segment output
extern std::vector<std::string> StepperAdditional;     // pin + steps per revolution (16 bit LE)
extern std::vector<std::vector<uint8_t>> LedPortData;  // LED port states, 8 LEDs per set
extern std::vector<unsigned int> StepperCommon;        // stepper direction pin
extern std::vector<unsigned int> LEDCommon;            // LED port pin
extern std::vector<unsigned int> SevenSegCommon;       // 7-segment common pin
extern std::vector<unsigned int> OutDevice;            // board ID (0 = Helvan panel)
extern std::vector<bool> AllowOutput;                  // outputs may be sent to the board
extern std::vector<bool> AllowPing;                    // the board is pinged
extern std::vector<bool> LedPortSend;                  // LED port data is due
extern std::vector<bool> sendall;                      // every output is due on the next cycle
extern std::vector<char> allow_output;                 // output gate letter
extern std::vector<sockaddr_in> UdpIP;                 // LAN address; all zero for a USB board
extern std::vector<int> SerialIndex;                   // serial port index; -1 for a LAN board

extern std::vector<bool> BoardRefused;  // refused for its library version; its messages are dropped

// Remembered per board when its row is created, so a board that identifies again rewrites its own
// status line.
extern std::vector<int> BoardStatusLine;        // status line index of the board, -1 if none
extern std::vector<std::string> BoardLinkName;  // "LAN" address text or serial device path

// Configuration text, indexed by section position in data.cfg.
extern std::vector<std::string> ArduinoConfigFile;  // the section's lines, each ending in '\n'
extern std::vector<unsigned int> ArduinoID;         // the section's board ID
extern std::vector<std::vector<int>> ArduinoConfigLines;  // data.cfg line of each stored line

// Other tables the rows refer to.
extern std::vector<std::vector<int>> Continuous;  // held inputs: (board, input, repeat counter)
extern std::vector<std::string> ContinuousTag;    // tag of each held input, parallel to Continuous
extern int OutArrayUse;                           // scratch element count of the output pass

// Number of board rows (the length of Data).
int BoardCount();
// True when b names an existing row.
bool BoardExists(int b);
// True when b names a row and i an input that every per-input table holds.
bool InputExists(int b, int i);
// True when b names a row and j an output that every per-output table holds.
bool OutputExists(int b, int j);

// Gives board b's OutputAllOn and OutputDue rows one entry per output entry (OutDrefs); entries
// added are neither all on nor due. False when b names no row.
bool FitOutputStates(int b);

// Members of the T group that input i of board b leads (0 when it leads none).
int GroupMemberCount(int b, int i);

// Port (index into LedPortData[b]) of LED-port LED number led, counted from 1 (LEDs 1 to 8 are
// port 0), or -1 when the board has no such position: led below 1 or beyond 8 x its ports.
int LedPortOf(int b, int led);

// Appends one row to every per-board table with its fresh values.
void CreateBoardRow(unsigned int id, const sockaddr_in& address, int serialIndex);
// Empties the board's input and output lists and byte blocks and gives its scalars their fresh
// values; its address and serial index stay.
void ResetBoardRow(int b, unsigned int id);
// Empties every board table, the configuration texts included.
void ClearBoardTables();

// The content of every table above, held apart from the tables. A reader that must leave the live
// tables as they are (the checker inside the plug-in) exchanges them with a fresh set, so that it
// reads into empty tables, and exchanges them back when it is done; the exchanges move no element,
// so that references into the live tables stay good.
class BoardTablesSet {
  public:
    BoardTablesSet();  // empty tables
    ~BoardTablesSet();
    BoardTablesSet(const BoardTablesSet&) = delete;
    BoardTablesSet& operator=(const BoardTablesSet&) = delete;

    struct Tables;  // one member per table

  private:
    friend void ExchangeBoardTables(BoardTablesSet& set);
    std::unique_ptr<Tables> tables_;
};
// Exchanges the content of every board table with set's.
void ExchangeBoardTables(BoardTablesSet& set);
