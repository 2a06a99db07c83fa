#pragma once
// A platform with no window for the record tests: the record file is a byte vector.

#include <optional>
#include <vector>

#include "platform/NullPlatform.h"

namespace kelo::test {

class RecordsFakePlatform : public NullPlatform {
public:
    std::optional<std::vector<uint8_t>> file;
    int writes = 0;
    bool failWrites = false;

    uint32_t RandomSeed() override { return 7; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override { return file; }
    bool WriteRecordFile(const std::vector<uint8_t>& bytes) override {
        if (failWrites) return false;
        file = bytes;
        ++writes;
        return true;
    }
};

}  // namespace kelo::test
