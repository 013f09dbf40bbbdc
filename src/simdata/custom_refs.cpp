#include "simdata/custom_refs.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "simdata/dataref_access.h"
#include "simdata/sim_time.h"

std::vector<CustomDref> Corvane_Drefs;
std::vector<CustomCommand> Corvane_Commands;
std::vector<unsigned int> CustomIndices;

namespace {

constexpr size_t kFlaps = 0;
constexpr size_t kAltHold = 1;

// A blink phase lasts about this long.
constexpr double kBlinkSeconds = 0.4;

int PublishedValue(size_t position) {
    return position < Corvane_Drefs.size() ? Corvane_Drefs[position].value : 0;
}

// Press: the held command begins and the press command runs once; release: the held command
// ends and the release command runs once. The simulator goes on processing the command.
int RunStarter(size_t position, int phase) {
    if (position >= Corvane_Commands.size()) return 1;
    const CustomCommand& record = Corvane_Commands[position];
    if (phase == xplm_CommandBegin) {
        if (record.held != nullptr) XPLMCommandBegin(record.held);
        if (record.press != nullptr) XPLMCommandOnce(record.press);
    } else if (phase == xplm_CommandEnd) {
        if (record.held != nullptr) XPLMCommandEnd(record.held);
        if (record.release != nullptr) XPLMCommandOnce(record.release);
    }
    return 1;
}

// 1 while the two sources differ (a source that is not a number differs too).
void RefreshCompare(CustomDref& r) {
    ReadF[0] = XPLMGetDataf(r.source1);
    ReadF[1] = XPLMGetDataf(r.source2);
    r.value = (ReadF[0] != ReadF[1]) ? 1 : 0;
}

// Armed (1): the value flips after the calls that make up one blink phase at the last frame
// period; otherwise half the source (0 off, 2 captured: 1).
void RefreshBlink(CustomDref& r) {
    ReadI[0] = XPLMGetDatai(r.source1);
    const int s = ReadI[0];
    if (s != 1) {
        r.value = s / 2;
        return;
    }
    const double period = static_cast<double>(frametime);
    const double calls = period > 0 ? kBlinkSeconds / period : INFINITY;
    if (r.counter > calls) {
        r.value = 1 - r.value;
        r.counter = 0;
    }
    r.counter = r.counter + 1;
}

}  // namespace

CustomDref::CustomDref(int (*reader)(void*), void (*writer)(void*, int), std::string name,
                       unsigned int refreshKind, std::string firstSource, std::string secondSource)
    : kind(refreshKind), name(std::move(name)) {
    handle = XPLMRegisterDataAccessor(this->name.c_str(), xplmType_Int, 1, reader, writer, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr);
    if (!firstSource.empty()) source1 = XPLMFindDataRef(firstSource.c_str());
    if (!secondSource.empty()) source2 = XPLMFindDataRef(secondSource.c_str());
}

CustomCommand::CustomCommand(int (*handler)(void*, int, void*), std::string name,
                             std::string heldName, std::string pressName, std::string releaseName)
    : name(std::move(name)) {
    command = XPLMCreateCommand(this->name.c_str(), this->name.c_str());
    if (!heldName.empty()) held = XPLMFindCommand(heldName.c_str());
    if (!pressName.empty()) press = XPLMFindCommand(pressName.c_str());
    if (!releaseName.empty()) release = XPLMFindCommand(releaseName.c_str());
    XPLMRegisterCommandHandler(command, handler, 1, nullptr);
}

int CustomGet_Flaps(void*) {
    return PublishedValue(kFlaps);
}
int CustomGet_AltHold(void*) {
    return PublishedValue(kAltHold);
}
void CustomWrite_Empty(void*, int) {}

int CC_Starter1(void*, int phase, void*) {
    return RunStarter(0, phase);
}
int CC_Starter2(void*, int phase, void*) {
    return RunStarter(1, phase);
}
int CC_Starter3(void*, int phase, void*) {
    return RunStarter(2, phase);
}
int CC_Starter4(void*, int phase, void*) {
    return RunStarter(3, phase);
}

void InitiateCustom() {
    // Each start is a new load of the plug-in: the records of an earlier start, whose accessors
    // were unregistered at its stop, are gone.
    Corvane_Drefs.clear();
    Corvane_Commands.clear();
    CustomIndices.clear();
    Corvane_Drefs.push_back(CustomDref(
        CustomGet_Flaps, CustomWrite_Empty, "corvane/flaps_in_transition", 1,
        "sim/cockpit2/controls/flap_ratio", "sim/flightmodel2/controls/flap_handle_deploy_ratio"));
    Corvane_Drefs.push_back(CustomDref(CustomGet_AltHold, CustomWrite_Empty,
                                       "corvane/altitude_hold_status", 2,
                                       "sim/cockpit2/autopilot/altitude_hold_status", ""));
    Corvane_Commands.push_back(
        CustomCommand(CC_Starter1, "corvane/starter_ignition_1", "sim/starters/engage_starter_1",
                      "sim/igniters/igniter_contin_on_1", "sim/igniters/igniter_contin_off_1"));
    Corvane_Commands.push_back(
        CustomCommand(CC_Starter2, "corvane/starter_ignition_2", "sim/starters/engage_starter_2",
                      "sim/igniters/igniter_contin_on_2", "sim/igniters/igniter_contin_off_2"));
    Corvane_Commands.push_back(
        CustomCommand(CC_Starter3, "corvane/starter_ignition_3", "sim/starters/engage_starter_3",
                      "sim/igniters/igniter_contin_on_3", "sim/igniters/igniter_contin_off_3"));
    Corvane_Commands.push_back(
        CustomCommand(CC_Starter4, "corvane/starter_ignition_4", "sim/starters/engage_starter_4",
                      "sim/igniters/igniter_contin_on_4", "sim/igniters/igniter_contin_off_4"));
}

void AddCustomRef(std::string name) {
    for (size_t k = 0; k < Corvane_Drefs.size(); ++k) {
        if (Corvane_Drefs[k].name != name) continue;
        const unsigned int position = static_cast<unsigned int>(k);
        if (std::find(CustomIndices.begin(), CustomIndices.end(), position) == CustomIndices.end())
            CustomIndices.push_back(position);
        return;
    }
}

bool CommandIsHold(std::string name) {
    static const char* const kHeld[] = {"corvane/starter_ignition", "engage_starter",
                                        "annunciator/test", "autopilot/test_auto_annunciators"};
    for (const char* part : kHeld)
        if (name.find(part) != std::string::npos) return true;
    return false;
}

void RefreshCustomDrefs() {
    for (unsigned int position : CustomIndices) {
        if (position >= Corvane_Drefs.size()) continue;
        CustomDref& r = Corvane_Drefs[position];
        if (r.kind == 1)
            RefreshCompare(r);
        else if (r.kind == 2)
            RefreshBlink(r);
    }
}

void UnregisterCustomDrefs() {
    for (CustomDref& r : Corvane_Drefs) {
        if (r.handle != nullptr) XPLMUnregisterDataAccessor(r.handle);
        r.handle = nullptr;
    }
}
