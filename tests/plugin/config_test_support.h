// Shared set-up of the board configuration tests: a host with a few datarefs and commands, empty
// board tables and fresh status lines, and ReadConfigFile driven as a board identification does.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"
#include "config/board_tables.h"
#include "config/config_diagnostics.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

namespace config_test {

// The host's world for these tests (the host's file format: name, type, access; commands).
inline const char* const kConfigDatarefs =
    "sim/cockpit/x float rw\n"
    "sim/cockpit/y int rw\n"
    "sim/x float rw\n"
    "sim/y int rw\n"
    "sim/z double rw\n"
    "sim/arr float[8] rw\n"
    "sim/iarr int[4] rw\n"
    "sim/bytes byte[40] rw\n"
    "sim/cockpit2/engine/actuators/ignition_key int[8] rw\n"
    "sim/both/name int rw\n"
    "command sim/lights/landing_lights_on Landing lights on\n"
    "command sim/starters/engage_starter_1 Engage starter 1\n"
    "command sim/annunciator/test_all_annunciators Test annunciators\n"
    "command sim/both/name A command that is also a dataref\n";

class ConfigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        xphost::Reset();
        std::string error;
        ASSERT_TRUE(xphost::LoadDatarefText(kConfigDatarefs, &error)) << error;
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
        InitStatusLines();
        message_line_number = 2;
        ScanTimeout = 512;
        ComPortName.clear();
        serv_addr = sockaddr_in{};
        xphost::Reset();
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
inline std::string Tag(int pin, char type) {
    return std::string(1, static_cast<char>(pin)) + type;
}

inline unsigned Byte(const std::string& block, size_t k) {
    return static_cast<unsigned char>(block.at(k));
}

// Every per-input table of board b has one length, and every per-output table another.
inline void ExpectEqualLengths(int b) {
    const size_t inputs = Datatags[b].size();
    EXPECT_EQ(Data[b].size(), inputs);
    EXPECT_EQ(Mode[b].size(), inputs);
    EXPECT_EQ(InputDataPointer[b].size(), inputs);
    EXPECT_EQ(InputDrefTypes[b].size(), inputs);
    EXPECT_EQ(InputDataRange[b].size(), inputs);
    EXPECT_EQ(InputArrayNum[b].size(), inputs);
    EXPECT_EQ(InputDefault[b].size(), inputs);
    EXPECT_EQ(InputIncrementDir[b].size(), inputs);
    EXPECT_EQ(Contval[b].size(), inputs);
    EXPECT_EQ(InputSkip[b].size(), inputs);
    const size_t outputs = OutDrefs[b].size();
    EXPECT_EQ(OutputActive[b].size(), outputs);
    EXPECT_EQ(Drefread[b].size(), outputs);
    EXPECT_EQ(Type[b].size(), outputs);
    EXPECT_EQ(Arraynum[b].size(), outputs);
    EXPECT_EQ(Precision[b].size(), outputs);
    EXPECT_EQ(Previous[b].size(), outputs);
    EXPECT_EQ(OutRange1[b].size(), outputs);
    EXPECT_EQ(OutRange2[b].size(), outputs);
}

// True when some note is of the kind and its reason contains the text.
inline bool HasNote(const std::vector<ConfigNote>& notes, ConfigNoteKind kind,
                    const std::string& part, int line = -1) {
    for (const ConfigNote& n : notes)
        if (n.kind == kind && n.reason.find(part) != std::string::npos &&
            (line < 0 || n.line == line))
            return true;
    return false;
}

}  // namespace config_test
