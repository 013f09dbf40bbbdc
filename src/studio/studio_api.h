// The Studio's interface as plain calls: a request (method, path, query, body) in, a JSON answer
// out. The server's thread calls the file calls; the simulator's thread, through the job queue,
// calls those that read or change the simulator and the boards.
#pragma once

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

using Json = nlohmann::json;

struct StudioRequest {
    std::string method;  // "GET", "PUT", "POST"
    std::string path;    // "/api/file"
    std::map<std::string, std::string> query;
    std::string body;
};

struct StudioReply {
    int status = 200;
    std::string body;  // JSON text
};

constexpr size_t kStudioBodyLimit = 1024 * 1024;
constexpr size_t kStudioBackupsKept = 10;

// A JSON text that never throws on bytes that are not UTF-8 (they become U+FFFD).
std::string JsonText(const Json& value);
StudioReply JsonReply(int status, const Json& value);
// {"error": word} with the status; detail, when given, as "detail".
StudioReply ErrorReply(int status, const std::string& word, const std::string& detail = "");
// The body as a JSON object; false (and a 400 reply) when it is not one.
bool ParseBody(const StudioRequest& request, Json& body, StudioReply& refusal);

// Files (server's thread): data.cfg and profiles/NAME.cfg of folder, their backups.
StudioReply FilesReply(const std::string& folder, const std::string& inForce);
StudioReply FileReply(const std::string& folder, const StudioRequest& request);
StudioReply SaveFileReply(const std::string& folder, const StudioRequest& request);
StudioReply BackupsReply(const std::string& folder, const StudioRequest& request);
StudioReply BackupReply(const std::string& folder, const StudioRequest& request);
// True when name is data.cfg or profiles/NAME.cfg with a NAME of the allowed form.
bool AllowedFileName(const std::string& name);
// A hash of text as 16 hex digits.
std::string TextVersion(const std::string& text);

// Calls of the simulator's thread.
StudioReply StateReply(int port);
StudioReply TryInputReply(const Json& body);
StudioReply TestOutputReply(const Json& body);
// The checker's verdict on text read as name says, as JSON, its suggestions drawn from the names
// the simulator knows (below).
Json VerdictJson(const std::string& folder, const std::string& name, const std::string& text);
StudioReply CheckReply(const std::string& folder, const Json& body);
// The names the simulator knows that begin with the query's prefix (the live list where the
// simulator gives one, else X-Plane's DataRefs.txt; commands from Commands.txt), made once per
// start-up of the server.
StudioReply NamesReply(const std::string& folder, const StudioRequest& request);
void ForgetKnownNames();
// Learning controls on or off ({"on": bool}); answers {"learning", "seconds_left"}.
StudioReply LearnReply(const Json& body);

// The job queue between the server's thread and the flight loop. A job runs on the simulator's
// thread inside the flight loop's budget; answer gets its reply there and hands it back.
constexpr size_t kStudioJobLimit = 32;
// Queues a job; false when the queue is full (the caller answers 503).
bool QueueStudioJob(std::function<StudioReply()> job, std::function<void(StudioReply&&)> answer);
// Runs queued jobs for at most the flight loop's share of time; answers what ran.
void RunStudioJobs();
// Drops every queued job unanswered (the server stops).
void DropStudioJobs();
