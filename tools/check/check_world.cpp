#include "check_world.h"

#include <fstream>
#include <iostream>
#include <streambuf>

#include "config/board_tables.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "simdata/custom_refs.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

namespace corvane_check {

namespace {

// A stream buffer that takes every character and keeps none.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

NullBuffer& Null() {
    static NullBuffer buffer;
    return buffer;
}

}  // namespace

bool PrepareWorld(const std::string& datarefPath, std::string* error, std::string* warning) {
    xphost::Reset();
    xphost::SetDebugEcho(false);
    if (!std::ifstream(datarefPath)) {
        if (error) *error = "cannot read the dataref list " + datarefPath;
        return false;
    }
    std::string bad;
    if (!xphost::LoadDatarefFile(datarefPath, &bad) && warning) *warning = bad;
    InitiateCustom();
    ClearBoards();
    return true;
}

void ClearBoards() {
    ClearBoardTables();
    ClearConfigReaderState();
    InitStatusLines();
    message_line_number = 2;
    // No search runs: the reader writes no "scanning..." line.
    ScanTimeout = 0;
    MessageIsSerial = 0;
    SerialCurrent = 0;
    serv_addr = sockaddr_in{};
    ComPortName.clear();
}

QuietLog::QuietLog() : saved_(std::cerr.rdbuf(&Null())) {}

QuietLog::~QuietLog() {
    std::cerr.rdbuf(saved_);
}

}  // namespace corvane_check
