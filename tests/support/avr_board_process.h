// corvane-avr-board in a process of its own: a firmware ELF on the emulated chip, its serial port
// at a link the test names (or none, for a board on the network), driven by control lines over
// pipes (one answer line each).
#pragma once

#include <string>
#include <vector>

#include "support/piped_process.h"

namespace corvane_test {

class AvrBoardProcess : public PipedProcess {
  public:
    // `options` follow --mcu, --firmware and --link on the command line.
    AvrBoardProcess(const std::string& program, const std::string& mcu, const std::string& elf,
                    const std::string& link, const std::vector<std::string>& options = {}) {
        std::vector<std::string> command = {program, "--mcu", mcu, "--firmware", elf};
        if (!link.empty()) command.insert(command.end(), {"--link", link});
        command.insert(command.end(), options.begin(), options.end());
        Start(command);
        ready_ = ReadLine().rfind("ready ", 0) == 0;
    }
    // The board printed "ready LINK" (or its address): the link exists.
    bool ready() const { return ready_; }
    // One control line and its answer ("<timeout>" or "<eof>" when none comes).
    std::string Ask(const std::string& line) {
        return Write(line + "\n") ? ReadLine() : "<closed>";
    }

  private:
    bool ready_ = false;
};

}  // namespace corvane_test
