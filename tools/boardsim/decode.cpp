// Pure helpers of the emulator: address checks, escaping, the board's configuration section,
// and the decoding of the plug-in's byte-form output frames.
#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "boardsim.h"

namespace boardsim {

namespace {

std::string TrimText(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return s.substr(b, e - b);
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

// Segment patterns, active low: bit 7 is segment a down to bit 1 segment g, bit 0 the point.
struct Glyph {
    uint8_t byte;
    char c;
};
const Glyph kGlyphs[] = {{0x03, '0'}, {0x9F, '1'}, {0x25, '2'}, {0x0D, '3'},
                         {0x99, '4'}, {0x49, '5'}, {0x41, '6'}, {0x1F, '7'},
                         {0x01, '8'}, {0x09, '9'}, {0xFD, '-'}, {0xFF, ' '}};

bool GlyphOf(uint8_t b, char* c, bool* point) {
    *point = (b & 1) == 0;
    uint8_t base = static_cast<uint8_t>(b | 1);
    for (const Glyph& g : kGlyphs) {
        if (g.byte == base) {
            *c = g.c;
            return true;
        }
    }
    *c = '?';
    return false;
}

bool AllGlyphs(const std::vector<uint8_t>& bytes, bool inverted) {
    for (uint8_t b : bytes) {
        char c;
        bool point;
        if (!GlyphOf(inverted ? static_cast<uint8_t>(~b) : b, &c, &point)) return false;
    }
    return true;
}

int LeadingInt(const std::string& s) {
    return std::atoi(s.c_str());
}

std::string FloatText(float f) {
    std::ostringstream os;
    os << f;
    return os.str();
}

}  // namespace

bool IsLoopback(const std::string& address) {
    in_addr a{};
    if (inet_pton(AF_INET, address.c_str(), &a) != 1) return false;
    return (ntohl(a.s_addr) >> 24) == 127;
}

std::string Escape(const std::string& bytes) {
    std::string out;
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        char n = text[++i];
        if ((n == 'x' || n == 'X') && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else if (n == 'n') {
            out += '\n';
        } else if (n == 'r') {
            out += '\r';
        } else if (n == 't') {
            out += '\t';
        } else if (n == 's') {
            out += ' ';
        } else {
            out += n;
        }
    }
    return out;
}

BoardConfig ParseConfigSection(const std::string& text) {
    BoardConfig cfg;
    cfg.known = !TrimText(text).empty();
    char section = '0';
    for (const std::string& raw : Lines(text)) {
        std::string line = TrimText(raw);
        if (line.size() < 3) continue;
        char first = line[0];
        if (first == '*' || first == '@' || first == '#' || first == '/' || first == '!') continue;
        if (first == '[') {
            section = line[1];
            continue;
        }
        std::vector<std::string> f = Fields(line);
        if (f.size() < 2) continue;
        if (section == 'A') {
            int n = LeadingInt(f[1]);
            switch (f[0][0]) {
                case 'L':
                    cfg.ledPortPin = n;
                    break;
                case 'N':
                    cfg.sevenSegCommon = n;
                    break;
                case 'G':
                    cfg.stepperCommon = n;
                    break;
                default:
                    break;
            }
        } else if (section == 'O') {
            if (f.size() > 2 && f[2] == "not_selected") continue;
            char last = f[0].back();
            char type = (last >= '0' && last <= '9') ? 'D' : last;
            int pin = LeadingInt(f[0]) & 0xFF;
            if (f.size() == 2) {
                cfg.modeLeds[pin] = type;
                continue;
            }
            if (type == 'l') continue;  // numbered by LED, not by pin: lives in the port block
            BoardConfig::Output out;
            out.type = type;
            out.tag = f[0];
            if (type == 'N' && f.size() >= 6) {
                out.digits = LeadingInt(f[4]);
                out.point = LeadingInt(f[5]);
                if (f.size() >= 7) out.options = f[6];
            }
            cfg.outputs[pin] = out;
        }
    }
    return cfg;
}

std::string SectionFromDataCfg(const std::string& fileText, int boardId) {
    std::string out;
    int id = 0;
    char section = '0';
    bool collecting = false, done = false;
    for (const std::string& raw : Lines(fileText)) {
        std::string line = TrimText(raw);
        if (line.empty()) continue;
        if (line[0] == '*') {
            id = line.size() > 1 ? line[1] - '0' : -1;
            if (collecting) done = true;  // the first section with the ID is the one used
            collecting = !done && id == boardId && id != 0;
            continue;
        }
        if (line[0] == '@') {
            if (TrimText(line.substr(1)) == "info") section = '0';
            continue;
        }
        if (line[0] == '[') section = line.size() > 1 ? line[1] : '0';
        if (collecting && section != '0') out += line + "\n";
    }
    return out;
}

std::string DecodeSevenSegment(const std::vector<uint8_t>& bytes, bool inverted, bool reversed) {
    std::vector<std::pair<char, bool>> digits;
    for (uint8_t b : bytes) {
        char c;
        bool point;
        GlyphOf(inverted ? static_cast<uint8_t>(~b) : b, &c, &point);
        digits.emplace_back(c, point);
    }
    if (reversed) std::reverse(digits.begin(), digits.end());
    std::string out;
    for (const auto& d : digits) {
        out += d.first;
        if (d.second) out += '.';
    }
    return out;
}

Frame DecodeFrame(const std::string& message, const BoardConfig& config, int ledPortPin) {
    Frame frame;
    auto fail = [&frame](const std::string& why) {
        frame.ok = false;
        if (frame.error.empty()) frame.error = why;
    };
    if (message.size() < 2 || message[0] != '{') {
        fail("not a frame");
        return frame;
    }
    std::vector<uint8_t> body(message.begin() + 2, message.end());
    size_t declared = static_cast<uint8_t>(message[1]);
    if (declared != body.size()) {
        fail("length byte " + std::to_string(declared) + " but " + std::to_string(body.size()) +
             " bytes follow");
        if (declared < body.size()) body.resize(declared);
    }
    int portPin = ledPortPin >= 0 ? ledPortPin : config.ledPortPin;
    size_t i = 0;
    while (i < body.size()) {
        size_t left = body.size() - i;
        if (left < 2) {
            fail("stray byte at the end");
            break;
        }
        Record r;
        r.pin = body[i];
        r.letter = static_cast<char>(body[i + 1]);
        const BoardConfig::Output* out = nullptr;
        auto it = config.outputs.find(r.pin);
        if (config.known && it != config.outputs.end()) out = &it->second;
        // A configured float output whose letter is one of the record kinds is a float.
        bool floatByConfig = out && out->type == r.letter && (r.letter == 'R' || r.letter == 'B');
        unsigned char k = body[i + 1];
        size_t need = 0;
        if ((k == 0x29 || k == 0x28) && !floatByConfig) {
            r.kind = Record::kLed;
            r.on = k == 0x29;
            need = 2;
        } else if (k == 'R' && !floatByConfig) {
            if (left < 3) {
                fail("cut 'R' record");
                break;
            }
            size_t n = body[i + 2];
            need = 3 + n;
            if (left < need) {
                fail("cut 'R' record");
                break;
            }
            r.bytes.assign(body.begin() + static_cast<long>(i) + 3,
                           body.begin() + static_cast<long>(i + need));
            bool portBlock = i == 0 && r.pin == (portPin & 0xFF) && !(out && out->type == 'N');
            if (portBlock) {
                r.kind = Record::kLedPort;
                std::reverse(r.bytes.begin(), r.bytes.end());  // wire order is last port first
            } else {
                r.kind = Record::kDisplay;
                bool inverted = false, reversed = false;
                if (out && out->type == 'N') {
                    inverted = out->options.find('c') != std::string::npos;
                    reversed = out->options.find('r') != std::string::npos;
                } else if (!AllGlyphs(r.bytes, false) && AllGlyphs(r.bytes, true)) {
                    inverted = true;
                }
                r.text = DecodeSevenSegment(r.bytes, inverted, reversed);
            }
        } else if (k == 'G') {
            r.kind = Record::kStepper;
            need = 6;
            if (left < need) {
                fail("cut 'G' record");
                break;
            }
            r.target = static_cast<int16_t>(body[i + 2] | (body[i + 3] << 8));
            r.time = body[i + 4] | (body[i + 5] << 8);
        } else if (k == 'P') {
            r.kind = Record::kPwm;
            need = 3;
            if (left < need) {
                fail("cut 'P' record");
                break;
            }
            r.value = body[i + 2];
        } else if (k == 'B' && !floatByConfig) {
            if (left < 3) {
                fail("cut 'B' record");
                break;
            }
            size_t n = body[i + 2];
            need = 3 + n;
            if (left < need) {
                fail("cut 'B' record");
                break;
            }
            r.kind = Record::kText;
            r.text.assign(body.begin() + static_cast<long>(i) + 3,
                          body.begin() + static_cast<long>(i + need));
        } else {
            r.kind = Record::kFloat;
            need = 6;
            if (left < need) {
                fail(std::string("cut float record '") + Escape(std::string(1, r.letter)) + "'");
                break;
            }
            uint32_t bits = static_cast<uint32_t>(body[i + 2]) |
                            (static_cast<uint32_t>(body[i + 3]) << 8) |
                            (static_cast<uint32_t>(body[i + 4]) << 16) |
                            (static_cast<uint32_t>(body[i + 5]) << 24);
            std::memcpy(&r.number, &bits, sizeof r.number);
        }
        frame.records.push_back(r);
        i += need;
    }
    return frame;
}

std::string RecordText(const Record& r) {
    std::string pin = std::to_string(r.pin);
    switch (r.kind) {
        case Record::kLed:
            return "L" + pin + "=" + (r.on ? "on" : "off");
        case Record::kDisplay:
            return "N" + pin + "=\"" + r.text + "\"";
        case Record::kStepper:
            return "G" + pin + "=(" + std::to_string(r.target) + "," + std::to_string(r.time) + ")";
        case Record::kPwm:
            return "P" + pin + "=" + std::to_string(r.value);
        case Record::kText:
            return "B" + pin + "=\"" + Escape(r.text) + "\"";
        case Record::kFloat:
            return Escape(std::string(1, r.letter)) + pin + "=" + FloatText(r.number);
        case Record::kLedPort: {
            std::string s = "port" + pin + "=[";
            for (size_t p = 0; p < r.bytes.size(); ++p) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "%s%02X", p ? " " : "", r.bytes[p]);
                s += buf;
            }
            return s + "]";
        }
    }
    return "?";
}

}  // namespace boardsim
