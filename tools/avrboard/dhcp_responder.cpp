// corvane-dhcp-responder: a small DHCP server for virtual boards on loopback. It listens on a
// loopback address only and gives every client the loopback address it asks from (a board at
// 127.0.0.3 gets 127.0.0.3), with the mask 255.255.255.0, itself as the router and server, and
// the lease time of --lease; it answers to the address and port the request came from, never by
// broadcast.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kHelp[] =
    "usage: corvane-dhcp-responder [--address 127.0.0.1] [--port P] [--lease SECONDS]\n"
    "\n"
    "Answers DHCP requests on a loopback address (127.x.x.x only) and port P (default: a free\n"
    "port), and prints \"ready PORT\". Each DISCOVER from 127.x.x.x is offered that address, each\n"
    "REQUEST for it acknowledged (\"ack ADDRESS\" on standard output), any other REQUEST refused\n"
    "(\"nak ADDRESS\"); the lease lasts SECONDS (default 3600). Ends at the end of standard\n"
    "input or at \"quit\".\n";

constexpr size_t kOptionsAt = 240;
constexpr uint8_t kDiscover = 1, kOffer = 2, kRequest = 3, kAck = 5, kNak = 6;

// The value of option `code` in a request (a pointer to its length byte), or nullptr.
const uint8_t* FindOption(const uint8_t* message, size_t length, uint8_t code) {
    for (size_t at = kOptionsAt; at + 1 < length;) {
        if (message[at] == 0) {
            ++at;
            continue;
        }
        if (message[at] == 255 || at + 2 + message[at + 1] > length) return nullptr;
        if (message[at] == code) return message + at + 1;
        at += 2 + message[at + 1];
    }
    return nullptr;
}

void AddOption(std::string* reply, uint8_t code, uint32_t value, int bytes) {
    *reply += static_cast<char>(code);
    *reply += static_cast<char>(bytes);
    for (int k = bytes - 1; k >= 0; --k) *reply += static_cast<char>(value >> (8 * k));
}

// The reply to one request from `client` (host byte order), or an empty text for none.
std::string Answer(const uint8_t* request, size_t length, uint32_t client, uint32_t server,
                   uint32_t lease, std::string* note) {
    static const uint8_t kMagic[4] = {99, 130, 83, 99};
    if (length < kOptionsAt || request[0] != 1 || std::memcmp(request + 236, kMagic, 4) != 0)
        return "";
    const uint8_t* type = FindOption(request, length, 53);
    if (type == nullptr || type[0] < 1) return "";
    uint8_t answer = 0;
    if (type[1] == kDiscover) {
        answer = kOffer;
    } else if (type[1] == kRequest) {
        const uint8_t* asked = FindOption(request, length, 50);
        uint32_t wanted = 0;
        const uint8_t* from = asked != nullptr && asked[0] == 4 ? asked + 1 : request + 12;
        for (int k = 0; k < 4; ++k) wanted = (wanted << 8) | from[k];
        answer = wanted == client ? kAck : kNak;
        in_addr text{htonl(wanted)};
        *note = std::string(answer == kAck ? "ack " : "nak ") + inet_ntoa(text);
    } else {
        return "";
    }
    std::string reply(reinterpret_cast<const char*>(request), kOptionsAt);
    reply[0] = 2;
    std::memset(&reply[12], 0, 16);   // ciaddr, yiaddr, siaddr, giaddr
    std::memset(&reply[44], 0, 192);  // sname, file
    for (int k = 0; k < 4; ++k) {
        if (answer != kNak) reply[16 + k] = static_cast<char>(client >> (24 - 8 * k));
        reply[20 + k] = static_cast<char>(server >> (24 - 8 * k));
    }
    AddOption(&reply, 53, answer, 1);
    AddOption(&reply, 54, server, 4);
    if (answer != kNak) {
        AddOption(&reply, 51, lease, 4);
        AddOption(&reply, 1, 0xFFFFFF00u, 4);
        AddOption(&reply, 3, server, 4);
    }
    reply += static_cast<char>(255);
    if (reply.size() < 300) reply.resize(300, '\0');
    return reply;
}

}  // namespace

int main(int argc, char** argv) {
    std::string address = "127.0.0.1";
    long port = 0, lease = 3600;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h" || i + 1 >= argc) {
            std::fputs(kHelp, option == "--help" || option == "-h" ? stdout : stderr);
            return option == "--help" || option == "-h" ? 0 : 2;
        }
        const char* value = argv[++i];
        if (option == "--address") {
            address = value;
        } else if (option == "--port") {
            port = std::atol(value);
        } else if (option == "--lease") {
            lease = std::atol(value);
        } else {
            std::fputs(kHelp, stderr);
            return 2;
        }
    }
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1 ||
        (ntohl(at.sin_addr.s_addr) >> 24) != 127 || port < 0 || port > 65535 || lease <= 0) {
        std::fprintf(stderr, "corvane-dhcp-responder: a loopback address, a port and a lease\n");
        return 2;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    socklen_t size = sizeof at;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
        std::perror("corvane-dhcp-responder");
        return 1;
    }
    std::printf("ready %u\n", ntohs(at.sin_port));
    std::fflush(stdout);
    const uint32_t server = ntohl(at.sin_addr.s_addr);
    std::string input;
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {fd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char bytes[256];
            const ssize_t n = read(STDIN_FILENO, bytes, sizeof bytes);
            if (n <= 0) break;
            input.append(bytes, static_cast<size_t>(n));
            if (input.find("quit") != std::string::npos) break;
        }
        if (!(fds[1].revents & POLLIN)) continue;
        uint8_t request[2048];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            recvfrom(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &length);
        const uint32_t client = ntohl(from.sin_addr.s_addr);
        if (n <= 0 || (client >> 24) != 127) continue;
        std::string note;
        const std::string reply = Answer(request, static_cast<size_t>(n), client, server,
                                         static_cast<uint32_t>(lease), &note);
        if (reply.empty()) continue;
        sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
        if (!note.empty()) {
            std::printf("%s\n", note.c_str());
            std::fflush(stdout);
        }
    }
    close(fd);
    return 0;
}
