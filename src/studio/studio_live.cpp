#include "studio/studio_live.h"

#include <mutex>
#include <utility>

#include "studio/studio_api.h"

namespace {

// One board's events of the current call: kept in full up to the limit, else counted.
struct CallCount {
    int board;
    int sent;
    int dropped;
};

std::vector<LiveEvent> callEvents;  // simulator's thread
std::vector<CallCount> callCounts;  // simulator's thread

std::mutex handOverLock;
std::vector<LiveEvent> handedOver;               // under handOverLock
std::vector<std::pair<int, int>> droppedBoards;  // under handOverLock: board and count

CallCount& CountOf(int board) {
    for (CallCount& count : callCounts)
        if (count.board == board) return count;
    callCounts.push_back(CallCount{board, 0, 0});
    return callCounts.back();
}

Json LinkJson(const std::string& link) {
    if (link.empty()) return nullptr;
    if (link[0] == '/') {
        const size_t slash = link.rfind('/');
        return Json{{"type", "serial"}, {"port", link.substr(slash + 1)}};
    }
    return Json{{"type", "lan"}, {"address", link}};
}

Json EventJson(const LiveEvent& event) {
    switch (event.kind) {
        case LiveEventKind::Board: {
            Json j{{"event", "board"},
                   {"state", event.state},
                   {"board", event.board},
                   {"id", event.id}};
            if (event.state == "found") j["link"] = LinkJson(event.path);
            return j;
        }
        case LiveEventKind::Input:
            return Json{{"event", "input"},
                        {"board", event.board},
                        {"tag", event.tag},
                        {"value", event.text},
                        {"matched", event.matched}};
        case LiveEventKind::Output:
            return Json{{"event", "output"},
                        {"board", event.board},
                        {"tag", event.tag},
                        {"text", event.text}};
        case LiveEventKind::Log:
            return Json{{"event", "log"}, {"text", event.text}};
        case LiveEventKind::Aircraft:
            return Json{{"event", "aircraft"},
                        {"file", event.text},
                        {"path", event.path},
                        {"config_file", event.file}};
        case LiveEventKind::Names:
            return Json{{"event", "names"}, {"missing", event.names}, {"found", event.found}};
    }
    return Json::object();
}

}  // namespace

void TakeLiveEvent(LiveEvent&& event) {
    // Inputs, outputs and log lines come in floods and are cut; a board's state, the aircraft and
    // the names are a few per call at most, and one cut would never be told again.
    const bool flood = event.kind == LiveEventKind::Input || event.kind == LiveEventKind::Output ||
                       event.kind == LiveEventKind::Log;
    if (flood) {
        CallCount& count = CountOf(event.board);
        if (count.sent >= kLiveEventsPerCall) {
            ++count.dropped;
            return;
        }
        ++count.sent;
    }
    callEvents.push_back(std::move(event));
}

bool HandOverLiveEvents() {
    if (callEvents.empty() && callCounts.empty()) return false;
    std::lock_guard<std::mutex> hold(handOverLock);
    const bool wake = handedOver.empty() && droppedBoards.empty();
    for (LiveEvent& event : callEvents) {
        if (handedOver.size() >= kLiveEventLimit) {
            CountOf(event.board).dropped++;
            continue;
        }
        handedOver.push_back(std::move(event));
    }
    for (const CallCount& count : callCounts) {
        if (count.dropped == 0) continue;
        droppedBoards.emplace_back(count.board, count.dropped);
    }
    callEvents.clear();
    callCounts.clear();
    return wake;
}

std::vector<std::string> TakeLiveMessages() {
    std::vector<LiveEvent> events;
    std::vector<std::pair<int, int>> dropped;
    {
        std::lock_guard<std::mutex> hold(handOverLock);
        events.swap(handedOver);
        dropped.swap(droppedBoards);
    }
    std::vector<std::string> messages;
    messages.reserve(events.size() + dropped.size());
    for (const LiveEvent& event : events) messages.push_back(JsonText(EventJson(event)));
    for (const auto& [board, count] : dropped) {
        Json j{{"event", "dropped"}, {"count", count}};
        j["board"] = board >= 0 ? Json(board) : Json(nullptr);
        messages.push_back(JsonText(j));
    }
    return messages;
}

void ClearLiveEvents() {
    callEvents.clear();
    callCounts.clear();
    std::lock_guard<std::mutex> hold(handOverLock);
    handedOver.clear();
    droppedBoards.clear();
}
