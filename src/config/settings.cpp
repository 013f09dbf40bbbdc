#include "config/settings.h"

#include <fstream>
#include <istream>
#include <limits>

#include "config/file_replace.h"
#include "config/plugin_folder.h"
#include "config/scratch_state.h"
#include "config/text_utils.h"

std::string SpecifiedIP = "auto";
int UDP_PORT = 5080;
unsigned int Baudrate = 115200;
int USBcountVar = 1024;
int ScanTimeout = 512;
bool USB_FIX = false;
bool RESET_EVENTS = true;

namespace {

std::string WithoutBlanks(const std::string& text) {
    std::string result;
    for (char c : text)
        if (c != ' ') result += c;
    return result;
}

// Reads a leading number from value into target; target is unchanged when none reads or fits.
template <typename T>
void ExtractNumber(const std::string& value, T& target) {
    ResetStream();
    ss << value;
    long long number = 0;
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
    while (ReadSettingsLine(file, line)) {
        if (line.empty() || line[0] == '#') continue;
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
}

bool RewriteUsbSetting(long newState) {
    filepath = foldername + "/config.ini";
    std::ifstream in(filepath, std::ios::binary);
    if (!in) return false;
    std::string kept;
    std::string text;
    while (std::getline(in, text)) {
        splitpair = SplitBy(text, "=");
        const bool isComment = !text.empty() && text[0] == '#';
        if (!isComment && splitpair.size() >= 2 &&
            WithoutBlanks(splitpair[0]) == "USB_DEVICE_COUNT")
            continue;
        kept += text + "\n";
    }
    if (newState == 0) kept += "USB_DEVICE_COUNT = 0\n";
    ResetStream();
    in.close();

    ReplaceFileContent(filepath, kept);
    return true;
}
