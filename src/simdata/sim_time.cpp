#include "simdata/sim_time.h"

XPLMDataRef FlightTimeDref = nullptr;
XPLMDataRef FrameTimeDref = nullptr;
float frametime = 30.0f;

void FindTimeDatarefs() {
    FlightTimeDref = XPLMFindDataRef("sim/time/total_flight_time");
    FrameTimeDref = XPLMFindDataRef("sim/operation/misc/frame_rate_period");
}

void ReadFrameTime() {
    frametime = XPLMGetDataf(FrameTimeDref);
}
