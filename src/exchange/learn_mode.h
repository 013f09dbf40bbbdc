// Learning controls: while it is on, every Arduino board is configured to report each of its free
// pins and every analog channel too, so that a control wired to a pin data.cfg does not name yet
// is heard (its inputs match no entry and are applied by none). All on the flight loop's thread.
#pragma once

#include <string>

// Learning ends by itself this long after it was switched on.
constexpr double kLearnSeconds = 120.0;

// Switches learning on (again: the time starts anew) and asks every Arduino board to identify
// itself, so that it gets the learning upload.
void StartLearning();
// Switches learning off and asks every Arduino board to identify itself for its normal upload.
void StopLearning();
// True while learning is on.
bool Learning();
// Whole seconds until learning ends by itself (rounded up); 0 when it is off.
int LearningSecondsLeft();
// Ends learning when its time is up; once per flight-loop call.
void ContinueLearning();
// Forgets learning and what the boards' identifications told (reset), without asking any board.
void ForgetLearning();
// Keeps the chip letter that board b's identification carries (its second byte).
void NoteBoardChip(int b, char chip);
// The chip letter board b identified itself with; 0 when none is known.
char BoardChip(int b);
