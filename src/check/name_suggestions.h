// "Did you mean": the known names closest to a name that the simulator does not know.
#pragma once

#include <string>
#include <vector>

namespace corvane_check {

// The names that suggestions are drawn from: the simulator's and the plug-in's own, as the
// checker's program loads them.
extern std::vector<std::string> KnownNames;

// Up to `most` names of `known` that name was most likely meant to be, closest first: names a few
// letters apart (wrong, missing or extra letters; the allowance grows with the name's length),
// and names with the same last part in another folder (sim/cockpit/... for sim/cockpit2/...).
// Costs one pass over `known` with a distance bounded by the allowance, so lists of tens of
// thousands of names answer in milliseconds.
std::vector<std::string> ClosestNames(const std::string& name,
                                      const std::vector<std::string>& known, size_t most = 3);

// The text that follows a reason about an unknown name: "; did you mean a?", "; did you mean a,
// b or c?", or "" without suggestions.
std::string DidYouMean(const std::vector<std::string>& names);

}  // namespace corvane_check
