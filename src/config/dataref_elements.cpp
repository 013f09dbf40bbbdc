#include "config/dataref_elements.h"

std::string ElementProblem(XPLMDataRef ref, int types, int element, const std::string& name) {
    if (!ref) return std::string();
    const bool floats = (types & xplmType_FloatArray) != 0;
    const bool ints = (types & xplmType_IntArray) != 0;
    if (!floats && !ints) {
        if (element <= 1 || (types & xplmType_Data)) return std::string();
        return "element " + std::to_string(element) + " of " + name +
               ", which is no array: the element is not used";
    }
    const int size = floats ? XPLMGetDatavf(ref, nullptr, 0, 0) : XPLMGetDatavi(ref, nullptr, 0, 0);
    if (element <= size) return std::string();
    return "element " + std::to_string(element) + " is beyond the " + std::to_string(size) +
           " elements of " + name + ": nothing is read or written";
}
