#include "check/board_view.h"

#include <sstream>
#include <tuple>

#include "config/board_tables.h"
#include "config/config_fields.h"
#include "exchange/identification.h"
#include "simdata/dataref_memory.h"

namespace corvane_check {

namespace {

std::string Number(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

bool EndsWith(const std::string& text, char c) {
    return !text.empty() && text.back() == c;
}

// Leading decimal digits of text, or "" when it does not begin with one.
std::string LeadingDigits(const std::string& text) {
    return text.substr(0, text.find_first_not_of("0123456789"));
}

std::string TypeName(int bits) {
    static const std::pair<int, const char*> kNames[] = {
        {1, "int"}, {2, "float"}, {4, "double"}, {8, "float[]"}, {16, "int[]"}, {32, "byte data"}};
    std::string text;
    for (const auto& name : kNames)
        if (bits & name.first) text += (text.empty() ? "" : "+") + std::string(name.second);
    return text.empty() ? "no type" : text;
}

std::string PinOfTag(const std::string& tag) {
    if (tag.empty()) return std::string();
    const std::string rest = tag.substr(1);
    const std::string digits = LeadingDigits(rest);
    switch (tag[0]) {
        case 'D':
            return digits.empty() ? std::string() : "pin " + digits;
        case 'E':
            return digits.empty() ? std::string() : "encoder pin " + digits;
        case 'B':
            return digits.empty() ? std::string() : "button " + digits;
        case 'A':
            return digits.empty() ? std::string() : "channel " + digits;
        case 'M':
        case 'P':
            return "key " + rest;
        default:
            return std::string();
    }
}

// The tag a release carries: a '+' tag's own '-' tag; an analog tag is its own release key.
std::string ReleaseOf(const std::string& tag) {
    if (EndsWith(tag, '+')) return tag.substr(0, tag.size() - 1) + "-";
    return tag;
}

void CommandInput(int b, int i, InputView& v) {
    const std::string& tag = Datatags[b][i];
    v.target = Data[b][i][1];
    const bool held = Contval[b][i] != -1 && (EndsWith(tag, '+') || tag[0] == 'A');
    if (held) {
        v.kind = "held command";
        v.detail = "begun when " + tag + " arrives, ended when " + ReleaseOf(tag) + " arrives";
    } else {
        v.kind = "command";
        v.detail = tag[0] == 'E' ? "run once per encoder step of the message" : "run once";
    }
}

void DatarefInput(int b, int i, InputView& v) {
    const std::string& tag = Datatags[b][i];
    const std::vector<float>& range = InputDataRange[b][i];
    const float value = InputDefault[b][i];
    const int direction = InputIncrementDir[b][i];
    const int types = InputDrefTypes[b][i];
    v.target = Data[b][i][1];
    if ((types & (8 | 16)) || InputArrayNum[b][i] > 1)
        v.target += ", element " + std::to_string(InputArrayNum[b][i]);
    v.target += " (" + TypeName(types) + ")";
    if (direction != 0) {
        v.kind = "step";
        v.detail = std::string("adds ") + (direction == -1 ? "-" : "") + Number(value) +
                   (tag[0] == 'E' ? " per encoder step" : " per message");
        if (range.size() == 1)
            v.detail += std::string(", no further once at or ") +
                        (direction == 1 ? "above " : "below ") + Number(range[0]);
        else if (range.size() == 2)
            v.detail += ", wraps around within " + Number(range[0]) + " to " + Number(range[1]);
        else if (!range.empty())
            v.detail += ", no limit (" + std::to_string(range.size()) + " limits given)";
    } else if (tag[0] == 'A' || tag[0] == 'R') {
        v.kind = "analog axis";
        v.detail = range.size() == 2
                       ? "readings 0 to 1000 give " + Number(range[0]) + " to " + Number(range[1])
                       : "no lower,upper pair: readings write nothing";
        if (static_cast<size_t>(i) < InputSquareLaw[b].size() && InputSquareLaw[b][i])
            v.detail += ", square law";
    } else if (tag[0] == 'M') {
        const size_t depth = MemoryValuesKept(value);
        v.kind = "memory store";
        v.detail = "stores the value under key " + tag.substr(1) +
                   " in the board's memory file, keeping the last " + std::to_string(depth);
    } else if (tag[0] == 'P') {
        v.kind = "memory recall";
        v.detail = "writes the values stored under key " + tag.substr(1) +
                   " back, newest first, one per message";
    } else {
        v.kind = "set";
        v.detail = "writes " + Number(value) + "; a message with a value writes that value";
    }
    if (Contval[b][i] == 1) v.detail += "; repeated every 25 ms while held";
    if (Contval[b][i] == 2) v.detail += "; repeated every 25 ms while held, after 0.4 s";
}

void InternalInput(int b, int i, InputView& v) {
    const std::string& s = Data[b][i][1];
    const int direction = InputIncrementDir[b][i];
    v.target = s;
    if (s.empty()) {
        v.kind = "internal";
        return;
    }
    if (s[0] == 'E' && s.size() >= 2) {
        const int leader = Mode[b][i];
        const char op = s[s.size() - 2];
        const std::string step(1, s.back());
        v.kind = "mode change";
        v.detail = op == '='   ? "sets mode " + step
                   : op == '>' ? "next mode (+" + step + ")"
                   : op == '<' ? "previous mode (-" + step + ")"
                               : "leaves the mode";
        if (leader == i || !InputExists(b, leader)) {
            v.detail += ": drives no encoder group (no encoder input is tagged " +
                        s.substr(0, s.size() - 2) + " or " + s.substr(0, s.size() - 2) + "/n)";
            return;
        }
        v.detail += ", of the " + std::to_string(direction) +
                    " modes of the encoder group led by input " + std::to_string(leader) + " (" +
                    Datatags[b][leader] + ")";
        return;
    }
    if (s[0] == 'O') {
        const size_t p = s.find('_');
        v.kind = "output selection";
        if (p == std::string::npos) {
            v.detail = "selects nothing: no '_' before the output tag";
            return;
        }
        const std::string outputs =
            "outputs tagged " + ShowOutputTag(s.substr(p + 1), OutDevice[b]);
        v.target = s.substr(0, p + 1) + ShowOutputTag(s.substr(p + 1), OutDevice[b]);
        if (p == 1)
            v.detail = "switches to the next of the " + outputs;
        else if (p == 2 && s[1] == '-')
            v.detail = "switches to the previous of the " + outputs;
        else
            v.detail = "switches to number " + std::to_string(UnsignedOrZero(s.substr(1))) +
                       " of the " + outputs;
        return;
    }
    if (Contval[b][i] == 1) {
        v.kind = "lamp test";
        if (direction == kAllPinOutputs) {
            v.target = ShowOutputTag(s, OutDevice[b]);
            v.detail = "while held, the outputs tagged " + v.target + " show all-on";
        } else if (direction >= 0 && OutputExists(b, direction)) {
            v.detail = "while held, output " + std::to_string(direction) + " (" +
                       ShowOutputTag(OutDrefs[b][direction][0], OutDevice[b]) + ") shows all-on";
        } else {
            v.detail = "names no output of this board";
        }
        return;
    }
    v.kind = "text to board";
    v.detail = "sends the text " + s + " back to the board";
}

void GroupDetail(int b, int i, InputView& v) {
    const std::string& tag = Datatags[b][i];
    const int mode = Mode[b][i];
    const char first = tag[0];  // the ending NUL of an empty tag
    std::string more;
    if ((first == 'B' || first == 'D' || first == 'A') && mode > 1 && InputArrayNum[b][i] >= 0)
        more = "leads a group of " + std::to_string(mode / 10) +
               " inputs: each press goes to the next";
    else if (first == 'E' && mode == 1 && InputArrayNum[b][i] >= 0 &&
             tag.find('/') != std::string::npos)
        more =
            "leads its encoder group: a turn goes to the input of the group's mode (mode 1 "
            "to start with)";
    if (!InputSkip[b][i].empty())
        more += std::string(more.empty() ? "" : "; ") + "skip count " +
                std::to_string(InputSkip[b][i][0]);
    if (!more.empty()) v.detail += std::string(v.detail.empty() ? "" : "; ") + more;
}

InputView ViewOfInput(int b, int i) {
    InputView v;
    v.tag = Datatags[b][i];
    v.pin = PinOfTag(v.tag);
    if (Data[b][i].size() < 2) return v;
    const int a = InputArrayNum[b][i];
    if (a > 0)
        DatarefInput(b, i, v);
    else if (a == 0)
        CommandInput(b, i, v);
    else
        InternalInput(b, i, v);
    GroupDetail(b, i, v);
    return v;
}

std::string OutputKind(char type, int types) {
    switch (type) {
        case 'L':
            return "LED";
        case 'l':
            return "port LED";
        case 'N':
            return "7-segment display";
        case 'S':
            return "servo";
        case 'P':
            return "PWM";
        case 'G':
        case 'g':
            return "stepper";
        default:
            return types == 32 ? "byte data" : "value";
    }
}

std::string SevenSegmentDetail(const std::vector<std::string>& f) {
    if (f.size() < 6) return "no digit count: nothing to show";
    std::string text = f[4] + " digits";
    text += f[5] == "0" ? ", no point: the whole part, right-aligned, without decimals"
                        : ", point after digit " + f[5];
    if (f.size() >= 7) {
        static const std::pair<char, const char*> kOptions[] = {
            {'r', "reversed"},      {'d', "fixed point"},          {'c', "common anode"},
            {'z', "leading zeros"}, {'f', "no lone leading zero"}, {'e', "dashes for zero"}};
        for (const auto& option : kOptions)
            if (f[6].find(option.first) != std::string::npos)
                text += std::string(", ") + option.second;
    }
    return text;
}

std::string OutputDetail(int b, int j, const OutputView& v) {
    const std::vector<std::string>& f = OutDrefs[b][j];
    std::string text;
    switch (v.type) {
        case 'N':
            text = SevenSegmentDetail(f);
            break;
        case 'L':
        case 'l':
            if (v.range1.size() == 1 && !v.range2.empty())
                text = v.range1[0] <= v.range2[0]
                           ? "lit from " + Number(v.range1[0]) + " to " + Number(v.range2[0])
                           : "always lit";
            else
                text = v.range1.empty() ? "lit when the value is exactly 1"
                                        : "lit when the mapped value is exactly 1";
            if (v.type == 'l')
                text += ", LED " + std::to_string(v.pin) + " of the LED port (pin " +
                        std::to_string(LEDCommon[b]) + ")";
            break;
        case 'G':
        case 'g':
            text = "target step = the value";
            break;
        case 'S':
            text = "pulse length in microseconds = the value";
            break;
        case 'P':
            text = "one byte, 0 to 255";
            break;
        default:
            text = Type[b][j] == 32 ? "text of up to " + std::to_string(v.precision) + " bytes"
                                    : "value as a float";
            break;
    }
    if (!v.range1.empty() && v.type != 'L' && v.type != 'l' && v.type != 'N')
        text += ", of the value mapped by the ranges";
    if (!v.active) text += "; starts switched off (an output selection chooses)";
    return text;
}

OutputView ViewOfOutput(int b, int j) {
    OutputView v;
    const std::vector<std::string>& f = OutDrefs[b][j];
    const bool arduino = OutDevice[b] != 0;
    const std::string tag = f.empty() ? std::string() : f[0];
    if (tag.empty()) return v;
    v.tag = ShowOutputTag(tag, OutDevice[b]);
    v.type = tag.back();
    v.pin = arduino ? static_cast<unsigned char>(tag[0])
                    : UnsignedOrZero(tag.substr(0, tag.size() - 1));
    v.kind = OutputKind(v.type, Type[b][j]);
    v.dataref = f.size() > 2 ? f[2] : std::string();
    v.found = Drefread[b][j] ? TypeName(Type[b][j]) : "unknown";
    v.element = Arraynum[b][j];
    v.precision = Precision[b][j];
    v.range1 = OutRange1[b][j];
    v.range2 = OutRange2[b][j];
    v.active = OutputActive[b][j];
    v.detail = OutputDetail(b, j, v);
    return v;
}

}  // namespace

bool operator==(const InputView& a, const InputView& b) {
    return std::tie(a.tag, a.kind, a.pin, a.target, a.detail) ==
           std::tie(b.tag, b.kind, b.pin, b.target, b.detail);
}

bool operator==(const OutputView& a, const OutputView& b) {
    return std::tie(a.tag, a.type, a.pin, a.kind, a.dataref, a.found, a.element, a.precision,
                    a.range1, a.range2, a.active, a.detail) ==
           std::tie(b.tag, b.type, b.pin, b.kind, b.dataref, b.found, b.element, b.precision,
                    b.range1, b.range2, b.active, b.detail);
}

bool operator==(const LedModeView& a, const LedModeView& b) {
    return a.tag == b.tag && a.reference == b.reference;
}

bool operator==(const BoardView& a, const BoardView& b) {
    return std::tie(a.id, a.inputs, a.outputs, a.ledModes, a.pinModes, a.analog, a.sevenSegment,
                    a.stepper, a.matrix, a.stepperCommon, a.ledCommon, a.sevenSegCommon,
                    a.ledPorts) == std::tie(b.id, b.inputs, b.outputs, b.ledModes, b.pinModes,
                                            b.analog, b.sevenSegment, b.stepper, b.matrix,
                                            b.stepperCommon, b.ledCommon, b.sevenSegCommon,
                                            b.ledPorts);
}

BoardView ViewOfBoard(int b) {
    BoardView view;
    if (!BoardExists(b)) return view;
    view.id = OutDevice[b];
    for (int i = 0; InputExists(b, i); ++i) view.inputs.push_back(ViewOfInput(b, i));
    for (int j = 0; OutputExists(b, j); ++j) view.outputs.push_back(ViewOfOutput(b, j));
    for (const std::vector<std::string>& f : OutputModeLed[b])
        if (f.size() >= 2) view.ledModes.push_back({ShowOutputTag(f[0], view.id), f[1]});
    view.pinModes = BuildPinModes(b);
    view.analog = BuildAnalogBlock(b);
    view.sevenSegment = SevenSegAdditional[b];
    view.stepper = StepperAdditional[b];
    view.matrix = MatrixAdditional[b];
    view.stepperCommon = StepperCommon[b];
    view.ledCommon = LEDCommon[b];
    view.sevenSegCommon = SevenSegCommon[b];
    view.ledPorts = LedPortData[b];
    return view;
}

std::string PrecisionText(int p) {
    if (p >= 1) return std::to_string(p) + (p == 1 ? " decimal" : " decimals");
    if (p == 0) return "whole part and point";
    if (p == -1) return "whole numbers";
    if (p == -2) return "whole numbers, last digit 0";
    return "whole numbers, last " + std::to_string(-1 - p) + " digits 0";
}

int WrittenPrecision(int stored, unsigned int boardId) {
    return boardId != 0 && stored < 0 ? stored + 1 : stored;
}

std::string PinModeName(unsigned char code) {
    static const char* const kNames[] = {"no use",
                                         "digital input",
                                         "encoder (E)",
                                         "encoder (e)",
                                         "matrix pin (5th matrix byte)",
                                         "matrix pin (first range)",
                                         "matrix pin (second range)",
                                         "LED or 7-segment output",
                                         "PWM output",
                                         "stepper (g)",
                                         "stepper (G)",
                                         "stepper direction pin",
                                         "servo",
                                         "7-segment common pin"};
    if (code < sizeof kNames / sizeof kNames[0]) return kNames[code];
    return "code " + std::to_string(code);
}

}  // namespace corvane_check
