#include "config/scratch_state.h"

std::stringstream ss;
std::string line;
std::string st;
std::vector<std::string> splitpair;
std::vector<std::string> tag;

void ResetStream() {
    ss.str(std::string());
    ss.clear();
}
