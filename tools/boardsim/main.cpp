// boardsim: run one emulated board (Arduino board or Helvan panel) against the plug-in.
#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "boardsim.h"
#include "script.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

const char kHelp[] =
    "usage: boardsim (--lan ADDRESS:PORT | --serial DIR/NAME [--twin]) [options]\n"
    "\n"
    "Emulates one cockpit board for the Corvane plug-in: answers the probe \"XP\" with its\n"
    "identification, takes the configuration upload, sends inputs encoded with the code letters\n"
    "and decodes the output messages. Every message received is printed as one line starting\n"
    "with \"<- \", every message sent as one line starting with \"-> \". The first line printed\n"
    "is \"ready ...\" with the link in use.\n"
    "\n"
    "Link (one of):\n"
    "  --lan ADDRESS:PORT    a LAN board bound to ADDRESS:PORT; ADDRESS must be in 127.0.0.0/8.\n"
    "                        PORT is normally the plug-in's own port number; 0 picks a free one\n"
    "  --serial DIR/NAME     a USB board: creates a pseudo-terminal, puts its slave in raw mode\n"
    "                        and links DIR/NAME to the slave; what the board sends is framed\n"
    "                        in braces {...}\n"
    "  --twin                with --serial, also link the macOS twin name (tty.X <-> cu.X)\n"
    "\n"
    "Options:\n"
    "  --plugin ADDRESS:PORT where a LAN board sends (127.0.0.0/8 only); default 127.0.0.1 and\n"
    "                        the --lan port, or the sender of the last datagram when that is 0\n"
    "  --id N                board ID digit 0..9 (default 1)\n"
    "  --version N           library version byte, 124 for 1.24 (default 124)\n"
    "  --ident-padding TEXT  bytes sent after the ID digit in the identification (escapes "
    "allowed)\n"
    "  --panel FILE          be a Helvan panel that sends the configuration text in FILE\n"
    "  --config FILE         the board's data.cfg section (or a whole data.cfg: the section of\n"
    "                        --id is taken), used to tell pin kinds apart when decoding outputs\n"
    "  --led-port PIN        the LED port pin for decoding (default: from --config, else 100)\n"
    "  --no-probe-answer     do not answer \"XP\"\n"
    "  --blocks              after the upload, ask for the analog, 7-segment and stepper blocks\n"
    "  --auto-gate           after the upload, ask for the output gate letter and open the gate\n"
    "  --all                 also print the empty output frames sent every flight-loop call\n"
    "  --script FILE         run the commands in FILE, then exit; without it, run until\n"
    "                        SIGINT or SIGTERM\n"
    "  --quiet               do not print the messages sent and received\n"
    "  --help                this text\n"
    "\n"
    "Script commands, one a line ('#' starts a comment line):\n"
    "  wait SECONDS                  keep answering for SECONDS\n"
    "  until-configured [TIMEOUT]    wait for the upload (or the panel's reply)\n"
    "  until KIND COUNT [TIMEOUT]    wait until COUNT messages of KIND have arrived in all;\n"
    "                                KIND is one of probe, ping, request-all, upload,\n"
    "                                ident-reply, analog-config, 7seg-config, stepper-config,\n"
    "                                gate-reply, frame, empty-frame, mode, panel, unknown\n"
    "  ident                         send the identification\n"
    "  gate [TIMEOUT]                ask for the output gate (\"~d\"), then open it\n"
    "  close-gate                    send \"~x\"\n"
    "  blocks                        send \"~a\", \"~n\", \"~s\"\n"
    "  control C                     send \"~\" followed by C\n"
    "  press TAG                     send TAG+ (e.g. press B7)\n"
    "  release TAG                   send TAG-\n"
    "  input TAG [VALUE]             send an input message, e.g. input D5 or input A2 512\n"
    "  encoder TAG COUNT             send an encoder message with a raw repeat count 1..255\n"
    "  axis TAG VALUE                send an analog reading as decimal text\n"
    "  raw TEXT                      send TEXT as one message; escapes \\xNN \\n \\r \\t \\s \\\\\n"
    "  state                         print the decoded state\n"
    "  print TEXT                    print TEXT\n"
    "  quit                          stop\n"
    "TIMEOUT defaults to 10 seconds.\n"
    "\n"
    "Exit status: 0 done, 1 the link could not be opened, 2 bad arguments or script,\n"
    "3 a script wait timed out, 4 a send failed, 130 stopped by a signal during a script.\n";

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream os;
    os << in.rdbuf();
    *text = os.str();
    return true;
}

bool SplitHostPort(const std::string& s, std::string* host, int* port) {
    size_t colon = s.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= s.size()) return false;
    std::string p = s.substr(colon + 1);
    if (p.find_first_not_of("0123456789") != std::string::npos || p.size() > 5) return false;
    *host = s.substr(0, colon);
    *port = std::atoi(p.c_str());
    return *port <= 65535;
}

int Usage(const std::string& why) {
    std::cerr << "boardsim: " << why << "\n(boardsim --help for help)\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    boardsim::Options opt;
    std::string lan, plugin, scriptPath, configPath, panelPath;
    bool quiet = false, all = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::cout << kHelp;
            return 0;
        } else if (a == "--lan") {
            if (!value(&lan)) return Usage("--lan needs ADDRESS:PORT");
        } else if (a == "--plugin") {
            if (!value(&plugin)) return Usage("--plugin needs ADDRESS:PORT");
        } else if (a == "--serial") {
            if (!value(&opt.serialLink)) return Usage("--serial needs DIR/NAME");
        } else if (a == "--twin") {
            opt.twin = true;
        } else if (a == "--id") {
            if (!value(&v) || v.size() != 1 || v[0] < '0' || v[0] > '9')
                return Usage("--id needs a digit 0..9");
            opt.boardId = v[0] - '0';
        } else if (a == "--version") {
            if (!value(&v) || v.find_first_not_of("0123456789") != std::string::npos || v.empty() ||
                std::atoi(v.c_str()) < 1 || std::atoi(v.c_str()) > 255)
                return Usage("--version needs a number 1..255");
            opt.libraryVersion = std::atoi(v.c_str());
        } else if (a == "--ident-padding") {
            if (!value(&v)) return Usage("--ident-padding needs TEXT");
            opt.identPadding = boardsim::Unescape(v);
        } else if (a == "--panel") {
            if (!value(&panelPath)) return Usage("--panel needs FILE");
        } else if (a == "--config") {
            if (!value(&configPath)) return Usage("--config needs FILE");
        } else if (a == "--led-port") {
            if (!value(&v) || v.empty() || v.find_first_not_of("0123456789") != std::string::npos)
                return Usage("--led-port needs a pin number");
            opt.ledPortPin = std::atoi(v.c_str());
        } else if (a == "--no-probe-answer") {
            opt.answerProbe = false;
        } else if (a == "--blocks") {
            opt.requestBlocks = true;
        } else if (a == "--auto-gate") {
            opt.autoGate = true;
        } else if (a == "--all") {
            all = true;
        } else if (a == "--script") {
            if (!value(&scriptPath)) return Usage("--script needs FILE");
        } else if (a == "--quiet") {
            quiet = true;
        } else {
            return Usage("unknown argument " + a);
        }
    }

    if (lan.empty() == opt.serialLink.empty()) return Usage("give one of --lan or --serial");
    if (!lan.empty()) {
        if (!SplitHostPort(lan, &opt.lanAddress, &opt.lanPort))
            return Usage("--lan needs ADDRESS:PORT");
        if (!boardsim::IsLoopback(opt.lanAddress))
            return Usage("refusing --lan " + opt.lanAddress + ": only 127.0.0.0/8 is allowed");
        opt.pluginPort = opt.lanPort;
    }
    if (!plugin.empty()) {
        if (!SplitHostPort(plugin, &opt.pluginAddress, &opt.pluginPort))
            return Usage("--plugin needs ADDRESS:PORT");
        if (!boardsim::IsLoopback(opt.pluginAddress))
            return Usage("refusing --plugin " + opt.pluginAddress +
                         ": only 127.0.0.0/8 is allowed");
    }
    if (opt.twin && opt.serialLink.empty()) return Usage("--twin needs --serial");
    if (!panelPath.empty()) {
        if (!ReadFile(panelPath, &opt.panelConfig)) return Usage("cannot read " + panelPath);
        if (opt.panelConfig.empty()) return Usage(panelPath + " is empty");
    }
    if (!configPath.empty()) {
        std::string text;
        if (!ReadFile(configPath, &text)) return Usage("cannot read " + configPath);
        bool whole = text.find("\n*") != std::string::npos || text.compare(0, 1, "*") == 0;
        opt.configSection = whole ? boardsim::SectionFromDataCfg(text, opt.boardId) : text;
    }
    std::vector<boardsim::ScriptLine> script;
    if (!scriptPath.empty()) {
        std::string text, error;
        if (!ReadFile(scriptPath, &text)) return Usage("cannot read " + scriptPath);
        if (!boardsim::ParseScript(text, &script, &error)) return Usage(scriptPath + ": " + error);
    }

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Empty output frames come every flight-loop call; they are noted only with --all.
    opt.recordEmptyFrames = all;
    boardsim::Board board(opt);
    if (!board.ok()) {
        std::cerr << "boardsim: " << board.error() << "\n";
        return 1;
    }
    if (!quiet) {
        board.SetLogSink([](bool received, const std::string& line) {
            std::cout << (received ? "<- " : "-> ") << line << std::endl;
        });
    }
    std::cout << "ready ";
    if (board.isSerial()) {
        std::cout << "serial " << board.address() << " -> " << board.slavePath();
        if (!board.twinPath().empty()) std::cout << " twin " << board.twinPath();
    } else {
        std::cout << "lan " << board.address() << " plugin " << opt.pluginAddress << ":"
                  << opt.pluginPort;
    }
    std::cout << " " << (board.isPanel() ? "panel" : "id " + std::to_string(opt.boardId))
              << " version " << opt.libraryVersion << std::endl;

    if (!scriptPath.empty()) return boardsim::RunScript(board, script, std::cout, &g_stop);
    while (!g_stop) boardsim::PollFor(board, 1.0, nullptr, &g_stop);
    return 0;
}
