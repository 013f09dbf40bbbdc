// The board configuration chosen by the user's aircraft: profiles/NAME.cfg in the plug-in's folder
// for the aircraft whose model file is NAME.acf (the name compared ignoring case, never the
// livery), data.cfg for every other aircraft.
#pragma once

#include <string>
#include <vector>

// The configuration file read by the last start-up, relative to the plug-in's folder: "data.cfg"
// or "profiles/NAME.cfg".
extern std::string ConfigFileInForce;

// The aircraft name of a model file name: its last path component without ".acf" (any case).
std::string AircraftNameOf(const std::string& modelFile);
// The user's aircraft as the simulator names it (XPLMGetNthAircraftModel(0, ...)): its model
// file's name and that file's path; both "" when none is loaded.
struct AircraftModel {
    std::string file;
    std::string path;
};
AircraftModel UserAircraftModel();
// The name of the user's aircraft; "" when none is named.
std::string UserAircraftName();
// The names of the profiles in folder/profiles (files whose names end in ".cfg", any case), in
// name order.
std::vector<std::string> ProfileNames(const std::string& folder);
// The configuration file for aircraft, relative to folder: "profiles/" and the name of the file in
// folder/profiles whose name is aircraft + ".cfg" ignoring case (the one of exactly that case
// first), else "data.cfg".
std::string ConfigFileFor(const std::string& folder, const std::string& aircraft);
// Chooses the file for the user's aircraft as ConfigFileInForce, names it in the log
// ("configuration profiles/B738.cfg for aircraft B738") and, for a profile, on the status window's
// about line.
void ChooseConfigFile();
