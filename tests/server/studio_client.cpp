#include "server/studio_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <cstdlib>
#include <future>
#include <sstream>

namespace corvane_test {

namespace {

namespace http = boost::beast::http;
using boost::asio::ip::tcp;

tcp::endpoint Loopback(int port) {
    return {boost::asio::ip::address_v4::loopback(), static_cast<unsigned short>(port)};
}

bool ReadSome(int s, std::string& into, int waitMs) {
    pollfd p{s, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return false;
    char chunk[65536];
    const ssize_t n = recv(s, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    into.append(chunk, static_cast<size_t>(n));
    return true;
}

}  // namespace

int FreeTcpPort() {
    boost::asio::io_context io;
    return tcp::acceptor(io, Loopback(0)).local_endpoint().port();
}

int ConnectTo(int port) {
    boost::asio::io_context io;
    tcp::socket s(io);
    boost::system::error_code failed;
    s.connect(Loopback(port), failed);
    return failed ? -1 : s.release();
}

HttpAnswer Exchange(PluginRun& run, int port, const std::string& raw) {
    return ExchangeWhile(port, raw, [&] { run.Call(); });
}

HttpAnswer ExchangeWhile(int port, const std::string& raw, const std::function<void()>& call) {
    auto answer = std::async(std::launch::async, [port, raw] {
        HttpAnswer got;
        boost::asio::io_context io;
        tcp::socket s(io);
        boost::system::error_code failed;
        s.connect(Loopback(port), failed);
        if (!failed) boost::asio::write(s, boost::asio::buffer(raw), failed);
        boost::beast::flat_buffer buffer;
        http::response<http::string_body> response;
        if (!failed) http::read(s, buffer, response, failed);
        if (failed) return got;
        std::ostringstream head;
        head << response.base();
        got = {static_cast<int>(response.result_int()), head.str(), response.body()};
        return got;
    });
    while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) call();
    return answer.get();
}

std::string Request(const std::string& method, const std::string& target, int port,
                    const std::string& token, const std::string& body) {
    std::string raw =
        method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    if (!token.empty()) raw += "X-Corvane-Token: " + token + "\r\n";
    if (!body.empty() || method == "POST" || method == "PUT")
        raw += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\n";
    return raw + "Connection: close\r\n\r\n" + body;
}

LiveClient::LiveClient(int port, const std::string& token, const std::string& origin) {
    s_ = ConnectTo(port);
    const std::string raw =
        "GET /api/live HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
        "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
        "Origin: " +
        origin + "\r\nCookie: corvane_token=" + token + "\r\n\r\n";
    send(s_, raw.data(), raw.size(), MSG_NOSIGNAL);
    std::string data;
    size_t end = std::string::npos;
    while ((end = data.find("\r\n\r\n")) == std::string::npos)
        if (!ReadSome(s_, data, 20000)) return;
    status_ = std::atoi(data.c_str() + 9);
    pending_ = data.substr(end + 4);
}

LiveClient::~LiveClient() {
    if (s_ >= 0) close(s_);
}

bool LiveClient::TakeMessage(std::string& message) {
    if (pending_.size() < 2) return false;
    const unsigned char* b = reinterpret_cast<const unsigned char*>(pending_.data());
    size_t length = b[1] & 0x7F;
    size_t head = 2;
    if (length == 126) {
        if (pending_.size() < 4) return false;
        length = (static_cast<size_t>(b[2]) << 8) | b[3];
        head = 4;
    } else if (length == 127) {
        if (pending_.size() < 10) return false;
        length = 0;
        for (int k = 2; k < 10; ++k) length = (length << 8) | b[k];
        head = 10;
    }
    if (pending_.size() < head + length) return false;
    const int opcode = b[0] & 0x0F;
    message = pending_.substr(head, length);
    pending_.erase(0, head + length);
    if (opcode != 1) message.clear();  // pings and the like are not events
    return true;
}

std::string LiveClient::Next(PluginRun& run, int limit, int* calls) {
    for (int k = 0; k <= limit; ++k) {
        std::string message;
        if (ReadSome(s_, pending_, 5))
            while (ReadSome(s_, pending_, 0)) {
            }
        while (TakeMessage(message))
            if (!message.empty()) {
                if (calls) *calls = k;
                return message;
            }
        if (k < limit) run.Call();
    }
    return "";
}

std::string LiveClient::NextWith(PluginRun& run, const std::string& needle, int limit, int* calls) {
    int used = 0;
    for (;;) {
        int took = 0;
        const std::string message = Next(run, limit - used, &took);
        used += took;
        if (message.empty()) return "";
        if (message.find(needle) != std::string::npos) {
            if (calls) *calls = used;
            return message;
        }
    }
}

}  // namespace corvane_test
