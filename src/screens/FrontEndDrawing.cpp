#include "screens/FrontEndDrawing.h"

#include "app/Timing.h"
#include "base/Numeric.h"
#include "draw/Helpers.h"
#include "draw/StarField.h"

namespace kelo {

namespace {
constexpr int16_t kWipeStep = 20;
constexpr int16_t kFullWipe = 400;
}  // namespace

Colour BasePlus(const GameState& state, int n) { return BasePlus(state, n, n, n); }

Colour BasePlus(const GameState& state, int red, int green, int blue) {
    return Rgb(state.backColour[0] + red, state.backColour[1] + green, state.backColour[2] + blue);
}

void DrawStarField(Game& game) { DrawStarField(game.PicBack.image, game.state.stars, StarPaletteOf(game.state)); }

int16_t NarrowerWipe(int16_t width) { return RoundToInt16(MaxSingle(static_cast<float>(width - kWipeStep), 0.0f)); }

bool PlayClosingWipe(Game& game) {
    for (game.state.loopIndex = 0; game.state.loopIndex <= kFullWipe; game.state.loopIndex += kWipeStep) {
        game.WaitFrame(kFrameMs);
        if (game.Quitting()) return false;
        DrawWipe(game, game.state.loopIndex);
        game.PresentFrame();
    }
    return true;
}

}  // namespace kelo
