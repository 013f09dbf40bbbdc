#include "simdata/dataref_memory.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "config/board_tables.h"
#include "config/file_replace.h"
#include "config/plugin_folder.h"
#include "config/scratch_state.h"
#include "config/text_utils.h"
#include "simdata/dataref_access.h"

namespace {

// More old values than any memory line holds; bounds the depth of a huge configured value.
constexpr double kMaxDepth = 1.0e6;

bool EntryComplete(unsigned int board, unsigned int input) {
    const int b = static_cast<int>(board);
    const int i = static_cast<int>(input);
    return b >= 0 && i >= 0 && InputExists(b, i) && input < InputDefault[b].size();
}

// The memory key of an input: its tag without its first character; empty when there is none.
std::string KeyOf(unsigned int board, unsigned int input) {
    const std::string& t = Datatags[board][input];
    return t.size() > 1 ? t.substr(1) : std::string();
}

// Reads a whole file; false when it does not open.
bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    *text = content.str();
    return true;
}

// The lines of a text: each ends at a line feed, which is not part of it (a carriage return
// before it stays); a last line without a line feed counts too.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return lines;
}

// The stored values of a line whose first field is key, newest first; false for any other line
// and for a line that has the key but no values (such a line is never used or changed).
bool ValuesOfLine(const std::string& text, const std::string& key,
                  std::vector<std::string>* values) {
    splitpair = SplitBy(text, " ");
    if (splitpair.size() < 2 || splitpair[0] != key) return false;
    std::string list = splitpair[1];
    if (!list.empty() && list.back() == '\n') list.pop_back();
    if (!list.empty() && list.back() == '\r') list.pop_back();
    *values = SplitBy(list, ",");
    return !values->empty();
}

}  // namespace

std::string MemoryFilePath(unsigned int board) {
    filepath = foldername + "/memory" + std::to_string(board) + ".txt";
    return filepath;
}

void SaveDataref(unsigned int board, unsigned int input, unsigned int arrayIndex) {
    if (!EntryComplete(board, input)) return;
    const std::string key = KeyOf(board, input);
    if (key.empty()) return;  // a one-letter tag has no key: its line could never be found again
    const std::string path = MemoryFilePath(board);
    const float value = ReadDataref(board, input, arrayIndex);
    if (!std::isfinite(value)) return;  // nothing a recall could write back
    std::ostringstream oss;             // default state: 6 significant digits, %g style
    oss << static_cast<double>(value);
    line = oss.str();

    // Old values kept behind the new one: the depth less one, a fractional depth rounded up.
    const double depth = InputDefault[board][input];
    size_t keep = 0;
    if (depth > kMaxDepth)
        keep = static_cast<size_t>(kMaxDepth);
    else if (depth > 1.0)
        keep = static_cast<size_t>(std::ceil(depth)) - 1;

    std::string old;
    std::string content;
    bool found = false;
    if (ReadWholeFile(path, &old)) {
        std::vector<std::string> values;
        for (const std::string& text : LinesOf(old)) {
            if (!ValuesOfLine(text, key, &values)) {
                content += text + "\n";
                continue;
            }
            found = true;
            content += key + " " + line;
            for (size_t k = 0; k < values.size() && k < keep; ++k) content += "," + values[k];
            content += "\r\n";
        }
    }
    if (!found) content += key + " " + line + "\r\n";
    ReplaceFileContent(path, content);
}

void RestoreDataref(unsigned int board, unsigned int input, unsigned int arrayIndex) {
    if (!EntryComplete(board, input)) return;
    const std::string key = KeyOf(board, input);
    if (key.empty()) return;
    std::string text;
    if (!ReadWholeFile(MemoryFilePath(board), &text)) return;
    std::vector<std::string> values;
    bool found = false;
    for (const std::string& l : LinesOf(text)) {
        if (ValuesOfLine(l, key, &values)) {
            found = true;
            break;
        }
    }
    if (!found) return;

    const double n = static_cast<double>(values.size());
    double cursor = InputDefault[board][input];
    if (std::isnan(cursor)) cursor = 1.0;
    if (n >= cursor) {
        const size_t position = cursor < 1.0 ? 0 : static_cast<size_t>(cursor - 1.0);
        ResetStream();
        ss << values[position];
        float value = 0.0f;
        // A stored value that does not read as a number is skipped: nothing is written.
        if (ss >> value && std::isfinite(value)) WriteDataref(board, input, arrayIndex, value);
        ResetStream();
        cursor += 1.0;
    }
    if (cursor > n) cursor = 1.0;
    InputDefault[board][input] = static_cast<float>(cursor);
}
