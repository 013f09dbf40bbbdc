// Names of the boards' configurations that the simulator did not know when the boards were read
// (an add-on aircraft's, whose plug-in adds them when the aircraft loads), looked up again until
// they are found: at once after an aircraft loaded or datarefs were added, and every 2 s while any
// is missing, a bounded number per flight-loop call. A name found binds its input, which applies
// from then on, or its output, which is sent at once. The live feed hears, in one "names" event,
// the names still missing after the first lookup and after each one asked for, and the names found
// by any lookup.
#pragma once

constexpr double kNameRetrySeconds = 2.0;  // longest wait from a name's arrival to its lookup
constexpr int kNameLookupsPerCall = 64;    // names looked up in one flight-loop call at most

// Asks for a lookup of every missing name from the next flight-loop call on.
void LookUpMissingNamesSoon();
// Once per flight-loop call, before the output pass: goes on with the lookup under way, or begins
// one when it is asked for or due.
void HealMissingNames();
// Forgets the lookup under way and when the last one began (the full reset).
void ResetNameHealing();
