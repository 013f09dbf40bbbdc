// A client of the Studio for the tests on loopback: HTTP requests written out in full, answers read
// by Boost.Beast, and a WebSocket reader, while the test's thread keeps the plug-in's flight loop
// running.
#pragma once

#include <functional>
#include <string>

#include "support/plugin_harness.h"

namespace corvane_test {

// A free TCP port on 127.0.0.1.
int FreeTcpPort();
// A connected socket to 127.0.0.1:port, -1 when it cannot connect.
int ConnectTo(int port);

struct HttpAnswer {
    int status = 0;  // 0: the connection ended without an answer
    std::string head;
    std::string body;
};

// Sends raw on a new connection and reads the answer, calling call (a flight-loop call) until it
// comes.
HttpAnswer ExchangeWhile(int port, const std::string& raw, const std::function<void()>& call);
// The same with the plug-in's flight loop in this process.
HttpAnswer Exchange(PluginRun& run, int port, const std::string& raw);
// A request with the usual headers: Host 127.0.0.1:port, the token header when token is not
// empty, the body as application/json when not empty.
std::string Request(const std::string& method, const std::string& target, int port,
                    const std::string& token, const std::string& body = "");

// The live feed over one WebSocket.
class LiveClient {
  public:
    // Opens /api/live with the token cookie and the Origin given; status() is the server's answer.
    LiveClient(int port, const std::string& token, const std::string& origin);
    ~LiveClient();
    int status() const { return status_; }
    // The next text message, waiting while the plug-in runs at most `calls` flight-loop calls;
    // "" when none came. calls counts the calls it took.
    std::string Next(PluginRun& run, int limit, int* calls = nullptr);
    // The next message of the given event with the given text in it.
    std::string NextWith(PluginRun& run, const std::string& needle, int limit,
                         int* calls = nullptr);

  private:
    bool TakeMessage(std::string& message);
    int s_ = -1;
    int status_ = 0;
    std::string pending_;
};

}  // namespace corvane_test
