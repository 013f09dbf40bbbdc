// xphost: runs one plug-in headless, the way the simulator loads it, and answers control lines
// from a script and from standard input.
#include "xphost_cli.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "console.h"
#include "xphost.h"

namespace {

std::string Usage() {
    std::string text = R"(usage: xphost --plugin PATH [--datarefs FILE]... [--fps N] [--realtime]
              [--aircraft PATH] [--script FILE] [--live] [--echo-log]

Loads a simulator plug-in (an .xpl) the way the simulator does (dlopen, LoadLibrary), calls
XPluginStart and XPluginEnable, and runs it on a simulated clock.

  --plugin PATH     the plug-in to load (required)
  --datarefs FILE   the simulator's datarefs and commands; may be given more than once.
                    Without it: $XPHOST_DATAREFS if set, else the source tree's
                    examples/datarefs.txt (now: @DEFAULT@)
  --fps N           frames per second of the simulated clock (default 60)
  --realtime        pace the frames in real time at --fps, those of run and frames lines
                    too, and read standard input between frames without waiting. Without
                    it, simulated time advances only through run and frames lines, as fast
                    as the machine allows, while control lines are being read.
  --aircraft PATH   the user's aircraft when the plug-in starts: its .acf file, relative to
                    the X-Plane folder (the one that holds the plug-in's Resources/plugins/)
  --script FILE     control lines to run first, before those from standard input
  --echo-log        also write the simulator's log (what plug-ins hand XPLMDebugString, the
                    `log` control line's text) to standard error
  --live            while frames run in real time, redraw the plug-in's windows in the
                    terminal about twice a second
  --help            this text

Control lines come from --script, then from standard input, and are read between frames;
each answer is written to standard output and flushed before the next frame runs. Once the
input has ended (unless the script ended with quit) xphost keeps running in real time until
SIGINT or SIGTERM, which disable, stop and unload the plug-in and exit with status 0. The
plug-in's debug output goes to standard error. Exit status: 0 after quit or a signal, 1 when
the plug-in does not load or start, 2 for bad arguments or files.

)";
    std::size_t at = text.find("@DEFAULT@");
    text.replace(at, 9, xphost::DefaultDatarefFile());
    return text;
}

struct Options {
    std::string plugin;
    std::vector<std::string> datarefs;
    double fps = 60.0;
    bool realtime = false;
    bool live = false;
    bool echoLog = false;
    std::string script;
    std::string aircraft;
};

using Clock = std::chrono::steady_clock;

class Runner {
  public:
    explicit Runner(const Options& options) : options_(options) {}

    int Run();

  private:
    void Answer(const std::string& line);
    bool Stopping() const { return xphost::console::StopRequested() || xphost::QuitRequested(); }
    // Waits until deadline (or for ever) for input on stdin (when watchStdin) or a stop request.
    void Wait(Clock::time_point deadline, bool forever, bool watchStdin) {
        xphost::console::Wait(deadline, forever, watchStdin, &input_, &stdinOpen_);
    }
    bool TakeLine(std::string* line);
    bool FrameHook();
    void PacedStep();
    void Draw(bool force);
    Clock::duration Period() const {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / xphost::FrameRate()));
    }

    Options options_;
    bool stdinOpen_ = true;
    std::string input_;
    bool pacing_ = false;
    Clock::time_point nextFrame_{};
    Clock::time_point nextDraw_{};
    long long hookCalls_ = 0;
};

bool Runner::TakeLine(std::string* line) {
    std::size_t end = input_.find('\n');
    if (end == std::string::npos) {
        if (stdinOpen_ || input_.empty()) return false;
        end = input_.size();  // the last line of the input had no newline
    }
    *line = input_.substr(0, end);
    input_.erase(0, end < input_.size() ? end + 1 : end);
    return true;
}

void Runner::Answer(const std::string& line) {
    std::string answer = xphost::ExecuteLine(line);
    if (answer.empty()) return;
    answer += '\n';
    std::fwrite(answer.data(), 1, answer.size(), stdout);
    std::fflush(stdout);
}

void Runner::Draw(bool force) {
    if (!options_.live || !pacing_) return;
    auto now = Clock::now();
    if (!force && now < nextDraw_) return;
    nextDraw_ = now + std::chrono::milliseconds(500);
    char header[128];
    std::snprintf(header, sizeof header, "xphost: %.1f s simulated, frame %lld\n\n",
                  xphost::SimulatedTime(), xphost::FrameCount());
    std::string text = xphost::WindowText();
    std::string screen = std::string("\033[H\033[2J") + header +
                         (text.empty() ? std::string("(no visible window)\n") : text);
    std::fwrite(screen.data(), 1, screen.size(), stdout);
    std::fflush(stdout);
}

// Before each frame of a run or frames line: in real time, wait for the frame's moment.
bool Runner::FrameHook() {
    if (!pacing_) {
        if ((++hookCalls_ & 255) == 0) xphost::console::CheckStop();
        return !xphost::console::StopRequested();
    }
    auto now = Clock::now();
    if (now - nextFrame_ > std::chrono::milliseconds(250)) nextFrame_ = now;  // fell behind
    while (!xphost::console::StopRequested() && Clock::now() < nextFrame_)
        Wait(nextFrame_, false, false);
    if (xphost::console::StopRequested()) return false;
    nextFrame_ += Period();
    Draw(false);
    return true;
}

// One step of running in real time: a frame when its moment has come, else a wait for it or for
// input.
void Runner::PacedStep() {
    auto now = Clock::now();
    if (now >= nextFrame_) {
        if (now - nextFrame_ > std::chrono::milliseconds(250)) nextFrame_ = now;
        nextFrame_ += Period();
        xphost::RunFrame();
        Draw(false);
        return;
    }
    Wait(nextFrame_, false, stdinOpen_);
}

int Runner::Run() {
    xphost::console::Install();
    xphost::SetDebugEcho(options_.echoLog);
    xphost::SetFrameRate(options_.fps);
    std::vector<std::string> files = options_.datarefs;
    if (files.empty()) files.push_back(xphost::DefaultDatarefFile());
    for (const auto& file : files) {
        std::string error;
        if (!xphost::LoadDatarefFile(file, &error)) {
            std::fprintf(stderr, "xphost: %s\n", error.c_str());
            if (error.rfind("cannot open", 0) == 0) return 2;
        }
    }
    std::vector<std::string> script;
    if (!options_.script.empty()) {
        std::ifstream in(options_.script);
        if (!in) {
            std::fprintf(stderr, "xphost: cannot open script %s\n", options_.script.c_str());
            return 2;
        }
        for (std::string line; std::getline(in, line);) script.push_back(line);
    }
    xphost::SetUserAircraft(options_.aircraft);
    std::string error;
    if (!xphost::LoadPlugin(options_.plugin, &error)) {
        std::fprintf(stderr, "xphost: %s\n", error.c_str());
        return 1;
    }
    if (!xphost::StartPlugin()) {
        std::fprintf(stderr, "xphost: XPluginStart of %s returned 0\n", options_.plugin.c_str());
        xphost::UnloadPlugin();
        return 1;
    }
    if (!xphost::EnablePlugin()) {
        std::fprintf(stderr, "xphost: XPluginEnable returned 0; the plug-in stays disabled\n");
    }
    xphost::SetControlFrameHook([this] { return FrameHook(); });
    pacing_ = options_.realtime;
    nextFrame_ = Clock::now();

    for (const auto& line : script) {
        if (Stopping()) break;
        Answer(line);
        xphost::console::CheckStop();
    }
    while (!Stopping()) {
        std::string line;
        if (TakeLine(&line)) {
            Answer(line);
            xphost::console::CheckStop();
            continue;
        }
        if (options_.realtime || !stdinOpen_) {
            if (!pacing_) {
                pacing_ = true;
                nextFrame_ = Clock::now();
                Draw(true);
            }
            PacedStep();
        } else {
            Wait(Clock::time_point(), true, true);
        }
    }
    xphost::UnloadPlugin();
    std::fflush(stdout);
    return 0;
}

bool ParseOptions(int argc, char** argv, Options* options, bool* help) {
    for (int k = 1; k < argc; ++k) {
        std::string arg = argv[k];
        std::string value;
        bool inlineValue = false;
        std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
            inlineValue = true;
        }
        auto next = [&](std::string* out) {
            if (inlineValue) {
                *out = value;
                return true;
            }
            if (k + 1 >= argc) {
                std::fprintf(stderr, "xphost: %s needs a value\n", arg.c_str());
                return false;
            }
            *out = argv[++k];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            *help = true;
        } else if (arg == "--plugin") {
            if (!next(&options->plugin)) return false;
        } else if (arg == "--datarefs") {
            std::string file;
            if (!next(&file)) return false;
            options->datarefs.push_back(file);
        } else if (arg == "--fps") {
            std::string text;
            if (!next(&text)) return false;
            char* end = nullptr;
            options->fps = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !(options->fps > 0) || options->fps > 100000) {
                std::fprintf(stderr, "xphost: bad --fps %s\n", text.c_str());
                return false;
            }
        } else if (arg == "--realtime") {
            options->realtime = true;
        } else if (arg == "--live") {
            options->live = true;
        } else if (arg == "--echo-log") {
            options->echoLog = true;
        } else if (arg == "--aircraft") {
            if (!next(&options->aircraft)) return false;
        } else if (arg == "--script") {
            if (!next(&options->script)) return false;
        } else {
            std::fprintf(stderr, "xphost: unknown argument %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int RunXphost(int argc, char** argv) {
    Options options;
    bool help = false;
    if (!ParseOptions(argc, argv, &options, &help)) {
        std::fputs(Usage().c_str(), stderr);
        return 2;
    }
    if (help) {
        std::fputs(Usage().c_str(), stdout);
        std::fputs(xphost::ExecuteLine("help").c_str(), stdout);
        std::fputs("\n", stdout);
        return 0;
    }
    if (options.plugin.empty()) {
        std::fprintf(stderr, "xphost: --plugin PATH is required\n");
        std::fputs(Usage().c_str(), stderr);
        return 2;
    }
    Runner runner(options);
    return runner.Run();
}
