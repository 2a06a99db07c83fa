#pragma once
// A platform with no window for the record tests: the record file is a byte vector.

#include <optional>
#include <vector>

#include "platform/Platform.h"

namespace kelo::test {

class RecordsFakePlatform : public Platform {
public:
    std::optional<std::vector<uint8_t>> file;
    int writes = 0;

    uint32_t Now() override { return 0; }
    void Sleep(uint32_t) override {}
    void Yield(EventSink&, YieldKind) override {}
    void Present(const Image&) override {}
    void SendSound(std::string_view) override {}
    bool OtherInstanceRunning() override { return false; }
    uint32_t RandomSeed() override { return 7; }
    TextRenderer& Text() override { return text_; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override { return file; }
    bool WriteRecordFile(const std::vector<uint8_t>& bytes) override {
        file = bytes;
        ++writes;
        return true;
    }

private:
    struct NoText : TextRenderer {
        TextMask mask;
        const TextMask& Render(std::string_view, int) override { return mask; }
    } text_;
};

}  // namespace kelo::test
