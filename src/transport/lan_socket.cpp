#include "transport/lan_socket.h"

#include <algorithm>
#include <cstring>

#include "config/board_tables.h"
#include "config/settings.h"
#include "transport/serial_ports.h"

int sock = 0;
sockaddr_in serv_addr{};
socklen_t addrLength = 0;
std::string My_IP;
std::string My_IP_str;
std::string Base_IP;
std::vector<int> UsedAddr;
std::vector<int> NetworkIndices;
unsigned long ForeignDatagrams = 0;

namespace {

// The own /24 prefix in host byte order (its last part 0); valid only when ownPrefixKnown.
uint32_t ownPrefix = 0;
bool ownPrefixKnown = false;

// Leading decimal digits of text read as a number; -1 when there are none or they overflow.
int LeadingNumber(const std::string& text) {
    long value = 0;
    size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > 1000000) return -1;
        ++i;
    }
    return i == 0 ? -1 : static_cast<int>(value);
}

}  // namespace

std::string ChooseOwnAddress(const std::string& specified, const std::string& found) {
    const long dots = std::count(specified.begin(), specified.end(), '.');
    return (specified.size() > 6 && dots >= 3) ? specified : found;
}

int HostNumberOf(const std::string& dotted) {
    const size_t dot = dotted.rfind('.');
    return LeadingNumber(dot == std::string::npos ? dotted : dotted.substr(dot + 1));
}

void SetUpLan() {
    const uint16_t port = static_cast<uint16_t>(UDP_PORT & 0xFFFF);
    sock = OpenLanSocket(port);
    My_IP = FindInterfaceAddress();
    std::memset(&serv_addr, 0, sizeof serv_addr);
    serv_addr.sin_family = AF_INET;
    serv_addr.sin_port = htons(port);
    serv_addr.sin_addr.s_addr = htonl(INADDR_ANY);

    My_IP_str = ChooseOwnAddress(SpecifiedIP, My_IP);

    int seen = 0;
    for (size_t p = 0; p < My_IP_str.size(); ++p) {
        if (My_IP_str[p] != '.' || ++seen != 3) continue;
        Base_IP = My_IP_str.substr(0, p + 1);
        UsedAddr.push_back(LeadingNumber(My_IP_str.substr(p + 1)));
        NetworkIndices.push_back(-1);
        break;
    }
    in_addr prefix{};
    ownPrefixKnown = !Base_IP.empty() && inet_pton(AF_INET, (Base_IP + "0").c_str(), &prefix) == 1;
    ownPrefix = ownPrefixKnown ? ntohl(prefix.s_addr) & 0xFFFFFF00u : 0;
    addrLength = sizeof(sockaddr_in);
}

bool FromCockpitNetwork(const sockaddr_in& address) {
    return ownPrefixKnown && (ntohl(address.sin_addr.s_addr) & 0xFFFFFF00u) == ownPrefix;
}

bool ProbeAddress(int host, sockaddr_in& to) {
    if (!ownPrefixKnown || host < 0 || host > 255) return false;
    std::memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(UDP_PORT & 0xFFFF));
    to.sin_addr.s_addr = htonl(ownPrefix | static_cast<uint32_t>(host));
    return true;
}

int LanConnectionExists(bool add) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &serv_addr.sin_addr, text, sizeof text);
    const int host = HostNumberOf(text);
    for (size_t k = 0; k < UsedAddr.size(); ++k) {
        if (UsedAddr[k] != host) continue;
        return k == 0 ? -1 : NetworkIndices[k];
    }
    if (!add) return -1;
    const int n = BoardCount();
    UsedAddr.push_back(host);
    NetworkIndices.push_back(n);
    return n;
}

void ClearLanState() {
    My_IP.clear();
    My_IP_str.clear();
    Base_IP.clear();
    UsedAddr.clear();
    NetworkIndices.clear();
    ownPrefixKnown = false;
    ownPrefix = 0;
    ForeignDatagrams = 0;
    addrLength = 0;
}
