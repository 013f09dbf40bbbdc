// The plug-in's own datarefs and commands under "corvane/".
#pragma once

#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"

// One published int dataref, derived from one or two of the simulator's datarefs.
class CustomDref {
  public:
    // Registers name as a writable int dataref read by `reader` and written by `writer`; kind 1
    // compares the two sources, kind 2 blinks on the first. Empty source names are not looked up.
    CustomDref(int (*reader)(void*), void (*writer)(void*, int), std::string name,
               unsigned int refreshKind, std::string firstSource, std::string secondSource);

    XPLMDataRef source1 = nullptr;  // first source dataref
    XPLMDataRef source2 = nullptr;  // second source dataref
    unsigned int kind = 0;          // 1: compare the sources; 2: blink on the first source
    float counter = 0;              // refreshes since the last blink change (kind 2)
    int value = 0;                  // the published value
    std::string name;               // the published name
    XPLMDataRef handle = nullptr;   // the registered accessor, kept for unregistering
};

// One published command that drives other commands of the simulator.
class CustomCommand {
  public:
    // Creates command name (described by its name) with `handler` running before the simulator;
    // held is begun on press and ended on release, press and release are run once.
    CustomCommand(int (*handler)(void*, int, void*), std::string name, std::string heldName,
                  std::string pressName, std::string releaseName);

    std::string name;                  // the published name
    XPLMCommandRef command = nullptr;  // the created command
    XPLMCommandRef held = nullptr;     // begun on press, ended on release
    XPLMCommandRef press = nullptr;    // run once on press
    XPLMCommandRef release = nullptr;  // run once on release
};

extern std::vector<CustomDref> Corvane_Drefs;        // [0] flaps in transition, [1] altitude hold
extern std::vector<CustomCommand> Corvane_Commands;  // [0..3] starter and ignition, engines 1-4
extern std::vector<unsigned int> CustomIndices;      // positions in Corvane_Drefs that outputs use

// Creates the own datarefs and commands (every XPluginStart).
void InitiateCustom();
// Marks an own dataref as used by an output, so that it is refreshed every call.
void AddCustomRef(std::string name);
// True for commands that are held while the button is held (starters, annunciator tests).
bool CommandIsHold(std::string name);
// Refreshes the values of the own datarefs that outputs use; once per flight-loop call.
void RefreshCustomDrefs();
// Unregisters every own dataref accessor (XPluginStop).
void UnregisterCustomDrefs();

// Accessors of the published datarefs: the value of Corvane_Drefs[0] and [1]; writes are dropped.
int CustomGet_Flaps(void* refcon);
int CustomGet_AltHold(void* refcon);
void CustomWrite_Empty(void* refcon, int value);
// Command handlers of the starter commands of engines 1 to 4.
int CC_Starter1(void* command, int phase, void* refcon);
int CC_Starter2(void* command, int phase, void* refcon);
int CC_Starter3(void* command, int phase, void* refcon);
int CC_Starter4(void* command, int phase, void* refcon);
