// The board section and simulator datarefs that the runs under Wine share.
#pragma once

namespace corvane_wine {

// Board 3: a command button, an analog axis, a memory store and recall, an LED and a number.
inline const char* const kSection =
    "[I]\n"
    "D5 sim/lights/landing_lights_toggle\n"
    "A2 sim/test/float 0,100\n"
    "M12 sim/test/nav1 3\n"
    "P12 sim/test/nav1\n"
    "[O]\n"
    "7L 0 sim/test/int\n"
    "8 2 sim/test/float\n";

inline const char* const kDatarefs =
    "sim/test/float float rw 0\n"
    "sim/test/int int rw 0\n"
    "sim/test/nav1 float rw 0\n"
    "command sim/lights/landing_lights_toggle Landing lights\n";

}  // namespace corvane_wine
