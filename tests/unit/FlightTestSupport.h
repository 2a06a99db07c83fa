#pragma once
// A game with its surfaces and a silent platform, for tests of the run's drawing steps.

#include "RunTestPlatform.h"
#include "app/Game.h"

namespace kelo::flighttest {

// Surfaces sized as the window makes them, in a grey no drawing step produces.
constexpr Colour kUntouched = Rgb(240, 240, 240);

struct FlightGame {
    testing::RunTestPlatform platform;
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
