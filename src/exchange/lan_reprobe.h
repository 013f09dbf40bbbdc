// Network boards switched on after the search: the addresses of the own prefix that hold no
// board are probed again, slowly, for as long as the plug-in runs.
#pragma once

// One step per flight-loop call once the search has ended: a round over the 256 host numbers
// every kReprobeRoundCalls calls (about 30 s), the probes spread evenly over it, each to the
// settings' port of a host that is neither the simulator nor a board.
void ProbeLanSlowly();
// Starts the next round from its beginning (reset).
void ResetLanReprobe();
