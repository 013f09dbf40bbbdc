#include "config/live_events.h"

#include <utility>

std::atomic<bool> LiveFeedOn{false};
void (*LiveEventSink)(LiveEvent&& event) = nullptr;
void (*StudioCallWork)() = nullptr;

void PublishLiveEvent(LiveEvent&& event) {
    if (!LiveFeedOn.load(std::memory_order_relaxed) || !LiveEventSink) return;
    LiveEventSink(std::move(event));
}

void PublishBoardEvent(int b, const char* state, int id, const std::string& link) {
    if (!LiveFeedOn.load(std::memory_order_relaxed)) return;
    LiveEvent event;
    event.kind = LiveEventKind::Board;
    event.board = b;
    event.state = state;
    event.id = id;
    event.path = link;
    PublishLiveEvent(std::move(event));
}

void PublishInputEvent(int b, const std::string& tag, const std::string& value,
                       const std::vector<int>& matched) {
    if (!LiveFeedOn.load(std::memory_order_relaxed)) return;
    LiveEvent event;
    event.kind = LiveEventKind::Input;
    event.board = b;
    event.tag = tag;
    event.text = value;
    event.matched = matched;
    PublishLiveEvent(std::move(event));
}

void PublishOutputEvent(int b, const std::string& tag, const std::string& text) {
    if (!LiveFeedOn.load(std::memory_order_relaxed)) return;
    LiveEvent event;
    event.kind = LiveEventKind::Output;
    event.board = b;
    event.tag = tag;
    event.text = text;
    PublishLiveEvent(std::move(event));
}

void PublishLogEvent(const std::string& line) {
    if (!LiveFeedOn.load(std::memory_order_relaxed)) return;
    LiveEvent event;
    event.kind = LiveEventKind::Log;
    event.text = line;
    PublishLiveEvent(std::move(event));
}

void PublishAircraftEvent(const std::string& file, const std::string& path,
                          const std::string& configFile) {
    if (!LiveFeedOn.load(std::memory_order_relaxed)) return;
    LiveEvent event;
    event.kind = LiveEventKind::Aircraft;
    event.text = file;
    event.path = path;
    event.file = configFile;
    PublishLiveEvent(std::move(event));
}

void PublishNamesEvent(std::vector<std::string> missing, std::vector<std::string> found) {
    if (!LiveFeedOn.load(std::memory_order_relaxed)) return;
    LiveEvent event;
    event.kind = LiveEventKind::Names;
    event.names = std::move(missing);
    event.found = std::move(found);
    PublishLiveEvent(std::move(event));
}

void RunStudioCallWork() {
    if (StudioCallWork) StudioCallWork();
}
