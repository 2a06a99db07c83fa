#pragma once
// A game with its surfaces and a silent platform, for tests of the run's drawing steps.

#include "RunTestPlatform.h"
#include "app/Game.h"

namespace kelo::flighttest {

// The window's background grey, which the surfaces start in and no drawing step produces.
constexpr Colour kUntouched = Rgb(240, 240, 240);

struct FlightGame {
    testing::RunTestPlatform platform;
    Game game{platform};

    FlightGame() { SetUpSurfaces(game); }

    Colour Back(int x, int y) const { return game.PicBack.image.At(x, y); }
};

}  // namespace kelo::flighttest
