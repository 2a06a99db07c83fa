#pragma once
// A bare platform for the run's unit tests: a clock that moves only when the game
// sleeps, sounds and record saves counted, marker text, no events.

#include <deque>
#include <string>
#include <vector>

#include "app/Game.h"
#include "platform/Platform.h"

namespace kelo::testing {

// Every text is one opaque pixel at its top-left corner, so a print paints exactly the
// pixel of its position in its colour; the texts and sizes are kept in order.
class MarkerText : public TextRenderer {
public:
    struct Printed {
        std::string text;
        int size;
        bool operator==(const Printed&) const = default;
    };
    std::vector<Printed> printed;

    const TextMask& Render(std::string_view utf8, int pointSize) override {
        printed.push_back({std::string(utf8), pointSize});
        return mask_;
    }

private:
    TextMask mask_{1, 1, {255}};
};

class RunTestPlatform : public Platform {
public:
    uint32_t clock = 1000;
    std::vector<std::string> sounds;
    int writes = 0;  // record file saves

    uint32_t Now() override { return clock; }
    void Sleep(uint32_t ms) override { clock += ms; }
    void Yield(EventSink&, YieldKind) override {}
    void Present(const Image&) override {}
    void SendSound(std::string_view command) override { sounds.emplace_back(command); }
    bool OtherInstanceRunning() override { return false; }
    uint32_t RandomSeed() override { return 7; }
    TextRenderer& Text() override { return text_; }
    MarkerText& Marker() { return text_; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override { return std::nullopt; }
    bool WriteRecordFile(const std::vector<uint8_t>&) override {
        ++writes;
        return true;
    }

private:
    MarkerText text_;
};

}  // namespace kelo::testing
