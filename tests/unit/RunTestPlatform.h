#pragma once
// A bare platform for the run's unit tests: a clock that moves only when the game
// sleeps, sounds and record saves counted, marker text, no events.

#include <deque>
#include <string>
#include <vector>

#include "app/Game.h"
#include "platform/NullPlatform.h"

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

class RunTestPlatform : public NullPlatform {
public:
    RunTestPlatform() : NullPlatform(marker_) { clock = 1000; }

    std::vector<std::string> sounds;
    int writes = 0;  // record file saves

    void SendSound(std::string_view command) override { sounds.emplace_back(command); }
    uint32_t RandomSeed() override { return 7; }
    MarkerText& Marker() { return marker_; }
    bool WriteRecordFile(const std::vector<uint8_t>&) override {
        ++writes;
        return true;
    }

private:
    MarkerText marker_;
};

}  // namespace kelo::testing
