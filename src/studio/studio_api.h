// The Studio's interface as plain calls: a request (method, path, query, body) in, a JSON answer
// out. The server's thread calls the file calls; the simulator's thread, through the job queue,
// calls those that read or change the simulator and the boards.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "check/verdict.h"

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
// The longest text checked (POST /api/check, and the verdict of a save): a check runs whole in one
// flight-loop call, and one of this size (about 200 entries) stays within the call's budget of 2
// ms.
constexpr size_t kStudioCheckLimit = 8 * 1024;

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
// A check of the simulator's thread whose suggestions are still to be drawn: the verdict, and
// the simulator's names as they were then.
struct PendingVerdict {
    corvane_check::Verdict verdict;
    std::shared_ptr<const std::vector<std::string>> names;
};
// The checker's verdict on text read as name says, without suggestions (simulator's thread).
PendingVerdict CheckOnSimulator(const std::string& name, const std::string& text);
// The suggestions drawn from the names, and the verdict as JSON (server's thread).
Json VerdictJson(PendingVerdict&& pending);
// True when body has the name and text of a check, of at most kStudioCheckLimit bytes; else false
// with the refusal (400, 413).
bool CheckBodyFields(const Json& body, StudioReply& refusal);
// The names the simulator knows that begin with the query's prefix, from the engine's lookup
// (simulator's thread).
StudioReply NamesReply(const StudioRequest& request);
// The full reset of Reconnect, run by a flight-loop callback of its own after the call that
// asked for it (RegisterApply with the reset at the server's start, UnregisterApply at its stop).
void RegisterApply(void (*reset)());
void UnregisterApply();
StudioReply ApplyReply();
// Learning controls on or off ({"on": bool}); answers {"learning", "seconds_left"}.
StudioReply LearnReply(const Json& body);

// The job queue between the server's thread and the flight loop. A job runs on the simulator's
// thread inside the flight loop's budget; answer gets its reply there and hands it back.
constexpr size_t kStudioJobLimit = 32;
// Queues a job; false when the queue is full (the caller answers 503). A heavy job (a check, a name
// lookup) runs only as the first job of a flight-loop call, and ends the call's jobs.
bool QueueStudioJob(std::function<StudioReply()> job, std::function<void(StudioReply&&)> answer,
                    bool heavy = false);
// Runs queued jobs for at most the flight loop's share of time, and at most one heavy job;
// answers what ran.
void RunStudioJobs();
// Drops every queued job unanswered (the server stops).
void DropStudioJobs();
