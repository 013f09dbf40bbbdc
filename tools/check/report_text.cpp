#include "report_text.h"

#include <map>
#include <sstream>

#include "check/name_suggestions.h"
#include "config/config_file.h"

namespace corvane_check {

namespace {

constexpr unsigned int kUnset = 100;  // the value of a pin setting that the section leaves unset

char Marker(ConfigNoteKind kind) {
    switch (kind) {
        case ConfigNoteKind::Entry:
            return '=';
        case ConfigNoteKind::Comment:
            return '-';
        default:
            return '!';
    }
}

std::string TrimmedText(const VerdictLine& line) {
    if (line.line < 1) return std::string();
    std::string text = line.text;
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

std::string Padded(const std::string& text, size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::string SectionTitle(const BoardVerdict& section) {
    if (section.id == kNoBoardId)
        return "Section without a board ID (line " + std::to_string(section.line) + ")";
    if (section.id == 0 && section.line > 0)
        return "Board ID 0 (line " + std::to_string(section.line) +
               "): not read, the Helvan panel sends its own configuration";
    std::string title =
        section.id == 0 ? std::string("Helvan panel") : "Board ID " + std::to_string(section.id);
    if (section.line > 0) title += " (line " + std::to_string(section.line) + ")";
    if (section.usedLine != section.line)
        title += ": not used, the section at line " + std::to_string(section.usedLine) +
                 " configures this board ID";
    return title;
}

void WriteLines(std::ostream& out, const Verdict& verdict, int first, int end) {
    for (const VerdictLine& line : verdict.lines) {
        if (line.line == 0 || line.line < first || line.line >= end) continue;
        out << "  " << Padded(std::to_string(line.line), 5) << TrimmedText(line) << "\n";
        for (const VerdictNote& note : line.notes) {
            out << "         " << Marker(note.kind) << ' ';
            if (IsProblemKind(note.kind)) out << KindWord(note.kind) << ": ";
            out << NoteText(note) << "\n";
        }
    }
}

std::string LineLabel(const std::vector<int>& lines, size_t k) {
    return k < lines.size() && lines[k] > 0 ? "line " + std::to_string(lines[k]) : "";
}

void WriteInputs(std::ostream& out, const BoardVerdict& section) {
    const std::vector<InputView>& inputs = section.view.inputs;
    out << "  Inputs (" << inputs.size() << ")\n";
    for (size_t i = 0; i < inputs.size(); ++i) {
        const InputView& v = inputs[i];
        out << "    " << Padded(std::to_string(i), 4) << Padded(v.tag, 10)
            << Padded(LineLabel(section.inputLines, i), 10) << Padded(v.pin, 16) << v.kind << ": "
            << v.target << "\n";
        if (!v.detail.empty()) out << "        " << v.detail << "\n";
    }
}

std::string RangeText(const OutputView& v) {
    if (v.range1.empty()) return std::string();
    std::ostringstream text;
    text << ", ranges ";
    for (size_t k = 0; k < v.range1.size(); ++k) text << (k ? "," : "") << v.range1[k];
    text << " -> ";
    for (size_t k = 0; k < v.range2.size(); ++k) text << (k ? "," : "") << v.range2[k];
    return text.str();
}

void WriteOutputs(std::ostream& out, const BoardVerdict& section) {
    const std::vector<OutputView>& outputs = section.view.outputs;
    out << "  Outputs (" << outputs.size() << ")\n";
    for (size_t j = 0; j < outputs.size(); ++j) {
        const OutputView& v = outputs[j];
        out << "    " << Padded(std::to_string(j), 4) << Padded(v.tag, 10)
            << Padded(LineLabel(section.outputLines, j), 10)
            << Padded("pin " + std::to_string(v.pin), 16) << v.kind << ": " << v.dataref
            << ", element " << v.element << " (" << v.found << ")" << RangeText(v);
        if (v.kind == "byte data")
            out << ", length " << v.precision << "\n";
        else
            out << ", precision " << WrittenPrecision(v.precision, section.view.id) << " ("
                << PrecisionText(v.precision) << ")\n";
        if (!v.detail.empty()) out << "        " << v.detail << "\n";
    }
    const std::vector<LedModeView>& modes = section.view.ledModes;
    if (modes.empty()) return;
    out << "  LED mode entries (" << modes.size() << ")\n";
    for (size_t k = 0; k < modes.size(); ++k)
        out << "    " << Padded(std::to_string(k), 4) << Padded(modes[k].tag, 10)
            << Padded(LineLabel(section.ledModeLines, k), 10) << "lit while " << modes[k].reference
            << "\n";
}

// Pins as a short list: 4, 5, 6 and 22 to 25 become "4-6, 22-25".
std::string PinList(const std::vector<int>& pins) {
    std::string text;
    for (size_t k = 0; k < pins.size();) {
        size_t end = k;
        while (end + 1 < pins.size() && pins[end + 1] == pins[end] + 1) ++end;
        text += (text.empty() ? "" : ", ") + std::to_string(pins[k]);
        if (end > k) text += "-" + std::to_string(pins[end]);
        k = end + 1;
    }
    return text;
}

unsigned Byte(const std::string& block, size_t k) {
    return static_cast<unsigned char>(block[k]);
}

void WritePinModes(std::ostream& out, const BoardView& v) {
    std::map<unsigned, std::vector<int>> byCode;
    for (size_t pin = 0; pin < v.pinModes.size(); ++pin)
        if (Byte(v.pinModes, pin) != 0)
            byCode[Byte(v.pinModes, pin)].push_back(static_cast<int>(pin));
    out << "    configuration upload (61 bytes), pin uses:";
    if (byCode.empty()) out << " none";
    out << "\n";
    for (const auto& code : byCode)
        out << "      " << PinModeName(static_cast<unsigned char>(code.first)) << " (" << code.first
            << "): " << (code.second.size() == 1 ? "pin " : "pins ") << PinList(code.second)
            << "\n";
}

void WriteBlocks(std::ostream& out, const BoardView& v) {
    out << "  Sent to the board\n";
    if (v.id == 0) {
        out << "    identification reply (7 bytes); output values as text (\">tag<value>\")\n";
        return;
    }
    WritePinModes(out, v);
    out << "    analog block ('~a', 49 bytes):";
    bool any = false;
    for (size_t n = 0; 3 * n + 2 < v.analog.size(); ++n) {
        if (Byte(v.analog, 3 * n) == 0 && Byte(v.analog, 3 * n + 1) == 0 &&
            Byte(v.analog, 3 * n + 2) == kUnset)
            continue;
        out << (any ? "," : "") << " channel " << n << ": " << Byte(v.analog, 3 * n) << " "
            << Byte(v.analog, 3 * n + 1) << " " << Byte(v.analog, 3 * n + 2);
        any = true;
    }
    out << (any ? "" : " every channel 0 0 100") << "\n";
    out << "    7-segment block ('~n', " << v.sevenSegment.size() + 2 << " bytes):";
    for (size_t k = 0; k < v.sevenSegment.size(); ++k)
        out << (k ? "," : "") << " pin " << Byte(v.sevenSegment, k);
    out << (v.sevenSegment.empty() ? " no displays" : "") << "\n";
    out << "    stepper block ('~s', " << v.stepper.size() + 2 << " bytes):";
    for (size_t k = 0; k + 2 < v.stepper.size(); k += 3)
        out << (k ? "," : "") << " pin " << Byte(v.stepper, k) << " "
            << (Byte(v.stepper, k + 1) | Byte(v.stepper, k + 2) << 8) << " steps a turn";
    out << (v.stepper.empty() ? " no steppers" : "") << "\n";
    const auto pin = [](unsigned int p) {
        return p == kUnset ? std::string("not set") : std::to_string(p);
    };
    out << "    stepper direction pin " << pin(v.stepperCommon) << ", LED port pin "
        << pin(v.ledCommon) << ", 7-segment common pin " << pin(v.sevenSegCommon) << "\n";
    out << "    matrix bytes:";
    for (size_t k = 0; k < v.matrix.size(); ++k) out << " " << Byte(v.matrix, k);
    out << "\n";
    out << "    LED port: " << v.ledPorts.size() << " port" << (v.ledPorts.size() == 1 ? "" : "s")
        << " of 8 LEDs\n";
}

// The length of the well-formed UTF-8 character of two bytes or more at text[k] that a terminal
// shows; 0 when there is none.
size_t ShownCharacterLength(const std::string& text, size_t k) {
    const auto byte = [&](size_t n) {
        return k + n < text.size() ? static_cast<unsigned char>(text[k + n]) : 0u;
    };
    const unsigned lead = byte(0);
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0) return 0;
    // The second byte's range excludes overlong forms, surrogates and code points past U+10FFFF.
    const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (byte(1) < low || byte(1) > high) return 0;
    for (size_t n = 2; n < length; ++n)
        if (byte(n) < 0x80 || byte(n) > 0xBF) return 0;
    if (lead == 0xC2 && byte(1) <= 0x9F) return 0;                     // U+0080 to U+009F
    if (lead == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return 0;  // U+FEFF
    return length;
}

size_t WriteProblemsText(std::ostream& out, const Verdict& verdict, const std::string& path) {
    size_t count = 0;
    for (const VerdictLine& line : verdict.lines)
        for (const VerdictNote& note : line.notes) {
            if (!IsProblemKind(note.kind)) continue;
            ++count;
            out << path << (line.line > 0 ? ":" + std::to_string(line.line) : std::string()) << ": "
                << KindWord(note.kind) << ": " << NoteText(note) << "\n";
            const std::string text = TrimmedText(line);
            if (!text.empty()) out << "    " << text << "\n";
        }
    return count;
}

void WriteReportText(std::ostream& out, const Verdict& verdict, const std::string& path) {
    out << "corvane-check " << path << "\n";
    const std::vector<BoardVerdict>& sections = verdict.boards;
    const int firstSection =
        sections.empty() || sections[0].line == 0 ? verdict.lineCount + 1 : sections[0].line;
    if (firstSection > 1 && !sections.empty() && sections[0].line > 0) {
        out << "\nBefore the first board section\n";
        WriteLines(out, verdict, 1, firstSection);
    }
    for (size_t k = 0; k < sections.size(); ++k) {
        const BoardVerdict& section = sections[k];
        const int first = section.line > 0 ? section.line : 1;
        const int end = k + 1 < sections.size() ? sections[k + 1].line : verdict.lineCount + 1;
        out << "\n" << SectionTitle(section) << "\n";
        WriteLines(out, verdict, first, end);
        if (!section.read) continue;
        WriteInputs(out, section);
        WriteOutputs(out, section);
        WriteBlocks(out, section.view);
    }
    out << "\n";
    std::ostringstream problems;
    const size_t count = WriteProblemsText(problems, verdict, path);
    if (count == 0) {
        out << "No problems.\n";
        return;
    }
    out << "Problems\n" << problems.str();
    out << count << (count == 1 ? " problem\n" : " problems\n");
}

}  // namespace

std::string ShownText(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    for (size_t k = 0; k < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        const size_t length = c < 0x80 ? ((c >= 0x20 && c != 0x7F) || c == '\n' || c == '\t')
                                       : ShownCharacterLength(text, k);
        if (length > 0) {
            shown.append(text, k, length);
            k += length;
            continue;
        }
        shown += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        ++k;
    }
    return shown;
}

void WriteProblems(std::ostream& out, const Verdict& verdict, const std::string& path) {
    std::ostringstream text;
    WriteProblemsText(text, verdict, path);
    out << ShownText(text.str());
}

void WriteReport(std::ostream& out, const Verdict& verdict, const std::string& path) {
    std::ostringstream text;
    WriteReportText(text, verdict, path);
    out << ShownText(text.str());
}

}  // namespace corvane_check
