#include "config/config_fields.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

bool ReadUnsigned(const std::string& text, unsigned int& value) {
    value = 0;
    // Each scan ends at the latest at the text's ending NUL, which is neither blank, '+' nor digit.
    size_t i = 0;
    while (text[i] == ' ' || text[i] == '\t') ++i;
    if (text[i] == '+') ++i;
    const size_t first = i;
    unsigned long long number = 0;
    while (text[i] >= '0' && text[i] <= '9') {
        // Saturates, and keeps reading the digits.
        number = std::min<unsigned long long>(number * 10 + static_cast<unsigned>(text[i] - '0'),
                                              UINT_MAX);
        ++i;
    }
    if (i == first) return false;
    value = static_cast<unsigned int>(number);
    return true;
}

unsigned int UnsignedOrZero(const std::string& text) {
    unsigned int value{};
    ReadUnsigned(text, value);
    return value;
}

int IntOf(const std::string& text) {
    const long number = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(number, INT_MIN, INT_MAX));
}

float FloatOf(const std::string& text) {
    return static_cast<float>(std::strtod(text.c_str(), nullptr));
}

bool StartsWithNumber(const std::string& text) {
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end != text.c_str();
}

bool SplitOutputTag(const std::string& written, unsigned int& pin, char& type) {
    pin = 0;
    type = 'D';
    if (written.empty() || written[0] < '0' || written[0] > '9') return false;
    const unsigned int number = UnsignedOrZero(written);
    if (number > 255) return false;
    pin = number;
    const char last = written.back();
    type = (last >= '0' && last <= '9') ? 'D' : last;
    return true;
}

bool ConvertArduinoTag(const std::string& written, std::string& converted) {
    unsigned int pin{};
    char type{};
    if (!SplitOutputTag(written, pin, type)) {
        converted = written;
        return false;
    }
    converted = std::string(1, static_cast<char>(pin)) + type;
    return true;
}

std::string ShowOutputTag(const std::string& tag, unsigned int id) {
    if (id == 0 || tag.size() != 2) return tag;
    return std::to_string(static_cast<unsigned char>(tag[0])) + tag[1];
}

std::string GroupOf(const std::string& tag) {
    return tag.substr(0, tag.find('/'));
}

int GroupPosition(const std::string& tag) {
    const size_t slash = tag.find('/');
    if (slash == std::string::npos) return 0;
    int position = 0;
    // The digits after the slash, up to the text's ending NUL at the latest.
    for (size_t k = slash + 1; tag[k] >= '0' && tag[k] <= '9'; ++k)
        position = std::min(position * 10 + (tag[k] - '0'), 1000000);
    return position;
}

std::string WithoutSign(const std::string& tag) {
    const bool sign = !tag.empty() && (tag.back() == '+' || tag.back() == '-');
    return sign ? tag.substr(0, tag.size() - 1) : tag;
}

size_t FieldsOfCutList(const std::vector<std::string>& f, size_t k, std::string& meant) {
    if (k >= f.size() || f[k].empty()) return 0;
    meant = f[k];
    size_t next = k + 1;
    while (next < f.size() && !f[next].empty() && (meant.back() == ',' || f[next][0] == ','))
        meant += f[next++];
    return next - k - 1;
}
