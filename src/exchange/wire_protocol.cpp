#include "exchange/wire_protocol.h"

#include <cstdlib>
#include <cstring>

std::string CodeCurrent = "MNQPRU";
const char* const InputOriginal = "EDABC";
const char InitialMessage[] = "XP";
const char PingChar[] = "XX";

namespace {

// Tag letters that boards send as they are and that mean something of their own: memory store
// and recall, and analog readings. A code letter equal to one of them would turn such a message
// into another kind of input.
bool CollidesWithPlainTagLetter(const std::string& codes) {
    return codes.substr(0, 5).find_first_of("MPR") != std::string::npos;
}

// One draw whose seed letter differs from the previous start-up's seed.
void DrawCodeLettersOnce(char previousSeed) {
    int r = previousSeed;
    do {
        r = std::rand() % 55 + 65;
    } while (r == previousSeed);
    CodeCurrent[5] = static_cast<char>(r);
    for (int p = 0; p < 5; ++p) {
        r += std::rand() % 10 + 1;
        if (r >= 123) r = 64;
        CodeCurrent[p] = static_cast<char>(r);
    }
}

}  // namespace

void DrawCodeLetters() {
    if (CodeCurrent.size() < 6) CodeCurrent.resize(6, 'U');
    const char previousSeed = CodeCurrent[5];
    do {
        DrawCodeLettersOnce(previousSeed);
    } while (CollidesWithPlainTagLetter(CodeCurrent));
}

char MapTypeLetter(char typeByte) {
    for (int k = 0; k < 5 && k < static_cast<int>(CodeCurrent.size()); ++k)
        if (typeByte == CodeCurrent[k]) return InputOriginal[k];
    return typeByte;
}

bool ExtractSerialFrame(std::string& buffer, std::string& message) {
    message.clear();
    const size_t close = buffer.find('}');
    if (close == std::string::npos) return false;
    // The last '{' before the '}' starts the frame.
    const size_t open = close == 0 ? std::string::npos : buffer.rfind('{', close - 1);
    if (open != std::string::npos) message = buffer.substr(open + 1, close - open - 1);
    buffer.erase(0, close + 1);
    return true;
}

std::string MessageFromDatagram(const char* data, size_t length) {
    const void* zero = std::memchr(data, 0, length);
    const size_t end = zero ? static_cast<size_t>(static_cast<const char*>(zero) - data) : length;
    return std::string(data, end);
}

MessageKind ClassifyMessage(const std::string& message) {
    if (!message.empty() && message[0] == '|')
        return message.size() >= 4 ? MessageKind::Identification : MessageKind::Ignored;
    if (message.size() == 2 && message[0] == '~') return MessageKind::Control;
    if (message.size() <= 2) return MessageKind::Ignored;
    return MessageKind::Input;
}
