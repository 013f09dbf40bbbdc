#include "simdata/dataref_list.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"

namespace {

constexpr int kPage = 1024;  // handles fetched at a time

using CountDataRefs = int (*)();
using GetDataRefsByIndex = void (*)(int, int, XPLMDataRef*);
using GetDataRefInfo = void (*)(XPLMDataRef, XPLMDataRefInfo_t*);

std::string Array(const char* kind, int size) {
    return std::string(kind) + "[" + std::to_string(std::max(size, 1)) + "]";
}

std::string TypeText(XPLMDataRef ref, int types) {
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "/") + part; };
    if (types & xplmType_Int) add("int");
    if (types & xplmType_Float) add("float");
    if (types & xplmType_Double) add("double");
    if (types & xplmType_IntArray) add(Array("int", XPLMGetDatavi(ref, nullptr, 0, 0)));
    if (types & xplmType_FloatArray) add(Array("float", XPLMGetDatavf(ref, nullptr, 0, 0)));
    if (types & xplmType_Data) add(Array("byte", XPLMGetDatab(ref, nullptr, 0, 0)));
    return text.empty() ? "unknown" : text;
}

bool HasBlank(const char* name) {
    for (const char* c = name; *c; ++c)
        if (*c == ' ' || *c == '\t' || *c == '\r' || *c == '\n') return true;
    return false;
}

// "2 120100 Mon Mar 04 12:00:00 2024": the format of X-Plane 12's list, the simulator's build
// (0 where it does not tell) and the time of writing.
std::string HeaderLine() {
    XPLMDataRef build = XPLMFindDataRef("sim/version/xplane_internal_version");
    char date[64] = "";
    const std::time_t now = std::time(nullptr);
    if (const std::tm* local = std::localtime(&now))
        std::strftime(date, sizeof date, "%a %b %d %H:%M:%S %Y", local);
    return "2 " + std::to_string(build ? XPLMGetDatai(build) : 0) + " " + date + "\n";
}

}  // namespace

bool LiveDatarefList(std::string& text, int& count) {
    const auto countRefs = reinterpret_cast<CountDataRefs>(XPLMFindSymbol("XPLMCountDataRefs"));
    const auto refsByIndex =
        reinterpret_cast<GetDataRefsByIndex>(XPLMFindSymbol("XPLMGetDataRefsByIndex"));
    const auto refInfo = reinterpret_cast<GetDataRefInfo>(XPLMFindSymbol("XPLMGetDataRefInfo"));
    if (!countRefs || !refsByIndex || !refInfo) return false;
    const int total = std::min(countRefs(), kMaxListedDatarefs);
    std::string list = HeaderLine();
    int listed = 0;
    std::vector<XPLMDataRef> page;  // one page at a time, its room made once
    for (int offset = 0; offset < total; offset += kPage) {
        const int n = std::min(total - offset, kPage);
        page.assign(static_cast<size_t>(n), nullptr);
        refsByIndex(offset, n, page.data());
        for (const XPLMDataRef ref : page) {
            if (!ref || !XPLMIsDataRefGood(ref)) continue;
            XPLMDataRefInfo_t info{};
            info.structSize = sizeof info;
            refInfo(ref, &info);
            if (!info.name || !*info.name || HasBlank(info.name)) continue;
            list += std::string(info.name) + "\t" + TypeText(ref, info.type) + "\t" +
                    (info.writable ? "y" : "n") + "\n";
            ++listed;
        }
    }
    text.swap(list);
    count = listed;
    return true;
}
