// The Studio's server: HTTP and the live feed's WebSocket on 127.0.0.1, on one thread of its own.
// Everything of Boost.Asio and Boost.Beast is in this file.
#include <algorithm>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "config/aircraft_profile.h"
#include "config/live_events.h"
#include "config/plugin_log.h"
#include "config/status_text.h"
#include "studio/studio.h"
#include "studio/studio_api.h"
#include "studio/studio_live.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

std::string StudioAddress;
std::string StudioToken;

namespace {

constexpr int kMaxConnections = 16;
// A request must arrive whole within this time, and a connection idle for it is closed.
constexpr auto kRequestTimeout = std::chrono::seconds(10);
// After a refused body the connection is read (and the rest thrown away) at most this long.
constexpr auto kDrainTimeout = std::chrono::seconds(2);
constexpr size_t kHeaderLimit = 16 * 1024;
constexpr size_t kLiveQueueLimit = 1024;  // messages waiting for one live client
constexpr size_t kLiveReadLimit = 4096;   // what a live client may send in one message
constexpr size_t kStaticFileLimit = 64;
constexpr char kCookieName[] = "corvane_token";

class HttpSession;
class LiveSession;

// Counts an open connection for as long as it lives.
class Slot {
  public:
    explicit Slot(int* count) : count_(count) { ++*count_; }
    Slot(Slot&& other) noexcept : count_(std::exchange(other.count_, nullptr)) {}
    Slot& operator=(Slot&&) = delete;
    ~Slot() {
        if (count_) --*count_;
    }

  private:
    int* count_;
};

// Declared first so that they outlive the I/O context, whose handlers hold the sessions.
struct Server {
    int port{};
    std::string folder;
    std::string inForce;
    std::vector<std::string> staticFiles;
    int connections = 0;
    int liveClients = 0;
    std::vector<std::weak_ptr<HttpSession>> httpSessions;
    std::vector<std::weak_ptr<LiveSession>> liveSessions;
    asio::io_context ioc{1};
    tcp::acceptor acceptor{ioc};
    asio::steady_timer acceptRetry{ioc};
    std::thread thread;

    void Accept();
    void Broadcast();
    void Shutdown();
};

std::unique_ptr<Server> server;  // the running server; simulator's thread

// ---- request rules ----

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (size_t k = 0; k < a.size(); ++k) difference |= static_cast<unsigned char>(a[k] ^ b[k]);
    return difference == 0;
}

bool HostAllowed(const Server& s, beast::string_view host) {
    const std::string port = ":" + std::to_string(s.port);
    return host == "127.0.0.1" + port || host == "localhost" + port;
}

bool OriginAllowed(const Server& s, beast::string_view origin) {
    const std::string port = ":" + std::to_string(s.port);
    return origin == "http://127.0.0.1" + port || origin == "http://localhost" + port;
}

std::string CookieToken(beast::string_view cookies) {
    const std::string text(cookies);
    const std::string name = std::string(kCookieName) + "=";
    for (size_t at = text.find_first_not_of("; "); at != std::string::npos;) {
        const size_t end = std::min(text.find(';', at), text.size());
        if (text.compare(at, name.size(), name) == 0)
            return text.substr(at + name.size(), end - at - name.size());
        at = text.find_first_not_of("; ", end);
    }
    return "";
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes '+' and %XX. A '%' too near the end reads the text's ending NUL, no hex digit, and
// stays as it is.
std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '+') {
            out += ' ';
        } else if (text[k] == '%' && HexValue(text[k + 1]) >= 0 && HexValue(text[k + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[k + 1]) * 16 + HexValue(text[k + 2]));
            k += 2;
        } else {
            out += text[k];
        }
    }
    return out;
}

void SplitTarget(beast::string_view target, StudioRequest& request) {
    const std::string text(target);
    const size_t mark = text.find('?');
    request.path = text.substr(0, mark);
    if (mark == std::string::npos) return;
    std::istringstream pairs(text.substr(mark + 1));
    std::string pair;
    while (std::getline(pairs, pair, '&')) {
        const size_t equals = pair.find('=');
        if (equals == std::string::npos) continue;
        request.query[Unescape(pair.substr(0, equals))] = Unescape(pair.substr(equals + 1));
    }
}

const char* ContentTypeOf(const std::string& name) {
    const std::string extension = name.substr(name.rfind('.') + 1);
    if (extension == "html") return "text/html; charset=utf-8";
    if (extension == "css") return "text/css; charset=utf-8";
    if (extension == "js") return "text/javascript; charset=utf-8";
    if (extension == "svg") return "image/svg+xml";
    if (extension == "png") return "image/png";
    return "image/x-icon";
}

bool StaticName(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() > 64) return false;
    for (size_t k = 0; k < dot; ++k) {
        const char c = name[k];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    }
    const std::string extension = name.substr(dot + 1);
    return extension == "html" || extension == "css" || extension == "js" || extension == "svg" ||
           extension == "png" || extension == "ico";
}

std::vector<std::string> ListStaticFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(std::filesystem::path(folder) / "studio", error);
    for (size_t k = 0; !error && it != std::filesystem::directory_iterator() && k < 1000;
         it.increment(error), ++k) {
        const std::string name = it->path().filename().string();
        std::error_code kind;
        if (StaticName(name) && it->is_regular_file(kind) && names.size() < kStaticFileLimit)
            names.push_back(name);
    }
    return names;
}

// ---- the live feed ----

class LiveSession : public std::enable_shared_from_this<LiveSession> {
  public:
    LiveSession(Server& s, Slot slot, tcp::socket socket)
        : server_(s), slot_(std::move(slot)), ws_(std::move(socket)) {
        ++server_.liveClients;
        LiveFeedOn.store(true);
    }
    ~LiveSession() { LiveFeedOn.store(--server_.liveClients > 0); }

    void Start(http::request<http::string_body> request) {
        websocket::stream_base::timeout timeouts =
            websocket::stream_base::timeout::suggested(beast::role_type::server);
        timeouts.keep_alive_pings = true;
        ws_.set_option(timeouts);
        ws_.read_message_max(kLiveReadLimit);
        // Counted since made and listed before the handshake's answer leaves, so that no event of
        // the calls after it is missed: what comes before the handshake is done waits in the
        // queue. A handshake that fails uncounts it with the session.
        server_.liveSessions.push_back(shared_from_this());
        ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
            if (error) return;
            self->accepted_ = true;
            self->Read();
            if (!self->queue_.empty()) self->Write();
        });
    }

    void Push(const std::string& message) {
        if (accepted_ && !ws_.is_open()) return;
        if (queue_.size() >= kLiveQueueLimit) {
            Close();  // a client that does not keep up is let go, not waited for
            return;
        }
        queue_.push_back(message);
        if (accepted_ && !writing_) Write();
    }

    void Close() {
        beast::error_code ignored;
        beast::get_lowest_layer(ws_).socket().close(ignored);
    }

  private:
    void Read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, size_t) {
            if (error) return;
            self->buffer_.clear();  // the feed takes nothing from the page
            self->Read();
        });
    }

    void Write() {
        writing_ = true;
        ws_.text(true);
        ws_.async_write(asio::buffer(queue_.front()),
                        [self = shared_from_this()](beast::error_code error, size_t) {
                            self->writing_ = false;
                            if (error) {
                                self->queue_.clear();
                                self->Close();
                                return;
                            }
                            self->queue_.pop_front();
                            if (!self->queue_.empty()) self->Write();
                        });
    }

    Server& server_;
    Slot slot_;
    websocket::stream<beast::tcp_stream> ws_;
    beast::flat_buffer buffer_;
    std::deque<std::string> queue_;
    bool writing_ = false;
    bool accepted_ = false;  // the handshake is done: the queue may be written
};

// ---- HTTP ----

class HttpSession : public std::enable_shared_from_this<HttpSession> {
  public:
    HttpSession(Server& s, tcp::socket socket)
        : server_(s), slot_(&s.connections), stream_(std::move(socket)) {}

    void Start() {
        server_.httpSessions.push_back(shared_from_this());
        Read();
    }

    void Close() {
        beast::error_code ignored;
        stream_.socket().close(ignored);
    }

    // The answer of a job, back from the flight loop.
    void Answer(StudioReply reply) { Send(reply.status, std::move(reply.body)); }

  private:
    void Read() {
        parser_.emplace();
        parser_->body_limit(kStudioBodyLimit);
        parser_->header_limit(kHeaderLimit);
        stream_.expires_after(kRequestTimeout);
        http::async_read(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code error, size_t) { self->OnRead(error); });
    }

    void OnRead(beast::error_code error) {
        if (error == http::error::body_limit || error == http::error::header_limit) {
            keepAlive_ = false;
            Send(413, JsonText(Json{{"error", "too large"}}));
            return;
        }
        if (error) {
            Close();
            return;
        }
        http::request<http::string_body>& request = parser_->get();
        keepAlive_ = request.keep_alive();
        if (!HostAllowed(server_, request[http::field::host])) {
            Send(403, JsonText(Json{{"error", "forbidden"}}));
            return;
        }
        StudioRequest call;
        call.method = std::string(request.method_string());
        SplitTarget(request.target(), call);
        if (call.path.compare(0, 5, "/api/") != 0) {
            ServeStatic(call);
            return;
        }
        const std::string header(request["X-Corvane-Token"]);
        const std::string cookie = CookieToken(request[http::field::cookie]);
        const bool headerOk = SameText(header, StudioToken);
        if (!headerOk && !SameText(cookie, StudioToken)) {
            Send(401, JsonText(Json{{"error", "token"}}));
            return;
        }
        if (websocket::is_upgrade(request)) {
            Upgrade(call, request);
            return;
        }
        const bool changes =
            request.method() == http::verb::put || request.method() == http::verb::post;
        if (changes) {
            if (!headerOk) {
                Send(401, JsonText(Json{{"error", "token"}}));
                return;
            }
            const std::string type(request[http::field::content_type]);
            if (type.compare(0, 16, "application/json") != 0 ||
                (type.size() > 16 && type[16] != ';' && type[16] != ' ')) {
                Send(415, JsonText(Json{{"error", "media type"}}));
                return;
            }
        }
        call.body = std::move(request.body());
        Route(call);
    }

    void Upgrade(const StudioRequest& call, http::request<http::string_body>& request) {
        if (call.path != "/api/live") {
            Send(404, JsonText(Json{{"error", "not found"}}));
            return;
        }
        if (!OriginAllowed(server_, request[http::field::origin])) {
            Send(403, JsonText(Json{{"error", "forbidden"}}));
            return;
        }
        auto live =
            std::make_shared<LiveSession>(server_, std::move(slot_), stream_.release_socket());
        live->Start(std::move(request));
    }

    // Runs work on the simulator's thread and answers what it gives.
    void Queue(std::function<StudioReply()> work, bool heavy = false) {
        asio::io_context& ioc = server_.ioc;
        auto answer = [self = shared_from_this(), &ioc](StudioReply&& reply) {
            asio::post(ioc, [self, reply = std::move(reply)]() mutable {
                self->Answer(std::move(reply));
            });
        };
        if (!QueueStudioJob(std::move(work), std::move(answer), heavy))
            Send(503, JsonText(Json{{"error", "busy"}}));
    }

    // Checks text on the simulator's thread, then draws the suggestions and makes the JSON on
    // this one, where finish puts the verdict into the answer. False when the queue is full.
    bool QueueCheck(const std::string& name, std::string text,
                    std::function<StudioReply(Json&&)> finish) {
        auto pending = std::make_shared<PendingVerdict>();
        auto work = [pending, name, text = std::move(text)] {
            *pending = CheckOnSimulator(name, text);
            return StudioReply{};
        };
        asio::io_context& ioc = server_.ioc;
        auto answer = [self = shared_from_this(), &ioc, pending,
                       finish = std::move(finish)](StudioReply&&) {
            asio::post(ioc, [self, pending, finish] {
                self->Answer(finish(VerdictJson(std::move(*pending))));
            });
        };
        return QueueStudioJob(std::move(work), std::move(answer), true);
    }

    void Route(const StudioRequest& call) {
        const std::string& path = call.path;
        const std::string& method = call.method;
        auto only = [&](const char* allowed) {
            if (method == allowed) return true;
            Send(405, JsonText(Json{{"error", "method"}}));
            return false;
        };
        const std::string& folder = server_.folder;
        if (path == "/api/state") {
            if (!only("GET")) return;
            const int port = server_.port;
            Queue([port] { return StateReply(port); });
        } else if (path == "/api/files") {
            if (only("GET")) Reply(FilesReply(folder, server_.inForce));
        } else if (path == "/api/file") {
            if (method == "GET")
                Reply(FileReply(folder, call));
            else if (only("PUT"))
                Save(call);
        } else if (path == "/api/backups") {
            if (only("GET")) Reply(BackupsReply(folder, call));
        } else if (path == "/api/backup") {
            if (only("GET")) Reply(BackupReply(folder, call));
        } else if (path == "/api/apply") {
            if (only("POST")) QueueBody(call, [](const Json&) { return ApplyReply(); });
        } else if (path == "/api/test-output") {
            if (only("POST")) QueueBody(call, TestOutputReply);
        } else if (path == "/api/try-input") {
            if (only("POST")) QueueBody(call, TryInputReply);
        } else if (path == "/api/learn") {
            if (only("POST")) QueueBody(call, LearnReply);
        } else if (path == "/api/check") {
            if (only("POST")) Check(call);
        } else if (path == "/api/names") {
            if (only("GET")) Queue([call] { return NamesReply(call); }, true);
        } else if (path == "/api/live") {
            Send(400, JsonText(Json{{"error", "bad request"}, {"detail", "a WebSocket upgrade"}}));
        } else {
            Send(404, JsonText(Json{{"error", "not found"}}));
        }
    }

    // Saves on this thread, then has the flight loop check the saved text and this thread add the
    // verdict ("check" stays null when the queue is full or the text is over kStudioCheckLimit).
    void Save(const StudioRequest& call) {
        StudioReply saved = SaveFileReply(server_.folder, call);
        if (saved.status != 200) {
            Reply(saved);
            return;
        }
        Json answer = Json::parse(saved.body);
        const std::string name = answer["name"].get<std::string>();
        std::string text = Json::parse(call.body)["text"].get<std::string>();
        answer["check"] = nullptr;
        if (text.size() > kStudioCheckLimit) {
            Reply(JsonReply(200, answer));
            return;
        }
        auto finish = [answer](Json&& verdict) mutable {
            answer["check"] = std::move(verdict);
            return JsonReply(200, answer);
        };
        if (!QueueCheck(name, std::move(text), std::move(finish))) Reply(JsonReply(200, answer));
    }

    void Check(const StudioRequest& call) {
        Json body;
        StudioReply refusal;
        if (!ParseBody(call, body, refusal) || !CheckBodyFields(body, refusal)) {
            Reply(refusal);
            return;
        }
        const std::string name = body["name"].get<std::string>();
        auto finish = [](Json&& verdict) { return JsonReply(200, verdict); };
        if (!QueueCheck(name, body["text"].get<std::string>(), finish))
            Send(503, JsonText(Json{{"error", "busy"}}));
    }

    void QueueBody(const StudioRequest& call, std::function<StudioReply(const Json&)> work) {
        Json body;
        StudioReply refusal;
        if (!ParseBody(call, body, refusal)) {
            Reply(refusal);
            return;
        }
        Queue([work = std::move(work), body = std::move(body)] { return work(body); });
    }

    void Reply(const StudioReply& reply) { Send(reply.status, reply.body); }

    void ServeStatic(const StudioRequest& call) {
        if (call.method != "GET") {
            Send(405, JsonText(Json{{"error", "method"}}));
            return;
        }
        const std::string name = call.path == "/" ? "index.html" : call.path.substr(1);
        const auto& files = server_.staticFiles;
        std::string content;
        if (std::find(files.begin(), files.end(), name) != files.end()) {
            std::ifstream file(std::filesystem::path(server_.folder) / "studio" / name,
                               std::ios::binary);
            std::ostringstream text;
            text << file.rdbuf();
            if (file) content = text.str();
        }
        if (content.empty()) {
            Send(404, JsonText(Json{{"error", "not found"}}));
            return;
        }
        std::string cookie;
        const auto token = call.query.find("token");
        if (call.path == "/" && token != call.query.end() && SameText(token->second, StudioToken))
            cookie = std::string(kCookieName) + "=" + StudioToken +
                     "; HttpOnly; SameSite=Strict; Path=/";
        Send(200, std::move(content), ContentTypeOf(name), cookie);
    }

    void Send(int status, std::string body, const char* type = "application/json",
              const std::string& cookie = "") {
        auto response = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(status), 11);
        response->set(http::field::content_type, type);
        response->set(http::field::cache_control, "no-store");
        response->set("X-Content-Type-Options", "nosniff");
        response->set("Referrer-Policy", "no-referrer");
        if (!cookie.empty()) response->set(http::field::set_cookie, cookie);
        response->keep_alive(keepAlive_);
        response->body() = std::move(body);
        response->prepare_payload();
        stream_.expires_after(kRequestTimeout);
        http::async_write(stream_, *response,
                          [self = shared_from_this(), response](beast::error_code error, size_t) {
                              if (error) return self->Close();
                              if (!response->keep_alive()) return self->Drain();
                              self->Read();
                          });
    }

    // The connection ends: what the client still sends is read and thrown away for a while, so
    // that it sees the answer before the connection goes.
    void Drain() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(kDrainTimeout);
        DrainMore();
    }

    void DrainMore() {
        stream_.async_read_some(asio::buffer(scratch_),
                                [self = shared_from_this()](beast::error_code error, size_t) {
                                    if (error) return self->Close();
                                    self->DrainMore();
                                });
    }

    Server& server_;
    Slot slot_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    bool keepAlive_{};  // set from each request before its answer
    char scratch_[4096];
};

// ---- the server ----

void Server::Accept() {
    acceptor.async_accept(ioc, [this](beast::error_code error, tcp::socket socket) {
        if (!acceptor.is_open()) return;
        if (error) {
            // Out of descriptors, or the like: try again a little later, not in a busy loop.
            acceptRetry.expires_after(std::chrono::milliseconds(100));
            acceptRetry.async_wait([this](beast::error_code waited) {
                if (!waited) Accept();
            });
            return;
        }
        if (connections >= kMaxConnections) {
            beast::error_code ignored;
            socket.close(ignored);
        } else {
            std::make_shared<HttpSession>(*this, std::move(socket))->Start();
        }
        httpSessions.erase(std::remove_if(httpSessions.begin(), httpSessions.end(),
                                          [](const auto& w) { return w.expired(); }),
                           httpSessions.end());
        Accept();
    });
}

void Server::Broadcast() {
    const std::vector<std::string> messages = TakeLiveMessages();
    liveSessions.erase(std::remove_if(liveSessions.begin(), liveSessions.end(),
                                      [](const auto& w) { return w.expired(); }),
                       liveSessions.end());
    for (const auto& weak : liveSessions)
        if (auto live = weak.lock())
            for (const std::string& message : messages) live->Push(message);
}

void Server::Shutdown() {
    beast::error_code ignored;
    acceptor.close(ignored);
    acceptRetry.cancel();
    for (const auto& weak : httpSessions)
        if (auto session = weak.lock()) session->Close();
    for (const auto& weak : liveSessions)
        if (auto live = weak.lock()) live->Close();
    ioc.stop();
}

// The flight loop's share: the jobs, then the live events of the call.
void CallWork() {
    RunStudioJobs();
    if (server && HandOverLiveEvents()) {
        Server* s = server.get();
        asio::post(s->ioc, [s] { s->Broadcast(); });
    }
}

std::string NewToken() {
    std::random_device source;
    std::string token;
    for (int k = 0; k < 4; ++k) {
        const unsigned int word = source();
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", word);
        token += hex;
    }
    return token;
}

void ShowStudioLine(const std::string& text) {
    SetStatusLine(kStudioLine, "   " + text);
}

}  // namespace

void StartStudio(int port, const std::string& folder, void (*reset)()) {
    StopStudio();
    if (port <= 0) return;
    if (StudioToken.empty()) StudioToken = NewToken();
    auto s = std::make_unique<Server>();
    s->port = port;
    s->folder = folder;
    s->inForce = ConfigFileInForce;
    s->staticFiles = ListStaticFiles(folder);
    beast::error_code error;
    const tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"),
                                 static_cast<unsigned short>(port));
    s->acceptor.open(endpoint.protocol(), error);
#if !defined(_WIN32)
    // A port left in TIME_WAIT by the server before a reset is taken again at once (on Windows
    // the same option would let another program share the port).
    if (!error) s->acceptor.set_option(asio::socket_base::reuse_address(true), error);
#endif
    if (!error) s->acceptor.bind(endpoint, error);
    if (!error) s->acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        const std::string why =
            "Studio could not listen on 127.0.0.1:" + std::to_string(port) + ": " + error.message();
        WriteLog("\n" + why);
        ShowStudioLine("Corvane: " + why);
        return;
    }
    StudioAddress = "http://127.0.0.1:" + std::to_string(port) + "/?token=" + StudioToken;
    WriteLog("\nStudio at " + StudioAddress);
    ShowStudioLine("Corvane: Studio at " + StudioAddress);
    RegisterApply(reset);
    server = std::move(s);
    LiveEventSink = TakeLiveEvent;
    StudioCallWork = CallWork;
    server->Accept();
    Server* running = server.get();
    server->thread = std::thread([running] {
        for (;;) {
            try {
                running->ioc.run();
                return;
            } catch (...) {
                // A handler that threw loses its connection; the server goes on.
            }
        }
    });
}

void StopStudio() {
    if (!server) return;
    LiveFeedOn.store(false);
    StudioCallWork = nullptr;
    LiveEventSink = nullptr;
    Server* s = server.get();
    asio::post(s->ioc, [s] { s->Shutdown(); });
    if (s->thread.joinable()) s->thread.join();
    DropStudioJobs();
    ClearLiveEvents();
    UnregisterApply();
    server.reset();
    LiveFeedOn.store(false);
    StudioAddress.clear();
}
