#include "config/settings.h"

#include <filesystem>
#include <fstream>
#include <istream>
#include <limits>

#include "config/file_replace.h"
#include "config/plugin_folder.h"
#include "config/plugin_log.h"
#include "config/scratch_state.h"
#include "config/text_utils.h"

std::string SpecifiedIP = "auto";
int UDP_PORT = 5080;
unsigned int Baudrate = 115200;
int USBcountVar = 1024;
int ScanTimeout = 512;
bool USB_FIX = false;
bool RESET_EVENTS = true;
int STUDIO_PORT = 5081;

namespace {

// The byte-order mark some editors put at the start of a UTF-8 file.
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Editors align keys and values with blanks or tabs; neither is part of a key or a value.
std::string WithoutBlanks(const std::string& text) {
    std::string result;
    for (char c : text)
        if (c != ' ' && c != '\t') result += c;
    return result;
}

// Removes a byte-order mark from the start of text; true when there was one.
bool DropByteOrderMark(std::string& text) {
    if (text.compare(0, 3, kByteOrderMark) != 0) return false;
    text.erase(0, 3);
    return true;
}

// Reads a leading number from value into target; target is unchanged when none reads or fits.
template <typename T>
void ExtractNumber(const std::string& value, T& target) {
    ResetStream();
    ss << value;
    long long number{};
    if (ss >> number && number >= static_cast<long long>(std::numeric_limits<T>::min()) &&
        number <= static_cast<long long>(std::numeric_limits<T>::max())) {
        // An unsigned target takes only what an unsigned extraction would accept.
        target = static_cast<T>(number);
    }
    ResetStream();
}

void ExtractFlag(const std::string& value, bool& flag) {
    int number = -1;
    ExtractNumber(value, number);
    if (number == 0) flag = false;
    if (number == 1) flag = true;
}

void ApplySetting(const std::string& key, const std::string& value) {
    if (key == "IP_ADDRESS") {
        SpecifiedIP = value;
    } else if (key == "PORT") {
        ExtractNumber(value, UDP_PORT);
    } else if (key == "USB_BAUD") {
        ExtractNumber(value, Baudrate);
    } else if (key == "USB_DEVICE_COUNT") {
        ExtractNumber(value, USBcountVar);
    } else if (key == "SCANNING_TIMEOUT") {
        ExtractNumber(value, ScanTimeout);
    } else if (key == "USB_FIX") {
        ExtractFlag(value, USB_FIX);
    } else if (key == "RESET_EVENTS") {
        ExtractFlag(value, RESET_EVENTS);
    } else if (key == "STUDIO_PORT") {
        int port = STUDIO_PORT;
        ExtractNumber(value, port);
        if (port >= 0 && port <= 65535) STUDIO_PORT = port;
    }
}

// One line as read: without its line feed and one carriage return before it.
bool ReadSettingsLine(std::istream& file, std::string& text) {
    if (!std::getline(file, text)) return false;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return true;
}

}  // namespace

void ReadSettings(std::istream& file) {
    bool first = true;
    while (ReadSettingsLine(file, line)) {
        if (first) DropByteOrderMark(line);
        first = false;
        if (line.empty() || line.front() == '#') continue;
        splitpair = SplitBy(line, "=");
        if (splitpair.size() < 2) continue;
        ApplySetting(WithoutBlanks(splitpair[0]), WithoutBlanks(splitpair[1]));
    }
    ResetStream();
}

void ResetSettings() {
    SpecifiedIP.clear();
    UDP_PORT = 5080;
    USBcountVar = 1024;
    ScanTimeout = 512;
    USB_FIX = false;
    RESET_EVENTS = true;
    STUDIO_PORT = 5081;
}

bool RewriteUsbSetting(long newState) {
    filepath = foldername + "/config.ini";
    std::error_code error;
    const bool present = std::filesystem::exists(filepath, error);
    std::string kept;
    if (present) {
        std::ifstream in(filepath, std::ios::binary);
        if (!in) {
            WriteLog("\nCould not read " + filepath);
            return false;
        }
        std::string text;
        bool first = true;
        while (std::getline(in, text)) {
            // A byte-order mark stays at the start of the file, whichever line follows it.
            if (first && DropByteOrderMark(text)) kept += kByteOrderMark;
            first = false;
            splitpair = SplitBy(text, "=");
            // A line commented out with '#' has the '#' in its key: it is kept, as any other.
            if (splitpair.size() >= 2 && WithoutBlanks(splitpair[0]) == "USB_DEVICE_COUNT")
                continue;
            kept += text + "\n";
        }
        ResetStream();
    } else if (newState != 0) {
        return true;  // no file: nothing switches USB off, which is what the box asks
    }
    if (newState == 0) kept += "USB_DEVICE_COUNT = 0\n";
    if (ReplaceFileContent(filepath, kept)) return true;
    WriteLog("\nCould not write " + filepath);
    return false;
}
