// corvane-avr-board: a virtual Arduino board. Real firmware on an emulated ATmega, its serial
// port behind a pseudo-terminal, driven and read by control lines on standard input.
#include <poll.h>
#include <signal.h>
#include <sim_avr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "virtual_board.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

const char kHelp[] =
    "usage: corvane-avr-board --mcu atmega328p|atmega2560 --firmware FILE.elf --link PATH\n"
    "                         [--board-id N] [--boot-delay MS]\n"
    "                         [--ethernet w5100|w5500 --address 127.0.0.N [--port P]\n"
    "                          [--simulator ADDRESS] [--dhcp HOST:PORT]]\n"
    "\n"
    "Runs an Arduino firmware (an ELF built for a 16 MHz Uno, Nano or Mega 2560) on an emulated\n"
    "ATmega, paced to the wall clock, with its serial port behind a pseudo-terminal that PATH\n"
    "links to (for example DIR/ttyACM0 with the plug-in's CORVANE_DEVICE_DIR=DIR/). Prints\n"
    "\"ready PATH\" once the link exists. Opening the port resets the chip and holds it in reset\n"
    "for the boot delay, as DTR does on a real board; bytes written meanwhile are lost.\n"
    "\n"
    "  --board-id N     stores board ID N (0-9) in EEPROM: byte 0 0xC7, byte 1 N\n"
    "  --boot-delay MS  the reset hold after the port is opened (default 1000)\n"
    "\n"
    "A board on the network (--link is then optional; \"ready ADDRESS\" without it): a WIZnet\n"
    "W5100 or W5500 on the SPI bus, its select on pin 10 (an SD card's on pin 4 drowns the\n"
    "chip's answers while low), its common and socket registers and buffers as the datasheets\n"
    "give them (UDP sockets only), reset with the board. Each socket the firmware opens is a UDP\n"
    "socket bound at ADDRESS (a loopback address) and the socket's port (below 1024 a free\n"
    "port); the firmware's datagrams go out to loopback addresses only, and those to port 67\n"
    "to the DHCP responder. The network settings are stored in EEPROM as the board library\n"
    "keeps them (byte 2 0xC8, DHCP, the address, the simulator's address, the port):\n"
    "  --ethernet CHIP     w5100 (the Arduino Ethernet shield) or w5500 (Ethernet Shield 2)\n"
    "  --address A         the board's loopback address, stored as its fixed address\n"
    "  --port P            the plug-in's port (default 5080)\n"
    "  --simulator A       the simulator's address the board announces itself to (default\n"
    "                      none: to its network's broadcast address)\n"
    "  --dhcp HOST:PORT    DHCP on; the chip's DHCP messages go to the responder there\n"
    "                      (corvane-dhcp-responder)\n"
    "\n"
    "Control lines on standard input, one answer line each on standard output (pins in Arduino\n"
    "numbering; inputs use the pull-up and are active low):\n"
    "  press N / release N     pin N held low / let go                       -> ok\n"
    "  key R C / unkey R C     a button matrix's key between pins R and C pressed / let go:\n"
    "                          while pressed, C reads low whenever R drives low -> ok\n"
    "  turn A B STEPS [PACE]   STEPS detents of quadrature on A and B (A leads for positive\n"
    "                          STEPS), PACE microseconds per edge (default 2000, \"fast\" 500);\n"
    "                          answered when the last edge is made           -> ok\n"
    "  analog N VALUE          analog channel N at VALUE/1023 of 5 V         -> ok\n"
    "  pin N                   the level on pin N                            -> pin N 0|1\n"
    "  duty N                  PWM duty 0-255 on pin N                       -> duty N D\n"
    "  pulse N                 the last high pulse on pin N in microseconds  -> pulse N US\n"
    "  display [N]             the MAX7219 displays (N: the one loaded by pin N), the digits\n"
    "                          its scan limit scans, ' ' for a dark one\n"
    "                                                                  -> display [N] \"TEXT\"\n"
    "  leds                    the 74HC595 chain's latched bytes, nearest first -> leds HEX\n"
    "  steps N                 net step count on pin N (the direction pin high: forward)\n"
    "                                                                        -> steps N POS\n"
    "  move N                  the latest move on pin N (its rising edges no more than 250 ms\n"
    "                          apart, the direction pin unchanged): S steps, which way, the\n"
    "                          first wait between them, the shortest (on average over 8 steps),\n"
    "                          the last, in microseconds, and the U waits before and D after\n"
    "                          those within 5% of the shortest (a stepper's ramps)\n"
    "                  -> move N steps S forward|back first F fastest M last L up U down D\n"
    "  stats                   -> stats rx R dropped D resets K lost L: bytes handed to the\n"
    "                          chip's serial port, bytes its firmware dropped with its receive\n"
    "                          buffer full, resets, bytes lost in reset or with the receiver off;\n"
    "                          on the network then in I out O full F missed M: datagrams the\n"
    "                          WIZnet chip took in and sent, dropped with its receive buffer\n"
    "                          full, and missed (the cable out, the chip in reset, no socket)\n"
    "  inject HEX [upload [N]] the bytes HEX (pairs of hex digits) on the serial line to the\n"
    "                          chip, after what the host wrote before; with \"upload\" N bytes\n"
    "                          into the host's next configuration upload (0-60; default 0:\n"
    "                          just before it)                               -> ok\n"
    "  unplug / plug           remove the port / make it anew with a reset; on the network pull\n"
    "                          the cable / put it back                       -> ok\n"
    "  reset                   pulses the reset line (the WIZnet chip's too) -> ok\n"
    "  quit                    -> bye (so does the end of standard input)\n"
    "\n"
    "Pin roles come from the plug-in's configuration upload on the serial line: the LED port's\n"
    "chain on the LED port pin, clock and latch on the next two pins; the MAX7219s' DIN on the\n"
    "7-segment common pin, CLK on the next pin and LOAD on each display's pin; the stepper\n"
    "direction pin.\n";

// simavr's messages go to standard error, its traces nowhere: standard output holds answers only.
void SimavrLog(avr_t*, const int level, const char* format, va_list arguments) {
    if (level <= LOG_ERROR) vfprintf(stderr, format, arguments);
}

bool ParseOptions(int argc, char** argv, avrboard::BoardOptions* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            *error = "missing value after " + option;
            return false;
        }
        const std::string value = argv[++i];
        char* end = nullptr;
        const long number = std::strtol(value.c_str(), &end, 10);
        const bool whole = !value.empty() && *end == '\0';
        if (option == "--mcu") {
            options->mcu = value;
        } else if (option == "--firmware") {
            options->firmware = value;
        } else if (option == "--link") {
            options->link = value;
        } else if (option == "--board-id" && whole && number >= 0 && number <= 9) {
            options->boardId = static_cast<int>(number);
        } else if (option == "--boot-delay" && whole && number >= 0 && number <= 60000) {
            options->bootDelayMs = static_cast<int>(number);
        } else if (option == "--ethernet") {
            options->ethernet = value;
        } else if (option == "--address") {
            options->address = value;
        } else if (option == "--dhcp") {
            options->dhcp = value;
        } else if (option == "--simulator") {
            options->simulator = value;
        } else if (option == "--port" && whole && number > 0 && number <= 65535) {
            options->port = static_cast<int>(number);
        } else {
            *error = "bad option " + option + " " + value;
            return false;
        }
    }
    if (options->mcu.empty() || options->firmware.empty() ||
        (options->link.empty() && options->ethernet.empty())) {
        *error = "--mcu, --firmware and --link (or --ethernet) are needed";
        return false;
    }
    if (!options->ethernet.empty() && options->address.empty()) {
        *error = "--ethernet needs --address";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
    avrboard::BoardOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "corvane-avr-board: %s (see --help)\n", error.c_str());
        return 2;
    }
    // Answers get a descriptor of their own; whatever else writes to standard output (simavr
    // prints some notes with printf) goes to standard error.
    FILE* answers = fdopen(dup(STDOUT_FILENO), "w");
    dup2(STDERR_FILENO, STDOUT_FILENO);
    avr_global_logger_set(SimavrLog);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    avrboard::VirtualBoard board;
    if (answers == nullptr || !board.Start(options, &error)) {
        std::fprintf(stderr, "corvane-avr-board: %s\n", error.c_str());
        return 1;
    }
    auto say = [answers](const std::string& line) {
        std::fprintf(answers, "%s\n", line.c_str());
        std::fflush(answers);
    };
    say("ready " + (options.link.empty() ? options.address : options.link));

    std::string input;
    bool inputOpen = true;
    while (g_stop == 0) {
        board.Service();
        const std::string late = board.TakeLateAnswer();
        if (!late.empty()) say(late);
        bool quit = false;
        for (size_t end; !quit && !board.busy() && (end = input.find('\n')) != std::string::npos;) {
            std::string line = input.substr(0, end);
            input.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::string answer = board.Answer(line, &quit);
            if (!answer.empty()) say(answer);
        }
        if (quit || (!inputOpen && input.empty() && !board.busy())) break;
        const int64_t wait = board.Run();
        board.Service();

        std::vector<pollfd> fds = {{inputOpen ? STDIN_FILENO : -1, POLLIN, 0},
                                   {board.PortDescriptor(), board.PortEvents(), 0},
                                   {board.OpenWatchDescriptor(), POLLIN, 0}};
        for (const int fd : board.NetworkDescriptors()) fds.push_back({fd, POLLIN, 0});
        const int64_t micros = std::min<int64_t>(wait, 100000);
        const timespec timeout{0, static_cast<long>(micros) * 1000};
        if (ppoll(fds.data(), fds.size(), &timeout, nullptr) > 0 &&
            (fds[0].revents & (POLLIN | POLLHUP))) {
            char bytes[4096];
            const ssize_t n = read(STDIN_FILENO, bytes, sizeof bytes);
            if (n > 0) input.append(bytes, static_cast<size_t>(n));
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
                inputOpen = false;
                if (!input.empty() && input.back() != '\n') input += '\n';
            }
        }
    }
    std::fclose(answers);
    return 0;
}
