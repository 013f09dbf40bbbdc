// The checker reads a text with the plug-in's own readers, which write process-wide state: the
// board tables, the reader's state, the status lines, the missing names. Inside the running
// plug-in that state serves the boards, so a check sets it aside for as long as it reads.
#pragma once

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "XPWidgetDefs.h"
#include "config/board_tables.h"
#include "config/config_file.h"
#include "config/missing_names.h"
#include "config/status_text.h"

namespace corvane_check {

// While it lives, the readers see the state of a fresh start-up: no board rows and no filed
// sections, the status lines' start-up texts, no missing names, no search running and no link
// being handled; the log is silent and the status window's captions are left alone. Its end puts
// the live state back as it was, whatever the readers did in between. Simulator's thread only.
class LiveStateAside {
  public:
    LiveStateAside();
    ~LiveStateAside();
    LiveStateAside(const LiveStateAside&) = delete;
    LiveStateAside& operator=(const LiveStateAside&) = delete;

  private:
    void Exchange();  // live state <-> the state held here

    BoardTablesSet tables_;
    ConfigReaderState reader_;
    MissingNamesState missing_;
    std::vector<std::string> statusLines_;
    XPWidgetID captions_[kStatusLineCount] = {};
    int messageLine_ = 2;
    std::vector<unsigned int> customIndices_;
    int scanTimeout_ = 0;
    int messageIsSerial_ = 0;
    unsigned int serialCurrent_ = 0;
    sockaddr_in sender_{};
    std::vector<std::string> portNames_;
    std::string line_, message_;
    std::vector<std::string> pair_, fields_;
    std::stringstream numbers_;
};

}  // namespace corvane_check
