#pragma once
// A bare platform for the run's unit tests: a clock that moves only when the game
// sleeps, key events pushed by the test, sounds collected, no text and no files.

#include <deque>
#include <string>
#include <vector>

#include "app/Game.h"
#include "platform/Platform.h"

namespace kelo::testing {

class BlankText : public TextRenderer {
public:
    const TextMask& Render(std::string_view, int) override { return mask_; }

private:
    TextMask mask_;
};

class RunTestPlatform : public Platform {
public:
    uint32_t clock = 1000;
    std::vector<std::string> sounds;

    uint32_t Now() override { return clock; }
    void Sleep(uint32_t ms) override { clock += ms; }
    void Yield(EventSink&, YieldKind) override {}
    void Present(const Image&) override {}
    void SendSound(std::string_view command) override { sounds.emplace_back(command); }
    bool OtherInstanceRunning() override { return false; }
    uint32_t RandomSeed() override { return 7; }
    TextRenderer& Text() override { return text_; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override { return std::nullopt; }
    bool WriteRecordFile(const std::vector<uint8_t>&) override { return true; }

private:
    BlankText text_;
};

}  // namespace kelo::testing
