// X-Plane 12's run-time names: the list of every dataref by index, the notification of datarefs
// added, the features a plug-in asks for and XPLMFindSymbol, through which a plug-in that must
// still load in X-Plane 11 reaches the calls that only X-Plane 12 has.
#include <cstdint>
#include <cstring>

#include "XPLMDataAccess.h"
#include "XPLMPlugin.h"
#include "XPLMUtilities.h"
#include "host_state.h"

namespace xphost {
namespace detail {

namespace {

constexpr char kDatarefNotifications[] = "XPLM_WANTS_DATAREF_NOTIFICATIONS";

bool IsXPlane12() {
    return S().simulatorVersion >= 12;
}

}  // namespace

void ResetRunTimeNames() {
    auto& s = S();
    s.simulatorVersion = 12;
    s.datarefNotifications = false;
    s.datarefsAdded = false;
}

void NotifyDatarefsAdded() {
    auto& s = S();
    if (!s.datarefsAdded) return;
    s.datarefsAdded = false;
    if (!s.datarefNotifications || !IsXPlane12()) return;
    const std::intptr_t count = static_cast<std::intptr_t>(s.datarefs.size());
    SendPluginMessage(XPLM_MSG_DATAREFS_ADDED, reinterpret_cast<void*>(count));
}

}  // namespace detail

void SetSimulatorVersion(int major) {
    detail::S().simulatorVersion = major;
}

bool Unregister(const std::string& name) {
    auto& s = detail::S();
    auto dataref = s.datarefIndex.find(name);
    if (dataref != s.datarefIndex.end() && s.datarefs[dataref->second].alive) {
        detail::ClearDataRef(s.datarefs[dataref->second]);
        return true;
    }
    auto command = s.commandIndex.find(name);
    if (command == s.commandIndex.end() || !s.commands[command->second].alive) return false;
    s.commands[command->second].alive = false;
    return true;
}

}  // namespace xphost

using xphost::detail::S;

// Every record counts, dead ones too: X-Plane keeps a dataref's index when its owner goes.
int XPLMCountDataRefs(void) {
    return static_cast<int>(S().datarefs.size());
}

void XPLMGetDataRefsByIndex(int offset, int count, XPLMDataRef* outDataRefs) {
    if (outDataRefs == nullptr || offset < 0) return;
    const std::size_t total = S().datarefs.size();
    for (int k = 0; k < count; ++k) {
        const std::size_t index = static_cast<std::size_t>(offset) + static_cast<std::size_t>(k);
        outDataRefs[k] = index < total ? xphost::detail::HandleOfDataRef(index) : nullptr;
    }
}

void XPLMGetDataRefInfo(XPLMDataRef inDataRef, XPLMDataRefInfo_t* outInfo) {
    if (outInfo == nullptr || outInfo->structSize < static_cast<int>(sizeof(XPLMDataRefInfo_t)))
        return;
    std::uint64_t serial = 0;
    outInfo->name = nullptr;
    outInfo->type = xplmType_Unknown;
    outInfo->writable = 0;
    outInfo->owner = XPLM_NO_PLUGIN_ID;
    if (!xphost::detail::HandleSerial(inDataRef, xphost::detail::Kind::DataRef, &serial) ||
        serial >= S().datarefs.size())
        return;
    const xphost::detail::DataRef& ref = S().datarefs[serial];
    outInfo->name = ref.name.c_str();
    if (!ref.alive) return;
    outInfo->type = ref.types;
    outInfo->writable = ref.writable ? 1 : 0;
    outInfo->owner = ref.accessor ? XPLMGetMyID() : XPLM_PLUGIN_XPLANE;
}

int XPLMHasFeature(const char* inFeature) {
    return inFeature != nullptr &&
                   std::strcmp(inFeature, xphost::detail::kDatarefNotifications) == 0 &&
                   xphost::detail::IsXPlane12()
               ? 1
               : 0;
}

void XPLMEnableFeature(const char* inFeature, int inEnable) {
    if (XPLMHasFeature(inFeature)) S().datarefNotifications = inEnable != 0;
}

void* XPLMFindSymbol(const char* inString) {
    if (inString == nullptr || !xphost::detail::IsXPlane12()) return nullptr;
    struct Symbol {
        const char* name;
        void* address;
    };
    const Symbol symbols[] = {
        {"XPLMCountDataRefs", reinterpret_cast<void*>(&XPLMCountDataRefs)},
        {"XPLMGetDataRefsByIndex", reinterpret_cast<void*>(&XPLMGetDataRefsByIndex)},
        {"XPLMGetDataRefInfo", reinterpret_cast<void*>(&XPLMGetDataRefInfo)},
    };
    for (const Symbol& symbol : symbols)
        if (std::strcmp(inString, symbol.name) == 0) return symbol.address;
    return nullptr;
}
