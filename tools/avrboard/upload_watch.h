// Finds the configuration upload in the bytes the host writes to the board: '~', the uses of pins
// 0 to 53 (codes 0 to 13), five code letters ('@' to 'z') and the board's number, 61 bytes. Other
// messages never hold 54 such codes in a row, so a '~' that is not followed by them is passed by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace avrboard {

class UploadWatch {
  public:
    // Takes bytes as written; true with *uses set (54 codes) when they complete an upload.
    bool Feed(const char* bytes, size_t count, std::vector<uint8_t>* uses);
    // The host opened the port anew: a part of an upload cannot be completed any more.
    void Clear() { pending_.clear(); }

  private:
    std::string pending_;  // from a '~' on, less than an upload
};

}  // namespace avrboard
