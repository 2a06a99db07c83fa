#pragma once
// A game with its surfaces and a silent platform, for tests of the run's drawing steps.

#include <optional>
#include <vector>

#include "app/Game.h"

namespace kelo::flighttest {

class NoText : public TextRenderer {
public:
    const TextMask& Render(std::string_view, int) override { return empty_; }

private:
    TextMask empty_;
};

class SilentPlatform : public Platform {
public:
    uint32_t Now() override { return now_; }
    void Sleep(uint32_t ms) override { now_ += ms; }
    void Yield(EventSink&, YieldKind) override {}
    void Present(const Image&) override {}
    void SendSound(std::string_view) override {}
    bool OtherInstanceRunning() override { return false; }
    uint32_t RandomSeed() override { return 1; }
    TextRenderer& Text() override { return text_; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override { return std::nullopt; }
    bool WriteRecordFile(const std::vector<uint8_t>&) override { return true; }

private:
    uint32_t now_ = 0;
    NoText text_;
};

// Surfaces sized as the window makes them, in a grey no drawing step produces.
constexpr Colour kUntouched = Rgb(240, 240, 240);

struct FlightGame {
    SilentPlatform platform;
    Game game{platform};

    FlightGame() {
        game.PicBack = Surface(400, 300, kUntouched, kBlack);
        game.PicWarp = Surface(3000, 300, kUntouched, kBlack);
        game.PicWarpMask = Surface(3000, 300, kUntouched, kBlack);
        game.PicBBack = Surface(300, 300, kUntouched, kBlack);
        game.PicBMask = Surface(300, 300, kUntouched, kBlack);
        game.PicBMask.fillColour = kWhite;
        game.PicMain = Surface(400, 300, kUntouched, kBlack);
    }

    Colour Back(int x, int y) const { return game.PicBack.image.At(x, y); }
};

}  // namespace kelo::flighttest
