// Shared set-up of the input tests: the host's datarefs and commands loaded in-process, board rows
// built by hand as the configuration reader builds them, and loopback links that record what the
// plug-in sends to each board.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"
#include "config/board_tables.h"
#include "config/scratch_state.h"
#include "exchange/output_gate.h"
#include "exchange/wire_protocol.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

namespace corvane_inputs_test {

// The host's world for these tests.
inline const char* const kHostDatarefs =
    "sim/test/float float rw 0\n"
    "sim/test/int int rw 0\n"
    "sim/test/double double rw 0\n"
    "sim/test/int_float int+float rw 0\n"
    "sim/test/float_array float[8] rw 0,0,0,0,0,0,0,0\n"
    "sim/test/int_array int[6] rw 0,0,0,0,0,0\n"
    "sim/test/heading float rw 0\n"
    "sim/test/selector int rw 1\n"
    "sim/test/nav1 float rw 0\n"
    "sim/test/bytes byte[8] rw abc\n"
    "command sim/lights/landing_lights_toggle Landing lights\n"
    "command sim/starters/engage_starter_1 Engage starter 1\n";

// Code letters that collide with no tag letter used here.
inline const char* const kTestCodeLetters = "fghijU";

// Appends an input to board b as ReadConfigFile leaves it in the per-input tables and returns its
// index: fields (tag, name, ...) whose name is a dataref read at element, or an internal input.
inline int AddInput(int b, const std::vector<std::string>& fields, int element = 1,
                    int contval = -1) {
    void* pointer = XPLMFindDataRef(fields.at(1).c_str());
    Data[b].push_back(fields);
    Datatags[b].push_back(fields[0]);
    Mode[b].push_back(0);
    InputDataPointer[b].push_back(pointer);
    InputDrefTypes[b].push_back(pointer ? XPLMGetDataRefTypes(pointer) : 0);
    InputDataRange[b].emplace_back();
    InputArrayNum[b].push_back(pointer ? element : -1);
    InputDefault[b].push_back(1.0f);
    InputIncrementDir[b].push_back(0);
    Contval[b].push_back(contval);
    InputSkip[b].emplace_back();
    InputSquareLaw[b].push_back(false);
    return static_cast<int>(Datatags[b].size()) - 1;
}

// A UDP socket on 127.0.0.1 that a board's messages are sent to.
class UdpPeer {
  public:
    UdpPeer() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a = corvane_test::Ipv4("127.0.0.1", 0);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t length = sizeof address_;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length);
        fcntl(fd_, F_SETFL, O_NONBLOCK);
    }
    ~UdpPeer() { close(fd_); }
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;
    const sockaddr_in& address() const { return address_; }
    // Every datagram received since the last call.
    std::vector<std::string> Take() {
        std::vector<std::string> messages;
        static char buffer[65536];
        for (ssize_t n; (n = recv(fd_, buffer, sizeof buffer, 0)) >= 0;)
            messages.emplace_back(buffer, static_cast<size_t>(n));
        return messages;
    }

  private:
    int fd_ = -1;
    sockaddr_in address_{};
};

// A stand-in for a serial port: the plug-in writes to one end of a socket pair as to a port.
class SerialPeer {
  public:
    SerialPeer() {
        int fds[2];
        socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        fcntl(fds[1], F_SETFL, O_NONBLOCK);
        ours_ = fds[0];
        port_ = static_cast<unsigned int>(comport.size());
        comport.push_back(fds[1]);
        ComPortName.push_back("/dev/ttyUSBtest" + std::to_string(port_));
        SerialIndices.push_back(-1);
        SerialBuffer.emplace_back();
        ++max_cycles;
    }
    ~SerialPeer() { close(ours_); }
    SerialPeer(const SerialPeer&) = delete;
    SerialPeer& operator=(const SerialPeer&) = delete;
    unsigned int port() const { return port_; }
    // Every byte written to the port since the last call.
    std::string Take() { return corvane_test::ReadWaiting(ours_); }

  private:
    int ours_ = -1;
    unsigned int port_ = 0;
};

// Command phases the plug-in caused since the last call, as "name:phase".
inline std::vector<std::string> Commands() {
    std::vector<std::string> events;
    for (const auto& e : xphost::TakeCommandTrace())
        if (e.cause == "plugin" && e.phase != xplm_CommandContinue)
            events.push_back(e.name + ":" + xphost::PhaseName(e.phase));
    return events;
}
inline double Value(const std::string& name) {
    return xphost::GetNumber(name);
}

// Base fixture: an empty plug-in state, the host loaded with kHostDatarefs, a UDP socket for the
// plug-in's LAN sends.
class InputsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        xphost::Reset();
        xphost::SetDebugEcho(false);
        ASSERT_TRUE(xphost::LoadDatarefText(kHostDatarefs, nullptr));
        ClearBoardTables();
        tag.clear();
        CodeCurrent = kTestCodeLetters;
        PingTimeout = 0;
        MessageIsSerial = 0;
        SerialCurrent = 0;
        sock = socket(AF_INET, SOCK_DGRAM, 0);
    }
    void TearDown() override {
        if (sock > 0) close(sock);
        sock = 0;
        CloseSerialDescriptors();
        ClearSerialState();
        ClearBoardTables();
        tag.clear();
        xphost::Reset();
    }

    // A board row with id (not 0: an Arduino board) on the LAN at peer, or on a serial port.
    int AddLanBoard(const UdpPeer& peer, unsigned int id = 3) {
        CreateBoardRow(id, peer.address(), -1);
        return BoardCount() - 1;
    }
    int AddSerialBoard(const SerialPeer& peer, unsigned int id = 3) {
        CreateBoardRow(id, sockaddr_in{}, static_cast<int>(peer.port()));
        SerialIndices[peer.port()] = BoardCount() - 1;
        return BoardCount() - 1;
    }
    // Makes the current message come from peer (what the flight loop sets before dispatching).
    void FromLan(const UdpPeer& peer) {
        MessageIsSerial = 0;
        serv_addr = peer.address();
    }
};

// The input message board b sends: board number byte, then the text with its type letter encoded
// by the code letters (kTestCodeLetters stand for "EDABC"; other letters go unchanged).
inline std::string Message(int board, std::string text) {
    const size_t k = text.empty() ? std::string::npos : std::string("EDABC").find(text[0]);
    if (k != std::string::npos) text[0] = kTestCodeLetters[k];
    return std::string(1, static_cast<char>(board + 1)) + text;
}

}  // namespace corvane_inputs_test
