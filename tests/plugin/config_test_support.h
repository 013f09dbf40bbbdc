// Shared set-up of the board configuration tests: a host with a few datarefs and commands, empty
// board tables and fresh status lines, and ReadConfigFile driven as a board identification does.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#if __has_include("xphost.h")
#include "xphost.h"
#elif __has_include("host/xphost.h")
#include "host/xphost.h"
#else
#include "xphost/xphost.h"
#endif

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"
#include "config/board_tables.h"
#include "config/config_diagnostics.h"
#include "config/config_file.h"
#include "plugin/settings.h"
#include "plugin/status_text.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

namespace config_test {

// DataRefs.txt lines: name, type, writable.
inline const char* kDatarefs =
    "sim/cockpit/x\tfloat\ty\n"
    "sim/cockpit/y\tint\ty\n"
    "sim/x\tfloat\ty\n"
    "sim/y\tint\ty\n"
    "sim/z\tdouble\ty\n"
    "sim/arr\tfloat[8]\ty\n"
    "sim/iarr\tint[4]\ty\n"
    "sim/bytes\tbyte[40]\ty\n"
    "sim/cockpit2/engine/actuators/ignition_key\tint[8]\ty\n"
    "sim/cockpit2/switches/panel_brightness_ratio\tfloat[4]\ty\n";

inline const char* kCommands[] = {
    "sim/lights/landing_lights_on",
    "sim/starters/engage_starter_1",
    "sim/annunciator/test_all_annunciators",
    "sim/both/name",  // also a dataref: a command wins
};

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        xphost::Reset();
        xphost::LoadDatarefText(std::string(kDatarefs) + "sim/both/name\tint\ty\n");
        for (const char* name : kCommands) XPLMCreateCommand(name, name);
        ClearBoardTables();
        ClearConfigReaderState();
        InitStatusLines();
        message_line_number = 2;
        MessageIsSerial = 0;
        SerialCurrent = 0;
        ScanTimeout = 0;
        serv_addr = sockaddr_in{};
        ComPortName.clear();
        ConfigDiagnostics = nullptr;
    }
    void TearDown() override {
        ConfigDiagnostics = nullptr;
        ClearBoardTables();
        ClearConfigReaderState();
    }

    // Reads text as the configuration of a new board with board ID id; returns its index.
    int Read(const std::string& text, unsigned int id = 3) {
        const int b = BoardCount();
        ReadConfigFile(text, b, id);
        return b;
    }
    // The same for the Helvan panel (board ID 0).
    int ReadPanel(const std::string& text) { return Read(text, 0); }

    // Notes of one read, with reporting on.
    std::vector<ConfigNote> Explain(const std::string& text, unsigned int id = 3) {
        std::vector<ConfigNote> notes;
        ConfigDiagnosticsScope scope(notes);
        Read(text, id);
        return notes;
    }
};

// The converted two-character tag of an Arduino output.
inline std::string Tag(int pin, char type) { return std::string(1, static_cast<char>(pin)) + type; }

inline unsigned Byte(const std::string& block, size_t k) { return static_cast<unsigned char>(block.at(k)); }

// True when some note is of the kind and its reason contains the text.
inline bool HasNote(const std::vector<ConfigNote>& notes, ConfigNoteKind kind, const std::string& part,
                    int line = -1) {
    for (const ConfigNote& n : notes)
        if (n.kind == kind && n.reason.find(part) != std::string::npos && (line < 0 || n.line == line))
            return true;
    return false;
}

}  // namespace config_test
