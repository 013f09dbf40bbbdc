// The emulated board: its link (UDP socket or pseudo-terminal), the messages it answers, the
// inputs it sends and the output state it decodes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "boardsim.h"

namespace boardsim {

namespace {

const char kInputOriginal[] = "EDABC";
const size_t kUploadLength = 61;
const size_t kPanelReplyLength = 7;

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

void SetNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%s%02X", i ? " " : "", bytes[i]);
        s += buf;
    }
    return s;
}

// The macOS twin of a device name: tty.X <-> cu.X; empty when the name is neither.
std::string TwinName(const std::string& name) {
    if (name.compare(0, 4, "tty.") == 0) return "cu." + name.substr(4);
    if (name.compare(0, 3, "cu.") == 0) return "tty." + name.substr(3);
    return "";
}

// Replaces a stale symlink at `link`; refuses to touch anything that is not a symlink.
bool MakeLink(const std::string& target, const std::string& link, std::string* error) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            *error = link + " exists and is not a symlink";
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        *error = SystemError("symlink " + link);
        return false;
    }
    return true;
}

// Removes `link` only while it still points at `target`.
void RemoveLink(const std::string& link, const std::string& target) {
    if (link.empty()) return;
    char buf[4096];
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n < 0) return;
    buf[n] = 0;
    if (target == buf) unlink(link.c_str());
}

std::string FloatText(float f) {
    std::ostringstream os;
    os << f;
    return os.str();
}

}  // namespace

Board::Board(const Options& options) : options_(options) {
    config_ = ParseConfigSection(options.configSection);
    if (!isPanel() && (options.boardId < 0 || options.boardId > 9)) {
        error_ = "board ID must be a digit 0..9";
        return;
    }
    if (options.libraryVersion < 1 || options.libraryVersion > 255) {
        error_ = "library version must be 1..255";
        return;
    }
    if (!options.serialLink.empty() && !options.lanAddress.empty()) {
        error_ = "a board has one link: give a LAN address or a serial link, not both";
        return;
    }
    if (!options.serialLink.empty()) {
        serial_ = true;
        ok_ = OpenSerial();
    } else if (!options.lanAddress.empty()) {
        ok_ = OpenLan();
    } else {
        error_ = "no link: give a LAN address or a serial link";
    }
}

Board::~Board() {
    if (fd_ >= 0) close(fd_);
    if (slaveFd_ >= 0) close(slaveFd_);
    RemoveLink(linkPath_, slavePath_);
    RemoveLink(twinPath_, slavePath_);
}

bool Board::OpenLan() {
    if (!IsLoopback(options_.lanAddress)) {
        error_ = "refusing LAN address " + options_.lanAddress + ": only 127.0.0.0/8 is allowed";
        return false;
    }
    if (!IsLoopback(options_.pluginAddress)) {
        error_ =
            "refusing plug-in address " + options_.pluginAddress + ": only 127.0.0.0/8 is allowed";
        return false;
    }
    int port = options_.lanPort != 0 ? options_.lanPort : options_.pluginPort;
    if (port < 0 || port > 65535 || options_.pluginPort < 0 || options_.pluginPort > 65535) {
        error_ = "port out of range";
        return false;
    }
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd_ < 0) {
        error_ = SystemError("socket");
        return false;
    }
    // The plug-in binds its port on every address with SO_REUSEADDR; a board on its own
    // loopback address with the same port number needs it as well.
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    SetNonBlocking(fd_);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, options_.lanAddress.c_str(), &a.sin_addr);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        error_ = SystemError("bind " + options_.lanAddress + ":" + std::to_string(port));
        return false;
    }
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    boundPort_ = ntohs(a.sin_port);
    return true;
}

bool Board::OpenSerial() {
    fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd_ < 0) {
        error_ = SystemError("posix_openpt");
        return false;
    }
    if (grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
        error_ = SystemError("grantpt/unlockpt");
        return false;
    }
    const char* name = ptsname(fd_);
    if (!name) {
        error_ = SystemError("ptsname");
        return false;
    }
    slavePath_ = name;
    SetNonBlocking(fd_);
    // Holding the slave open keeps its settings and keeps the master readable while the
    // plug-in closes and reopens the port. This descriptor is never read.
    slaveFd_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveFd_ < 0) {
        error_ = SystemError("open " + slavePath_);
        return false;
    }
    fcntl(slaveFd_, F_SETFD, FD_CLOEXEC);
    termios t{};
    if (tcgetattr(slaveFd_, &t) == 0) {
        t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                            ICRNL | IXON | IXOFF);
        t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        tcsetattr(slaveFd_, TCSANOW, &t);
    }
    std::string link = options_.serialLink;
    if (!MakeLink(slavePath_, link, &error_)) return false;
    linkPath_ = link;
    if (options_.twin) {
        size_t slash = link.rfind('/');
        std::string dir = slash == std::string::npos ? "" : link.substr(0, slash + 1);
        std::string twin = TwinName(slash == std::string::npos ? link : link.substr(slash + 1));
        if (twin.empty()) {
            error_ = "a twin needs a name beginning with tty. or cu.";
            return false;
        }
        if (!MakeLink(slavePath_, dir + twin, &error_)) return false;
        twinPath_ = dir + twin;
    }
    return true;
}

std::string Board::address() const {
    if (serial_) return linkPath_;
    return options_.lanAddress + ":" + std::to_string(boundPort_);
}

int Board::messageCount(const std::string& kind) const {
    auto it = kindCounts_.find(kind);
    return it == kindCounts_.end() ? 0 : it->second;
}

void Board::clearReceived() {
    received_.clear();
    log_.clear();
    sent_.clear();
}

void Board::Note(const std::string& line) {
    log_.push_back(line);
    if (sink_) sink_(true, line);
}

// ---------------------------------------------------------------- sending

void Board::FlushPending() {
    while (serial_ && !pending_.empty()) {
        ssize_t n = write(fd_, pending_.data(), pending_.size());
        if (n <= 0) break;
        pending_.erase(0, static_cast<size_t>(n));
    }
}

bool Board::Transmit(const std::string& bytes, bool framed, const std::string& what) {
    if (!ok_) return false;
    auto note = [&] {
        sent_.push_back(bytes);
        if (sink_) sink_(false, what + " " + Escape(bytes));
    };
    if (serial_) {
        note();
        pending_ += framed ? "{" + bytes + "}" : bytes;
        FlushPending();
        return true;  // what the line cannot take now goes out on the next Poll()
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    if (options_.pluginPort != 0) {
        to.sin_port = htons(static_cast<uint16_t>(options_.pluginPort));
        inet_pton(AF_INET, options_.pluginAddress.c_str(), &to.sin_addr);
    } else if (haveSender_) {
        to.sin_port = senderPort_;
        to.sin_addr.s_addr = senderAddr_;
    } else {
        error_ = "nowhere to send: no plug-in port given and nothing received yet";
        return false;
    }
    if ((ntohl(to.sin_addr.s_addr) >> 24) != 127) {
        error_ = "refusing to send outside 127.0.0.0/8";
        return false;
    }
    ssize_t n =
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (n != static_cast<ssize_t>(bytes.size())) {
        error_ = SystemError("sendto");
        return false;
    }
    note();
    return true;
}

bool Board::SendIdentification() {
    std::string m = "|";
    if (isPanel()) {
        m += options_.panelConfig;
        // The long form is told apart by its length: at least 11 bytes.
        while (m.size() < 11) m += '\n';
    } else {
        m += options_.chip;
        m += static_cast<char>(options_.libraryVersion);
        m += static_cast<char>('0' + options_.boardId);
        m += options_.identPadding.substr(0, 6);  // the short form has at most 10 bytes
    }
    return Transmit(m, true, "ident");
}

bool Board::SendRaw(const std::string& bytes) {
    return Transmit(bytes, true, "raw");
}

bool Board::SendUnframed(const std::string& bytes) {
    return Transmit(bytes, false, "unframed");
}

bool Board::SendControl(char c) {
    return Transmit(std::string("~") + c, true, "control");
}

bool Board::RequestGate() {
    return SendControl('d');
}

bool Board::OpenGate() {
    if (!gateLetter_) return false;
    return SendControl(gateLetter_);
}

bool Board::CloseGate() {
    return SendControl('x');
}

bool Board::RequestBlocks() {
    bool a = SendControl('a');
    bool n = SendControl('n');
    bool s = SendControl('s');
    return a && n && s;
}

std::string Board::EncodeInput(const std::string& tag, const std::string& value) const {
    if (tag.empty()) return "";
    std::string m(1, static_cast<char>(boardNumber_));
    char type = tag[0];
    const char* pos = std::strchr(kInputOriginal, type);
    if (type != 0 && pos && codes_.size() >= 5)
        type = codes_[static_cast<size_t>(pos - kInputOriginal)];
    m += type;
    m += tag.substr(1);
    if (!value.empty()) m += " " + value;
    return m;
}

bool Board::SendInput(const std::string& tag, const std::string& value) {
    if (tag.empty()) return false;
    return Transmit(EncodeInput(tag, value), true, "input");
}

bool Board::Press(const std::string& tag) {
    return SendInput(tag + "+");
}

bool Board::Release(const std::string& tag) {
    return SendInput(tag + "-");
}

bool Board::TurnEncoder(const std::string& tag, int repeatCount) {
    if (repeatCount < 1) repeatCount = 1;
    if (repeatCount > 255) repeatCount = 255;
    return SendInput(tag, std::string(1, static_cast<char>(repeatCount)));
}

bool Board::MoveAxis(const std::string& tag, int reading) {
    return SendInput(tag, std::to_string(reading));
}

// ---------------------------------------------------------------- receiving

size_t Board::SerialMessageLength(const std::string& b) const {
    if (b.empty()) return 0;
    size_t need;
    switch (b[0]) {
        case 'X':
            need = 2;
            break;
        case '~':
            need = isPanel() ? kPanelReplyLength : kUploadLength;
            break;
        case 'A':
            need = 49;
            break;
        case 'D':
            need = 13;
            break;
        case 'N':
        case 'S':
        case '{':
            if (b.size() < 2) return 0;
            need = static_cast<uint8_t>(b[1]) + 2u;
            break;
        default:
            need = b.size();  // no length known: take what has arrived
            break;
    }
    return b.size() < need ? 0 : need;
}

int Board::Poll() {
    if (!ok_) return 0;
    int handled = 0;
    if (serial_) {
        FlushPending();
        if (afterConfiguredDue_ && std::chrono::steady_clock::now() >= afterConfiguredAt_) {
            afterConfiguredDue_ = false;
            RunAfterConfigured();
        }
        char buf[4096];
        for (;;) {
            ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            inbox_.append(buf, static_cast<size_t>(n));
        }
        for (size_t len; (len = SerialMessageLength(inbox_)) > 0;) {
            std::string m = inbox_.substr(0, len);
            inbox_.erase(0, len);
            Handle(m);
            ++handled;
        }
        return handled;
    }
    std::vector<char>& buf = datagram_;
    buf.resize(81920 + 16);
    for (int i = 0; i < 10000; ++i) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n =
            recvfrom(fd_, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) break;
        if ((ntohl(from.sin_addr.s_addr) >> 24) != 127) continue;
        haveSender_ = true;
        senderAddr_ = from.sin_addr.s_addr;
        senderPort_ = from.sin_port;
        if (n == 0) continue;
        Handle(std::string(buf.data(), static_cast<size_t>(n)));
        ++handled;
    }
    return handled;
}

void Board::AfterConfigured() {
    if (serial_) {
        afterConfiguredDue_ = true;
        afterConfiguredAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
        return;
    }
    RunAfterConfigured();
}

void Board::RunAfterConfigured() {
    if (options_.requestBlocks) RequestBlocks();
    if (options_.autoGate && !isPanel()) {
        openGateOnReply_ = true;
        RequestGate();
    }
}

void Board::Handle(const std::string& m) {
    const unsigned char c = static_cast<unsigned char>(m[0]);
    if (c == '{' && m.size() == 2 && m[1] == 0) {
        ++frameCount_;
        ++emptyFrameCount_;
        Count("empty-frame");
        if (options_.recordEmptyFrames) {
            received_.push_back(m);
            Note("frame (empty)");
        }
        return;
    }
    received_.push_back(m);
    if (m == "XP") {
        ++probeCount_;
        Count("probe");
        Note("probe XP");
        if (options_.answerProbe) SendIdentification();
    } else if (m == "XX") {
        ++pingCount_;
        Count("ping");
        Note("ping XX");
    } else if (m == "XR") {
        ++requestAllCount_;
        Count("request-all");
        Note("request-all XR");
    } else if (c == '~' && m.size() == kUploadLength) {
        pinModes_.clear();
        std::string pins;
        for (size_t p = 0; p < 54; ++p) {
            int mode = static_cast<uint8_t>(m[1 + p]);
            pinModes_.push_back(mode);
            if (mode)
                pins += (pins.empty() ? "" : ",") + std::to_string(p) + ":" + std::to_string(mode);
        }
        codes_ = m.substr(55, 5);
        boardNumber_ = static_cast<uint8_t>(m[60]);
        ++uploadCount_;
        Count("upload");
        Note("upload board=" + std::to_string(boardNumber_) + " codes=" + Escape(codes_) +
             " pins=" + (pins.empty() ? "none" : pins));
        AfterConfigured();
    } else if (c == '~' && m.size() == kPanelReplyLength) {
        codes_ = m.substr(1, 5);
        boardNumber_ = static_cast<uint8_t>(m[6]);
        ++uploadCount_;
        Count("ident-reply");
        Note("ident-reply board=" + std::to_string(boardNumber_) + " codes=" + Escape(codes_));
        AfterConfigured();
    } else if (c == 'A' && m.size() == 49) {
        analogConfig_.assign(m.begin() + 1, m.end());
        std::string s;
        for (size_t ch = 0; ch < 16; ++ch) {
            s += (ch ? " " : "") + std::to_string(analogConfig_[3 * ch]) + "/" +
                 std::to_string(analogConfig_[3 * ch + 1]) + "/" +
                 std::to_string(analogConfig_[3 * ch + 2]);
        }
        Count("analog-config");
        Note("analog-config " + s);
    } else if ((c == 'N' || c == 'S') && m.size() >= 2 &&
               m.size() == static_cast<uint8_t>(m[1]) + 2u) {
        std::vector<uint8_t> block(m.begin() + 2, m.end());
        if (c == 'N') {
            sevenSegConfig_ = block;
            Count("7seg-config");
            Note("7seg-config n=" + std::to_string(block.size()) + " [" + Hex(block) + "]");
        } else {
            stepperConfig_ = block;
            std::string s;
            for (size_t i = 0; i + 2 < block.size(); i += 3)
                s += " " + std::to_string(block[i]) + ":" +
                     std::to_string(block[i + 1] | (block[i + 2] << 8));
            Count("stepper-config");
            Note("stepper-config n=" + std::to_string(block.size()) + s);
        }
    } else if (c == 'D' && m.size() == 13) {
        gateLetter_ = m[9];
        bool usual = m.compare(0, 8, "D{*PRDSG") == 0 && m[8] == 4 && m[10] == '0' && m[11] == 15 &&
                     m[12] == 5;
        Count("gate-reply");
        Note("gate-reply letter=" + Escape(std::string(1, gateLetter_)) +
             (usual ? "" : " (unusual fixed bytes " + Escape(m) + ")"));
        if (openGateOnReply_) {
            openGateOnReply_ = false;
            OpenGate();
        }
    } else if (c == '{') {
        HandleFrame(m);
    } else if (c == '>') {
        HandlePanelText(m);
    } else {
        Count("unknown");
        Note("unknown " + Escape(m));
    }
}

void Board::HandleFrame(const std::string& m) {
    ++frameCount_;
    Frame f = DecodeFrame(m, config_, options_.ledPortPin);
    bool isMode = false, isOutput = true;
    if (f.ok && f.records.size() == 1) {
        const Record& r = f.records[0];
        bool shape = (r.kind == Record::kLed && m.size() == 4) ||
                     (r.kind == Record::kFloat && m.size() == 8);
        if (shape && !config_.known) {
            isMode = true;  // cannot be told apart: keep both readings
        } else if (shape && config_.modeLeds.count(r.pin)) {
            isMode = true;
            isOutput = config_.outputs.count(r.pin) > 0;
        }
        if (isMode) {
            ++modeCount_;
            Count("mode");
            if (r.kind == Record::kLed) {
                modes_[r.pin] = r.on ? "on" : "off";
                leds_[r.pin] = r.on;
            } else {
                modes_[r.pin] = Escape(std::string(1, r.letter)) + " " + FloatText(r.number);
            }
        }
    }
    std::string line;
    if (isOutput) {
        Count("frame");
        for (const Record& r : f.records) {
            switch (r.kind) {
                case Record::kLed:
                    leds_[r.pin] = r.on;
                    break;
                case Record::kDisplay:
                    displays_[r.pin] = r.text;
                    break;
                case Record::kStepper:
                    steppers_[r.pin] = {r.target, r.time};
                    break;
                case Record::kPwm:
                    pwm_[r.pin] = r.value;
                    break;
                case Record::kText:
                    texts_[r.pin] = r.text;
                    break;
                case Record::kFloat:
                    floats_[r.pin] = r.number;
                    break;
                case Record::kLedPort:
                    ledPorts_.assign(r.bytes.begin(), r.bytes.end());
                    for (size_t p = 0; p < r.bytes.size(); ++p)
                        for (int bit = 0; bit < 8; ++bit)
                            portLeds_[static_cast<int>(p) * 8 + (7 - bit) + 1] =
                                (r.bytes[p] >> bit) & 1;
                    break;
            }
        }
        line = isMode ? "frame (or mode)" : "frame";
    } else {
        line = "mode";
    }
    for (const Record& r : f.records) line += " " + RecordText(r);
    if (!f.ok) line += " (bad frame: " + f.error + "; bytes " + Escape(m) + ")";
    Note(line);
}

void Board::HandlePanelText(const std::string& m) {
    std::string line = "panel";
    size_t pos = 1;
    while (pos < m.size()) {
        size_t lt = m.find('<', pos);
        if (lt == std::string::npos) break;
        size_t gt = m.find('>', lt + 1);
        if (gt == std::string::npos) break;
        std::string tag = m.substr(pos, lt - pos), value = m.substr(lt + 1, gt - lt - 1);
        panelValues_[tag] = value;
        line += " " + Escape(tag) + "=" + Escape(value);
        pos = gt + 1;
    }
    if (pos < m.size()) line += " (trailing " + Escape(m.substr(pos)) + ")";
    Count("panel");
    Note(line);
}

std::string Board::StateText() const {
    std::ostringstream os;
    os << (isPanel() ? "panel " : "board ") << address() << " id "
       << (isPanel() ? 0 : options_.boardId) << " number " << boardNumber_ << " codes "
       << (codes_.empty() ? "-" : Escape(codes_)) << " uploads " << uploadCount_ << " probes "
       << probeCount_ << " pings " << pingCount_ << " request-all " << requestAllCount_ << " gate "
       << (gateLetter_ ? Escape(std::string(1, gateLetter_)) : "-") << " frames " << frameCount_
       << "\n";
    os << "pins:";
    for (size_t p = 0; p < pinModes_.size(); ++p)
        if (pinModes_[p]) os << " " << p << "=" << pinModes_[p];
    os << "\nleds:";
    for (const auto& kv : leds_) os << " " << kv.first << "=" << (kv.second ? "on" : "off");
    os << "\ndisplays:";
    for (const auto& kv : displays_) os << " " << kv.first << "=\"" << kv.second << "\"";
    os << "\nsteppers:";
    for (const auto& kv : steppers_)
        os << " " << kv.first << "=(" << kv.second.first << "," << kv.second.second << ")";
    os << "\npwm:";
    for (const auto& kv : pwm_) os << " " << kv.first << "=" << kv.second;
    os << "\nfloats:";
    for (const auto& kv : floats_) os << " " << kv.first << "=" << kv.second;
    os << "\ntexts:";
    for (const auto& kv : texts_) os << " " << kv.first << "=\"" << Escape(kv.second) << "\"";
    os << "\nport-leds:";
    for (const auto& kv : portLeds_) os << " " << kv.first << "=" << (kv.second ? "on" : "off");
    os << "\nmodes:";
    for (const auto& kv : modes_) os << " " << kv.first << "=" << kv.second;
    os << "\npanel:";
    for (const auto& kv : panelValues_) os << " " << Escape(kv.first) << "=" << Escape(kv.second);
    os << "\n";
    return os.str();
}

}  // namespace boardsim
