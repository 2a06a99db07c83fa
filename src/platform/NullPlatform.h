#pragma once
// The null backend: no window, no sound, no record file, and a clock that moves only
// when the game sleeps. Tests and benchmarks derive from it and override just what
// they watch.

#include "platform/Platform.h"

namespace kelo {

// Renders every text as nothing.
class NullText : public TextRenderer {
public:
    const TextMask& Render(std::string_view, int) override { return empty_; }

private:
    TextMask empty_;
};

class NullPlatform : public Platform {
public:
    NullPlatform() : text_(&nullText_) {}
    explicit NullPlatform(TextRenderer& text) : text_(&text) {}

    uint32_t clock = 0;

    uint32_t Now() override { return clock; }
    void Sleep(uint32_t ms) override { clock += ms; }
    void Yield(EventSink&, YieldKind) override {}
    void Present(const Image&, FrameKind) override {}
    void SendSound(std::string_view) override {}
    bool OtherInstanceRunning() override { return false; }
    uint32_t RandomSeed() override { return 1; }
    TextRenderer& Text() override { return *text_; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override { return std::nullopt; }
    bool WriteRecordFile(const std::vector<uint8_t>&) override { return true; }

private:
    NullText nullText_;
    TextRenderer* text_;
};

}  // namespace kelo
