// Network boards switched on after the search: while a board section of the file in force has no
// board yet, the addresses of the own prefix that hold no board are probed again, slowly.
#pragma once

// One step per flight-loop call once the search has ended: a round over the 256 host numbers
// every kReprobeRoundCalls calls (about 30 s), the probes spread evenly over it, each to the
// settings' port of a host that is neither the simulator nor a board. A probe that falls due
// while every board section has its board is not sent (boards that restart announce themselves).
void ProbeLanSlowly();
// Starts the next round from its beginning (reset).
void ResetLanReprobe();
