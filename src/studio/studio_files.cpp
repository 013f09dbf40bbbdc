// The files the Studio may read and write: data.cfg and profiles/NAME.cfg of the plug-in's
// folder, saved atomically with the text they replace kept in backups/.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "config/file_replace.h"
#include "studio/studio_api.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kProfileNameLimit = 64;
constexpr size_t kProfilesListed = 500;
constexpr char kProfilesPrefix[] = "profiles/";
constexpr char kCfgSuffix[] = ".cfg";

bool AllowedProfileName(const std::string& name) {
    if (name.empty() || name.size() > kProfileNameLimit || name[0] == '.') return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ' ';
        if (!ok) return false;
    }
    return true;
}

bool ReadWholeFile(const fs::path& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

std::string IsoTime(std::time_t t) {
    std::tm parts{};
#if defined(_WIN32)
    gmtime_s(&parts, &t);
#else
    gmtime_r(&t, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string ModifiedTime(const fs::path& path) {
    std::error_code error;
    const auto written = fs::last_write_time(path, error);
    if (error) return "";
    const auto now = std::chrono::system_clock::now() +
                     std::chrono::duration_cast<std::chrono::system_clock::duration>(
                         written - fs::file_time_type::clock::now());
    return IsoTime(std::chrono::system_clock::to_time_t(now));
}

// The name's backups are backups/FLAT.ID, FLAT the name with '/' as '~'.
std::string FlatName(const std::string& name) {
    std::string flat = name;
    std::replace(flat.begin(), flat.end(), '/', '~');
    return flat;
}

bool AllowedBackupId(const std::string& id) {
    if (id.size() < 18 || id.size() > 24) return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || c == 'T' || c == 'Z' || c == '-')) return false;
    return true;
}

struct Backup {
    std::string id;
    uintmax_t size{};
};

// "20261208T183000Z-1": the time then the number, newest first.
bool NewerFirst(const Backup& a, const Backup& b) {
    const auto key = [](const Backup& backup) {
        return std::make_pair(backup.id.substr(0, 16), std::atoi(backup.id.c_str() + 17));
    };
    return key(a) > key(b);
}

std::vector<Backup> BackupsOf(const std::string& folder, const std::string& name) {
    std::vector<Backup> found;
    const std::string prefix = FlatName(name) + ".";
    std::error_code error;
    fs::directory_iterator it(fs::path(folder) / "backups", error);
    for (size_t k = 0; !error && it != fs::directory_iterator() && k < 10000;
         it.increment(error), ++k) {
        const std::string file = it->path().filename().string();
        if (file.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string id = file.substr(prefix.size());
        if (!AllowedBackupId(id)) continue;
        std::error_code sizeError;
        found.push_back(Backup{id, fs::file_size(it->path(), sizeError)});
    }
    std::sort(found.begin(), found.end(), NewerFirst);
    return found;
}

// Keeps text as the newest backup of name and the last kStudioBackupsKept of them.
bool KeepBackup(const std::string& folder, const std::string& name, const std::string& text) {
    const fs::path backups = fs::path(folder) / "backups";
    std::error_code error;
    fs::create_directories(backups, error);
    std::time_t now = std::time(nullptr);
    std::tm parts{};
#if defined(_WIN32)
    gmtime_s(&parts, &now);
#else
    gmtime_r(&now, &parts);
#endif
    char stamp[20];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &parts);
    // The number after the largest of this second, so that the backup made now is the newest.
    const size_t length = std::strlen(stamp);
    int number = 1;
    for (const Backup& backup : BackupsOf(folder, name))
        if (backup.id.compare(0, length, stamp) == 0)
            number = std::max(number, std::atoi(backup.id.c_str() + length + 1) + 1);
    const std::string id = std::string(stamp) + "-" + std::to_string(number);
    if (!ReplaceFileContent((backups / (FlatName(name) + "." + id)).string(), text)) return false;
    const std::vector<Backup> all = BackupsOf(folder, name);
    for (size_t k = kStudioBackupsKept; k < all.size(); ++k)
        fs::remove(backups / (FlatName(name) + "." + all[k].id), error);
    return true;
}

}  // namespace

bool AllowedFileName(const std::string& name) {
    if (name == "data.cfg") return true;
    const size_t prefix = sizeof kProfilesPrefix - 1;
    const size_t suffix = sizeof kCfgSuffix - 1;
    if (name.size() <= prefix + suffix || name.compare(0, prefix, kProfilesPrefix) != 0 ||
        name.compare(name.size() - suffix, suffix, kCfgSuffix) != 0)
        return false;
    return AllowedProfileName(name.substr(prefix, name.size() - prefix - suffix));
}

std::string TextVersion(const std::string& text) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

StudioReply FilesReply(const std::string& folder, const std::string& inForce) {
    std::vector<std::string> names;
    std::error_code error;
    if (fs::is_regular_file(fs::path(folder) / "data.cfg", error)) names.push_back("data.cfg");
    std::vector<std::string> profiles;
    fs::directory_iterator it(fs::path(folder) / "profiles", error);
    for (; !error && it != fs::directory_iterator() && profiles.size() < kProfilesListed;
         it.increment(error)) {
        const std::string name = kProfilesPrefix + it->path().filename().string();
        std::error_code kindError;
        if (AllowedFileName(name) && fs::is_regular_file(it->path(), kindError))
            profiles.push_back(name);
    }
    std::sort(profiles.begin(), profiles.end());
    names.insert(names.end(), profiles.begin(), profiles.end());
    Json files = Json::array();
    for (const std::string& name : names) {
        const fs::path path = fs::path(folder) / name;
        std::error_code sizeError;
        files.push_back(Json{{"name", name},
                             {"size", fs::file_size(path, sizeError)},
                             {"modified", ModifiedTime(path)},
                             {"in_force", name == inForce}});
    }
    return JsonReply(200, Json{{"files", files}});
}

StudioReply FileReply(const std::string& folder, const StudioRequest& request) {
    const auto name = request.query.find("name");
    if (name == request.query.end()) return ErrorReply(400, "bad request", "name is missing");
    if (!AllowedFileName(name->second)) return ErrorReply(403, "forbidden");
    std::string text;
    if (!ReadWholeFile(fs::path(folder) / name->second, text))
        return JsonReply(404, Json{{"error", "not found"}, {"version", ""}});
    return JsonReply(200,
                     Json{{"name", name->second}, {"text", text}, {"version", TextVersion(text)}});
}

StudioReply SaveFileReply(const std::string& folder, const StudioRequest& request) {
    const auto name = request.query.find("name");
    if (name == request.query.end()) return ErrorReply(400, "bad request", "name is missing");
    if (!AllowedFileName(name->second)) return ErrorReply(403, "forbidden");
    Json body;
    StudioReply refusal;
    if (!ParseBody(request, body, refusal)) return refusal;
    if (!body.contains("text") || !body["text"].is_string() || !body.contains("base_version") ||
        !body["base_version"].is_string())
        return ErrorReply(400, "bad request", "text and base_version must be texts");
    const std::string text = body["text"].get<std::string>();
    const fs::path path = fs::path(folder) / name->second;
    std::string old;
    const bool existed = ReadWholeFile(path, old);
    const std::string current = existed ? TextVersion(old) : "";
    if (body["base_version"].get<std::string>() != current)
        return JsonReply(
            409,
            Json{
                {"error", "changed"}, {"name", name->second}, {"version", current}, {"text", old}});
    if (existed && !KeepBackup(folder, name->second, old))
        return ErrorReply(500, "not saved", "the backup could not be written");
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (!ReplaceFileContent(path.string(), text))
        return ErrorReply(500, "not saved", "the file could not be written");
    return JsonReply(
        200, Json{{"name", name->second}, {"version", TextVersion(text)}, {"check", nullptr}});
}

StudioReply BackupsReply(const std::string& folder, const StudioRequest& request) {
    const auto name = request.query.find("name");
    if (name == request.query.end()) return ErrorReply(400, "bad request", "name is missing");
    if (!AllowedFileName(name->second)) return ErrorReply(403, "forbidden");
    Json list = Json::array();
    for (const Backup& backup : BackupsOf(folder, name->second)) {
        const std::string& id = backup.id;
        const std::string saved = id.substr(0, 4) + "-" + id.substr(4, 2) + "-" + id.substr(6, 2) +
                                  "T" + id.substr(9, 2) + ":" + id.substr(11, 2) + ":" +
                                  id.substr(13, 2) + "Z";
        list.push_back(Json{{"id", id}, {"size", backup.size}, {"saved", saved}});
    }
    return JsonReply(200, Json{{"backups", list}});
}

StudioReply BackupReply(const std::string& folder, const StudioRequest& request) {
    const auto name = request.query.find("name");
    const auto id = request.query.find("id");
    if (name == request.query.end() || id == request.query.end())
        return ErrorReply(400, "bad request", "name and id are needed");
    if (!AllowedFileName(name->second) || !AllowedBackupId(id->second))
        return ErrorReply(403, "forbidden");
    std::string text;
    if (!ReadWholeFile(fs::path(folder) / "backups" / (FlatName(name->second) + "." + id->second),
                       text))
        return ErrorReply(404, "not found");
    return JsonReply(200, Json{{"name", name->second}, {"id", id->second}, {"text", text}});
}
