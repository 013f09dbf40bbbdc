#include "config/text_utils.h"

namespace {

bool IsTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

std::string Trim(std::string text) {
    size_t begin = 0;
    while (begin < text.size() && IsTrimmed(text[begin])) ++begin;
    size_t end = text.size();
    while (end > begin && IsTrimmed(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::vector<std::string> SplitBy(std::string text, std::string delimiter) {
    std::vector<std::string> fields;
    if (delimiter.empty()) {
        if (!text.empty()) fields.push_back(text);
        return fields;
    }
    const char d = delimiter[0];
    const bool blank = (d == ' ');
    auto isDelimiter = [&](char c) { return c == d || (blank && c == '\t'); };
    size_t pos = 0;
    const size_t n = text.size();
    while (pos < n) {
        if (isDelimiter(text[pos])) {
            ++pos;
            continue;
        }
        size_t end = pos;
        while (end < n && !isDelimiter(text[end])) ++end;
        fields.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}
