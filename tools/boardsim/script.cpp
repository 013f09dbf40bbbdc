#include "script.h"

#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>

namespace boardsim {

namespace {

struct Arity {
    size_t min, max;
};

const std::map<std::string, Arity>& Commands() {
    static const std::map<std::string, Arity> commands = {
        {"wait", {1, 1}},  {"until-configured", {0, 1}}, {"until", {2, 3}},  {"ident", {0, 0}},
        {"gate", {0, 1}},  {"close-gate", {0, 0}},       {"blocks", {0, 0}}, {"control", {1, 1}},
        {"press", {1, 1}}, {"release", {1, 1}},          {"input", {1, 2}},  {"encoder", {2, 2}},
        {"axis", {2, 2}},  {"raw", {1, 1000}},           {"state", {0, 0}},  {"print", {0, 1000}},
        {"quit", {0, 0}},
    };
    return commands;
}

bool IsNumber(const std::string& s, bool allowFraction) {
    if (s.empty()) return false;
    char* end = nullptr;
    if (allowFraction) {
        double v = std::strtod(s.c_str(), &end);
        return *end == 0 && v >= 0;
    }
    std::strtol(s.c_str(), &end, 10);
    return *end == 0;
}

double Timeout(const ScriptLine& l, size_t index) {
    return l.args.size() > index ? std::strtod(l.args[index].c_str(), nullptr) : 10.0;
}

}  // namespace

bool ParseScript(const std::string& text, std::vector<ScriptLine>* lines, std::string* error) {
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::istringstream words(raw);
        ScriptLine l;
        l.number = number;
        if (!(words >> l.command) || l.command[0] == '#') continue;
        for (std::string w; words >> w;) l.args.push_back(w);
        size_t at = raw.find(l.command) + l.command.size();
        size_t b = raw.find_first_not_of(" \t", at);
        size_t e = raw.find_last_not_of(" \t");
        l.rest = b == std::string::npos ? "" : raw.substr(b, e - b + 1);
        auto it = Commands().find(l.command);
        auto fail = [&](const std::string& why) {
            *error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        if (it == Commands().end()) return fail("unknown command '" + l.command + "'");
        if (l.args.size() < it->second.min || l.args.size() > it->second.max)
            return fail("wrong number of arguments for '" + l.command + "'");
        const std::string& c = l.command;
        if (c == "wait" && !IsNumber(l.args[0], true)) return fail("wait needs seconds");
        if ((c == "until-configured" || c == "gate") && !l.args.empty() &&
            !IsNumber(l.args[0], true))
            return fail(c + " needs a timeout in seconds");
        if (c == "until" && (!IsNumber(l.args[1], false) || std::atoi(l.args[1].c_str()) < 0))
            return fail("until needs a message count");
        if (c == "until" && l.args.size() == 3 && !IsNumber(l.args[2], true))
            return fail("until needs a timeout in seconds");
        if (c == "control" && l.args[0].size() != 1) return fail("control needs one character");
        if (c == "encoder" && (!IsNumber(l.args[1], false) || std::atoi(l.args[1].c_str()) < 1 ||
                               std::atoi(l.args[1].c_str()) > 255))
            return fail("encoder needs a repeat count 1..255");
        if (c == "axis" && !IsNumber(l.args[1], false)) return fail("axis needs a number");
        lines->push_back(l);
    }
    return true;
}

bool PollFor(Board& board, double seconds, const std::function<bool()>& done,
             const volatile std::sig_atomic_t* stop) {
    auto end = std::chrono::steady_clock::now() +
               std::chrono::microseconds(static_cast<long long>(seconds * 1e6));
    for (;;) {
        board.Poll();
        if (done && done()) return true;
        if (stop && *stop) return false;
        auto now = std::chrono::steady_clock::now();
        if (now >= end) return false;
        long long left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count() + 1;
        pollfd p{board.fd(), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left < 50 ? left : 50));
    }
}

int RunScript(Board& board, const std::vector<ScriptLine>& lines, std::ostream& out,
              const volatile std::sig_atomic_t* stop) {
    for (const ScriptLine& l : lines) {
        if (stop && *stop) return 130;
        board.Poll();
        const std::string& c = l.command;
        bool sentOk = true;
        if (c == "wait") {
            PollFor(board, std::strtod(l.args[0].c_str(), nullptr), nullptr, stop);
        } else if (c == "until-configured") {
            double t = Timeout(l, 0);
            if (!PollFor(
                    board, t, [&] { return board.uploadCount() > 0; }, stop)) {
                if (stop && *stop) return 130;
                std::cerr << "boardsim: line " << l.number << ": not configured within " << t
                          << " s\n";
                return 3;
            }
        } else if (c == "until") {
            std::string kind = l.args[0];
            int count = std::atoi(l.args[1].c_str());
            double t = Timeout(l, 2);
            if (!PollFor(
                    board, t, [&] { return board.messageCount(kind) >= count; }, stop)) {
                if (stop && *stop) return 130;
                std::cerr << "boardsim: line " << l.number << ": " << board.messageCount(kind)
                          << " of " << count << " " << kind << " messages within " << t << " s\n";
                return 3;
            }
        } else if (c == "ident") {
            sentOk = board.SendIdentification();
        } else if (c == "gate") {
            int before = board.messageCount("gate-reply");
            double t = Timeout(l, 0);
            sentOk = board.RequestGate();
            if (sentOk) {
                if (!PollFor(
                        board, t, [&] { return board.messageCount("gate-reply") > before; },
                        stop)) {
                    if (stop && *stop) return 130;
                    std::cerr << "boardsim: line " << l.number << ": no gate reply within " << t
                              << " s\n";
                    return 3;
                }
                sentOk = board.OpenGate();
            }
        } else if (c == "close-gate") {
            sentOk = board.CloseGate();
        } else if (c == "blocks") {
            sentOk = board.RequestBlocks();
        } else if (c == "control") {
            sentOk = board.SendControl(l.args[0][0]);
        } else if (c == "press") {
            sentOk = board.Press(l.args[0]);
        } else if (c == "release") {
            sentOk = board.Release(l.args[0]);
        } else if (c == "input") {
            sentOk = board.SendInput(l.args[0], l.args.size() > 1 ? Unescape(l.args[1]) : "");
        } else if (c == "encoder") {
            sentOk = board.TurnEncoder(l.args[0], std::atoi(l.args[1].c_str()));
        } else if (c == "axis") {
            sentOk = board.MoveAxis(l.args[0], std::atoi(l.args[1].c_str()));
        } else if (c == "raw") {
            sentOk = board.SendRaw(Unescape(l.rest));
        } else if (c == "state") {
            out << board.StateText() << std::flush;
        } else if (c == "print") {
            out << l.rest << std::endl;
        } else if (c == "quit") {
            return 0;
        }
        if (!sentOk) {
            std::cerr << "boardsim: line " << l.number << ": sending failed: " << board.error()
                      << "\n";
            return 4;
        }
    }
    board.Poll();
    return 0;
}

}  // namespace boardsim
