// Shared set-up of the board configuration tests: a host with a few datarefs and commands, empty
// board tables and fresh status lines, and ReadConfigFile driven as a board identification does.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
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

inline unsigned Byte(const std::string& block, size_t k) {
    return static_cast<unsigned char>(block.at(k));
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

// Text with every byte outside '!'..'~' written as <n>, so converted tags read plainly.
inline std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        out += u > ' ' && u <= '~' ? std::string(1, c) : "<" + std::to_string(u) + ">";
    }
    return out;
}

template <class T>
std::string Join(const std::vector<T>& items, const char* separator = ",") {
    std::ostringstream out;
    for (size_t k = 0; k < items.size(); ++k) out << (k ? separator : "") << items[k];
    return out.str();
}

inline std::string Hex(const std::string& bytes) {
    std::string out;
    static const char* const digits = "0123456789abcdef";
    for (unsigned char c : bytes) out += std::string{digits[c >> 4], digits[c & 15]};
    return out;
}

// Board b's tables as lines of "name=value" words: "B" the board's blocks and counts, "I<k>" each
// input, "O<k>" each output, "M<k>" each LED mode entry.
inline std::vector<std::string> Describe(int b) {
    std::vector<std::string> lines;
    std::ostringstream board;
    board << "B inputs=" << Datatags[b].size() << " outputs=" << OutDrefs[b].size()
          << " modeleds=" << OutputModeLed[b].size() << " seg=" << Hex(SevenSegAdditional[b])
          << " step=" << Hex(StepperAdditional[b]) << " ports=" << LedPortData[b].size()
          << " matrix=" << Hex(MatrixAdditional[b]) << " gc=" << StepperCommon[b]
          << " lc=" << LEDCommon[b] << " nc=" << SevenSegCommon[b] << " dev=" << OutDevice[b]
          << " allow=" << AllowOutput[b] << " ping=" << AllowPing[b] << " lps=" << LedPortSend[b]
          << " sendall=" << sendall[b] << " gate=" << Printable(std::string(1, allow_output[b]));
    for (size_t n = 0; n < 16 && 3 * n + 2 < AnalogAdditional[b].size(); ++n)
        if (Byte(AnalogAdditional[b], 3 * n) || Byte(AnalogAdditional[b], 3 * n + 1) ||
            Byte(AnalogAdditional[b], 3 * n + 2) != 100)
            board << " ch" << n << "=" << Byte(AnalogAdditional[b], 3 * n) << ","
                  << Byte(AnalogAdditional[b], 3 * n + 1) << ","
                  << Byte(AnalogAdditional[b], 3 * n + 2);
    lines.push_back(board.str());
    for (size_t k = 0; k < Datatags[b].size(); ++k) {
        std::ostringstream in;
        in << "I" << k << " tag=" << Printable(Datatags[b][k])
           << " f=" << Printable(Join(Data[b][k], "|")) << " arr=" << InputArrayNum[b][k]
           << " def=" << InputDefault[b][k] << " dir=" << InputIncrementDir[b][k]
           << " cont=" << Contval[b][k] << " mode=" << Mode[b][k]
           << " range=" << Join(InputDataRange[b][k]) << " skip=" << Join(InputSkip[b][k])
           << " types=" << InputDrefTypes[b][k] << " ptr=" << (InputDataPointer[b][k] != nullptr)
           << " sq=" << (k < InputSquareLaw[b].size() && InputSquareLaw[b][k]);
        lines.push_back(in.str());
    }
    for (size_t k = 0; k < OutDrefs[b].size(); ++k) {
        std::ostringstream out;
        out << "O" << k << " tag=" << Printable(OutDrefs[b][k][0])
            << " f=" << Printable(Join(OutDrefs[b][k], "|")) << " prev=" << Previous[b][k]
            << " prec=" << Precision[b][k] << " arr=" << Arraynum[b][k] << " type=" << Type[b][k]
            << " act=" << OutputActive[b][k] << " r1=" << Join(OutRange1[b][k])
            << " r2=" << Join(OutRange2[b][k]) << " ptr=" << (Drefread[b][k] != nullptr);
        lines.push_back(out.str());
    }
    for (size_t k = 0; k < OutputModeLed[b].size(); ++k)
        lines.push_back("M" + std::to_string(k) +
                        " f=" + Printable(Join(OutputModeLed[b][k], "|")));
    return lines;
}

// Checks facts about board b and the notes of its reading. A fact is "X word word ..." where X
// names a line of Describe and each word must be one of that line's words; "S<i> text" is the
// exact status line i; "N<line> <kind letter>:part" a note of that kind (E, S, U for suspect,
// C) on that line (0: any) whose reason holds the part, "!N..." no such note; a word "!w" means
// that no word of the line begins with w.
inline void ExpectFacts(int b, const std::vector<ConfigNote>& notes,
                        const std::vector<std::string>& facts, const std::string& context) {
    const std::vector<std::string> lines = b >= 0 ? Describe(b) : std::vector<std::string>{};
    for (const std::string& fact : facts) {
        const size_t blank = fact.find(' ');
        const std::string name = fact.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : fact.substr(blank + 1);
        if (name[0] == 'S' && name.size() > 1 && isdigit(static_cast<unsigned char>(name[1]))) {
            EXPECT_EQ(StatusLine(std::stoi(name.substr(1))), rest) << context;
            continue;
        }
        if (name[0] == 'N' || name.compare(0, 2, "!N") == 0) {
            const bool absent = name[0] == '!';
            const int line = std::stoi(name.substr(absent ? 2 : 1));
            const char kind = rest.at(0);
            const ConfigNoteKind k = kind == 'E'   ? ConfigNoteKind::Entry
                                     : kind == 'S' ? ConfigNoteKind::Skipped
                                     : kind == 'U' ? ConfigNoteKind::Suspect
                                                   : ConfigNoteKind::Comment;
            EXPECT_EQ(HasNote(notes, k, rest.substr(2), line ? line : -1), !absent)
                << context << "\n"
                << fact;
            continue;
        }
        const std::string* line = nullptr;
        for (const std::string& l : lines)
            if (l.compare(0, name.size() + 1, name + " ") == 0) line = &l;
        if (!line) {
            ADD_FAILURE() << context << "\nno " << name << " in:\n" << Join(lines, "\n");
            continue;
        }
        std::istringstream words(rest);
        for (std::string word; words >> word;) {
            if (word[0] == '!')  // no word of the line begins so
                EXPECT_EQ(line->find(" " + word.substr(1)), std::string::npos)
                    << context << "\n"
                    << word << " in " << *line;
            else
                EXPECT_NE((*line + " ").find(" " + word + " "), std::string::npos)
                    << context << "\n"
                    << word << " not in " << *line;
        }
    }
}

}  // namespace config_test
