#include "simdata/dataref_memory.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>
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
    return t.empty() ? std::string() : t.substr(1);
}

// What tells one version of a file from another: a store's own rewrite and a hand edit both
// change the modification time or the size.
struct FileStamp {
    bool present = false;
    std::filesystem::file_time_type modified{};
    std::uintmax_t size{};
    bool operator==(const FileStamp& o) const {
        return present == o.present && modified == o.modified && size == o.size;
    }
};

// A memory file as last read or written: its lines (each without its line feed; a carriage
// return before it stays) and, per key asked for so far, the lines that hold the key with values.
struct MemoryFile {
    FileStamp stamp;
    std::vector<std::string> lines;
    std::map<std::string, std::vector<size_t>> keyLines;
};

// The memory files in use, by path.
std::map<std::string, MemoryFile> memoryFiles;

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return stamp;
    stamp.modified = std::filesystem::last_write_time(path, error);
    if (error) return stamp;
    stamp.size = std::filesystem::file_size(path, error);
    stamp.present = !error;
    return stamp;
}

// The lines of a text: each ends at a line feed, which is not part of it (a carriage return
// before it stays); a last line without a line feed counts too.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        lines.emplace_back(text, begin, end - begin);
        begin = end + 1;
    }
    return lines;
}

// The memory file at path as it is on the disk now: read again only when it changed since it was
// last read or written here. An absent file has no lines; a file that is there but cannot be read
// gives nullptr (and is left alone).
MemoryFile* CurrentFile(const std::string& path) {
    MemoryFile& file = memoryFiles[path];
    const FileStamp now = StampOf(path);
    if (now == file.stamp) return &file;
    file = MemoryFile();
    if (now.present) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            memoryFiles.erase(path);
            return nullptr;
        }
        std::ostringstream content;
        content << in.rdbuf();
        file.lines = LinesOf(content.str());
    }
    file.stamp = now;
    return &file;
}

// The first two fields of a line, cut at blanks and tabs as SplitBy(text, " ") cuts it.
void FirstTwoFields(const std::string& text, std::string_view* first, std::string_view* second) {
    const std::string_view all(text);
    std::string_view* fields[2] = {first, second};
    size_t pos = 0;
    for (std::string_view* field : fields) {
        while (pos < all.size() && (all[pos] == ' ' || all[pos] == '\t')) ++pos;
        size_t end = pos;
        while (end < all.size() && all[end] != ' ' && all[end] != '\t') ++end;
        *field = all.substr(pos, end - pos);
        pos = end;
    }
}

// The stored values of a line whose first field is key, newest first; false for any other line
// and for a line that has the key but no values (such a line is never used or changed).
bool ValuesOfLine(const std::string& text, const std::string& key,
                  std::vector<std::string>* values) {
    std::string_view first, second;
    FirstTwoFields(text, &first, &second);
    if (first != key || second.empty()) return false;
    std::string list(second);
    if (!list.empty() && list.back() == '\r') list.pop_back();
    *values = SplitBy(list, ",");
    return !values->empty();
}

// The lines of file that hold key with values, found once per key and file version.
std::vector<size_t>& LinesWithKey(MemoryFile& file, const std::string& key) {
    auto known = file.keyLines.find(key);
    if (known != file.keyLines.end()) return known->second;
    std::vector<size_t>& found = file.keyLines[key];
    std::vector<std::string> values;
    for (size_t k = 0; k < file.lines.size(); ++k) {
        const std::string& text = file.lines[k];
        if (ValuesOfLine(text, key, &values)) found.push_back(k);
    }
    return found;
}

}  // namespace

size_t MemoryValuesKept(double depth) {
    if (depth > kMaxDepth) return static_cast<size_t>(kMaxDepth) + 1;
    return static_cast<size_t>(std::ceil(std::fmax(depth, 1.0)));  // one at least, also for NaN
}

std::string MemoryFilePath(unsigned int board) {
    filepath = foldername + "/memory" + std::to_string(board) + ".txt";
    return filepath;
}

void ForgetMemoryFiles() {
    memoryFiles.clear();
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

    // Old values kept behind the new one.
    const size_t keep = MemoryValuesKept(InputDefault[board][input]) - 1;

    MemoryFile* current = CurrentFile(path);
    if (!current) return;
    MemoryFile& file = *current;
    std::vector<size_t>& keyed = LinesWithKey(file, key);
    std::vector<std::string> values;
    for (size_t k : keyed) {
        std::string& text = file.lines[k];
        ValuesOfLine(text, key, &values);
        std::string changed = key + " " + line;
        for (size_t v = 0; v < values.size() && v < keep; ++v) changed += "," + values[v];
        text = changed + "\r";
    }
    if (keyed.empty()) {
        keyed.push_back(file.lines.size());
        file.lines.push_back(key + " " + line + "\r");
    }

    size_t total = 0;
    for (const std::string& text : file.lines) total += text.size() + 1;
    std::string content;
    content.reserve(total);
    for (const std::string& text : file.lines) {
        content += text;
        content += '\n';
    }
    if (ReplaceFileContent(path, content))
        file.stamp = StampOf(path);
    else
        memoryFiles.erase(path);  // read again from the disk at the next press
}

void RestoreDataref(unsigned int board, unsigned int input, unsigned int arrayIndex) {
    if (!EntryComplete(board, input)) return;
    const std::string key = KeyOf(board, input);
    if (key.empty()) return;
    MemoryFile* file = CurrentFile(MemoryFilePath(board));
    if (!file) return;
    const std::vector<size_t>& keyed = LinesWithKey(*file, key);
    if (keyed.empty()) return;
    std::vector<std::string> values;
    ValuesOfLine(file->lines[keyed.front()], key, &values);

    const double n = static_cast<double>(values.size());
    double cursor = InputDefault[board][input];
    if (std::isnan(cursor)) cursor = 1.0;
    if (n >= cursor) {
        const size_t position = static_cast<size_t>(std::fmax(cursor - 1.0, 0.0));
        ResetStream();
        ss << values[position];
        float value{};
        // A stored value that does not read as a number is skipped: nothing is written.
        if (ss >> value && std::isfinite(value)) WriteDataref(board, input, arrayIndex, value);
        ResetStream();
        cursor += 1.0;
    }
    if (cursor > n) cursor = 1.0;
    InputDefault[board][input] = static_cast<float>(cursor);
}
