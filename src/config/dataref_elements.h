// Whether the element an entry names exists in its dataref, for the reader's notes.
#pragma once

#include <string>

#include "XPLMDataAccess.h"

// Empty when the 1-based element exists in ref (of the type bits types); otherwise why not: an
// element above 1 of a dataref that is no array, or one beyond the array's length.
std::string ElementProblem(XPLMDataRef ref, int types, int element, const std::string& name);
