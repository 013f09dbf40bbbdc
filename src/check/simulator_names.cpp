#include "check/simulator_names.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"
#include "check/name_lists.h"
#include "config/plugin_folder.h"
#include "simdata/dataref_list.h"

namespace corvane_check {

namespace {

using CountDataRefs = int (*)();
using GetDataRefsByIndex = void (*)(int, int, XPLMDataRef*);
using GetDataRefInfo = void (*)(XPLMDataRef, XPLMDataRefInfo_t*);

constexpr int kPage = 1024;  // live handles fetched at a time

// The types in the order the answer names the first of several.
const char* const kTypeWords[] = {"int", "float", "double", "int[]", "float[]", "data"};

struct NameIndex {
    bool listsRead = false;
    bool listsFound = false;                  // DataRefs.txt and Commands.txt were read
    std::vector<SimulatorName> listDatarefs;  // by name
    std::vector<SimulatorName> commands;      // by name
    bool liveSought = false;
    CountDataRefs countRefs = nullptr;  // the live list's calls, null where there is none
    GetDataRefsByIndex refsByIndex = nullptr;
    GetDataRefInfo refInfo = nullptr;
    int liveRead = 0;                         // live datarefs looked at so far
    bool liveComplete{};                      // every live dataref looked at
    std::vector<SimulatorName> liveDatarefs;  // by name
    // Every name indexed, in no order; shared with the snapshots taken of it, and copied before
    // it grows while one is held.
    std::shared_ptr<std::vector<std::string>> names = std::make_shared<std::vector<std::string>>();
};

NameIndex index;  // the names indexed since the plug-in's start

// The list of every name, to add to: copied first when a snapshot shares it.
std::vector<std::string>& NamesToGrow(NameIndex& x) {
    if (x.names.use_count() > 1) x.names = std::make_shared<std::vector<std::string>>(*x.names);
    return *x.names;
}

bool ByName(const SimulatorName& a, const SimulatorName& b) {
    return a.name < b.name;
}

// The type word of live type bits.
std::string TypeOfBits(int bits) {
    const int kBits[] = {xplmType_Int,      xplmType_Float,      xplmType_Double,
                         xplmType_IntArray, xplmType_FloatArray, xplmType_Data};
    for (size_t k = 0; k < std::size(kBits); ++k)
        if (bits & kBits[k]) return kTypeWords[k];
    return std::string();
}

// The type word of DataRefs.txt's type ("float/double", "int[8]", "byte[260]"), joined by '+'
// in the host format that ReadXPlaneDatarefs gives.
std::string TypeOfListType(const std::string& type) {
    size_t best = std::size(kTypeWords);
    std::istringstream parts(type);
    for (std::string part; std::getline(parts, part, '+');) {
        const size_t bracket = part.find('[');
        std::string word = part.substr(0, bracket);
        if (bracket != std::string::npos) word = word == "byte" ? "data" : word + "[]";
        for (size_t k = 0; k < std::size(kTypeWords); ++k)
            if (word == kTypeWords[k]) best = std::min(best, k);
    }
    return best < std::size(kTypeWords) ? kTypeWords[best] : std::string();
}

bool ReadSmallFile(const std::string& path, std::string& text) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kLargestNameFile) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

// Reads DataRefs.txt and Commands.txt once; after IndexLive, which tells whether there is a live
// list.
void ReadLists(NameIndex& x) {
    if (x.listsRead) return;
    x.listsRead = true;
    const std::string folder = FindListsFromPluginFolder(foldername);
    std::string datarefText, commandText;
    if (folder.empty() || !ReadSmallFile(folder + "/DataRefs.txt", datarefText) ||
        !ReadSmallFile(folder + "/Commands.txt", commandText))
        return;
    x.listsFound = true;
    const NameList datarefs = ReadXPlaneDatarefs(datarefText);
    for (const std::string& line : datarefs.hostLines) {
        // "NAME TYPE rw|ro"
        const size_t first = line.find(' '), last = line.rfind(' ');
        if (first == last) continue;  // no blank, or only one
        x.listDatarefs.push_back(SimulatorName{
            line.substr(0, first), false, TypeOfListType(line.substr(first + 1, last - first - 1)),
            line.compare(last + 1, 2, "rw") == 0});
    }
    for (const std::string& name : ReadXPlaneCommands(commandText).names)
        x.commands.push_back(SimulatorName{name, true, std::string(), false});
    std::sort(x.listDatarefs.begin(), x.listDatarefs.end(), ByName);
    std::sort(x.commands.begin(), x.commands.end(), ByName);
    // The live list, where there is one, names the datarefs already.
    std::vector<std::string>& names = NamesToGrow(x);
    if (!x.countRefs)
        for (const SimulatorName& n : x.listDatarefs) names.push_back(n.name);
    for (const SimulatorName& n : x.commands) names.push_back(n.name);
}

bool HasBlank(const char* name) {
    for (const char* c = name; *c; ++c)
        if (*c == ' ' || *c == '\t' || *c == '\r' || *c == '\n') return true;
    return false;
}

// Indexes the next kLiveRefsPerLookup datarefs of the live list, when the simulator has one.
void IndexLive(NameIndex& x) {
    if (!x.liveSought) {
        x.liveSought = true;
        x.countRefs = reinterpret_cast<CountDataRefs>(XPLMFindSymbol("XPLMCountDataRefs"));
        x.refsByIndex =
            reinterpret_cast<GetDataRefsByIndex>(XPLMFindSymbol("XPLMGetDataRefsByIndex"));
        x.refInfo = reinterpret_cast<GetDataRefInfo>(XPLMFindSymbol("XPLMGetDataRefInfo"));
        if (!x.refsByIndex || !x.refInfo) x.countRefs = nullptr;
    }
    if (!x.countRefs) return;
    const int total = std::min(x.countRefs(), kMaxListedDatarefs);
    const int end = std::min(total, x.liveRead + kLiveRefsPerLookup);
    std::vector<SimulatorName> added;
    std::vector<XPLMDataRef> page;  // one page at a time, its room made once
    for (int offset = x.liveRead; offset < end; offset += kPage) {
        const int n = std::min(kPage, end - offset);
        page.assign(static_cast<size_t>(n), nullptr);
        x.refsByIndex(offset, n, page.data());
        for (const XPLMDataRef ref : page) {
            if (!ref) continue;
            XPLMDataRefInfo_t info{};
            info.structSize = sizeof info;
            x.refInfo(ref, &info);
            // A dataref whose owner has gone has no type.
            if (!info.name || !*info.name || HasBlank(info.name) || info.type == 0) continue;
            added.push_back(
                SimulatorName{info.name, false, TypeOfBits(info.type), info.writable != 0});
        }
    }
    x.liveRead = std::max(x.liveRead, end);
    x.liveComplete = x.liveRead >= total;
    if (added.empty()) return;
    std::vector<std::string>& names = NamesToGrow(x);
    for (const SimulatorName& n : added) names.push_back(n.name);
    std::sort(added.begin(), added.end(), ByName);
    std::vector<SimulatorName> merged;
    merged.reserve(x.liveDatarefs.size() + added.size());
    std::merge(std::make_move_iterator(x.liveDatarefs.begin()),
               std::make_move_iterator(x.liveDatarefs.end()),
               std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()),
               std::back_inserter(merged), ByName);
    x.liveDatarefs.swap(merged);
}

bool BeginsWith(const std::string& name, const std::string& prefix) {
    return name.compare(0, prefix.size(), prefix) == 0;
}

// The first name of list not below prefix.
std::vector<SimulatorName>::const_iterator From(const std::vector<SimulatorName>& list,
                                                const std::string& prefix) {
    return std::lower_bound(
        list.begin(), list.end(), prefix,
        [](const SimulatorName& n, const std::string& p) { return n.name < p; });
}

}  // namespace

NameAnswer LookUpNames(const std::string& prefix, NameKind kind, size_t limit) {
    NameAnswer answer;
    limit = limit == 0 ? kDefaultNameCount : std::min(limit, kMostNameCount);
    IndexLive(index);
    const bool live = index.countRefs != nullptr;
    if (kind != NameKind::Dataref || !live) ReadLists(index);
    answer.complete = !live || index.liveComplete;
    if (kind == NameKind::Command)
        answer.source = index.listsFound ? "lists" : "";
    else
        answer.source = live ? "live" : index.listsFound ? "lists" : "";
    if (prefix.size() > kLongestNamePrefix) return answer;
    static const std::vector<SimulatorName> kNone;
    const std::vector<SimulatorName>& datarefs = kind == NameKind::Command ? kNone
                                                 : live                    ? index.liveDatarefs
                                                                           : index.listDatarefs;
    const std::vector<SimulatorName>& commands = kind == NameKind::Dataref ? kNone : index.commands;
    auto d = From(datarefs, prefix), c = From(commands, prefix);
    while (answer.names.size() < limit) {
        const bool moreD = d != datarefs.end() && BeginsWith(d->name, prefix);
        const bool moreC = c != commands.end() && BeginsWith(c->name, prefix);
        if (!moreD && !moreC) break;
        if (moreD && (!moreC || d->name <= c->name))
            answer.names.push_back(*d++);
        else
            answer.names.push_back(*c++);
    }
    return answer;
}

const std::vector<std::string>& IndexedNames() {
    IndexLive(index);
    ReadLists(index);
    return *index.names;
}

std::shared_ptr<const std::vector<std::string>> SimulatorNamesSnapshot() {
    IndexLive(index);
    ReadLists(index);
    return index.names;
}

void ForgetSimulatorNames() {
    index = NameIndex();
}

}  // namespace corvane_check
