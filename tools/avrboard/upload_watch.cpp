#include "upload_watch.h"

namespace avrboard {
namespace {

constexpr size_t kUploadLength = 61, kPinUses = 54, kCodeLetters = 5;
constexpr uint8_t kLastUse = 13;

bool IsUpload(const std::string& bytes) {
    for (size_t i = 1; i <= kPinUses; ++i)
        if (static_cast<uint8_t>(bytes[i]) > kLastUse) return false;
    for (size_t i = kPinUses + 1; i <= kPinUses + kCodeLetters; ++i)
        if (bytes[i] < '@' || bytes[i] > 'z') return false;
    return true;
}

}  // namespace

bool UploadWatch::Feed(const char* bytes, size_t count, std::vector<uint8_t>* uses) {
    bool found = false;
    pending_.append(bytes, count);
    for (;;) {
        const size_t start = pending_.find('~');
        if (start == std::string::npos) {
            pending_.clear();
            break;
        }
        pending_.erase(0, start);
        if (pending_.size() < kUploadLength) break;
        if (IsUpload(pending_)) {
            uses->assign(pending_.begin() + 1, pending_.begin() + 1 + kPinUses);
            pending_.erase(0, kUploadLength);
            found = true;
        } else {
            pending_.erase(0, 1);
        }
    }
    return found;
}

}  // namespace avrboard
