#include "run/World.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <span>

#include "base/Numeric.h"
#include "draw/LayerSketch.h"
#include "draw/StarField.h"

namespace kelo {

namespace {

constexpr int kView = 300;  // the view and each history frame are 300 x 300
constexpr int kHistoryFrames = 10;
constexpr int32_t kFarDepth = 80000;
constexpr double kRadiansPerDegree = 0.017453292519943278;

// The rotation of one frame, held in singles as the world's numbers are.
struct Turn {
    float cos = 1;
    float sin = 0;
};

Turn TurnOfFrame(const GameState& s) {
    const float theta = static_cast<float>(static_cast<double>(s.curveRate) * s.speed * kRadiansPerDegree);
    return {static_cast<float>(std::cos(static_cast<double>(theta))),
            static_cast<float>(std::sin(static_cast<double>(theta)))};
}

void CountDownSign(GameState& s) { s.signTimer = CountDown(s.signTimer); }

// The charge decays by 2 a frame; the level climbs toward it (2 a frame below 40, 1
// above) and drops to it at once when the charge falls below.
void UpdateWarp(GameState& s) {
    s.warpCharge = static_cast<int16_t>(std::max(s.warpCharge - 2, 0));
    const int step = s.warpLevel < 40 ? 2 : 1;
    const int ceiling = std::min<int>(s.warpCharge, 109);
    s.warpLevel = static_cast<int16_t>(std::min(s.warpLevel + step, ceiling));
}

// Whether the star planes have the sizes start-up gives them, so that their sketches
// (LayerSketch.h) can stand in for whole-plane clears, copies and composition.
bool Sketchable(const Game& game) {
    auto is = [](const Image& image, int width, int height) {
        return image.Width() == width && image.Height() == height;
    };
    return is(game.PicBBack.image, kView, kView) && is(game.PicBMask.image, kView, kView) &&
           is(game.PicWarp.image, kView * kHistoryFrames, kView) &&
           is(game.PicWarpMask.image, kView * kHistoryFrames, kView) && game.PicBack.image.Width() >= kView &&
           game.PicBack.image.Height() >= kView;
}

void ClearStarLayer(Game& game) {
    const auto& c = game.state.backColour;
    if (Sketchable(game)) {
        ClearLayer(game.starLayers.current, game.PicBBack.image, game.PicBMask.image, kWhite, Rgb(c[0], c[1], c[2]));
        return;
    }
    game.starLayers.current.valid = false;
    FillRect(game.PicBBack.image, 0, 0, kView, kView, kWhite);
    FillRect(game.PicBMask.image, 0, 0, kView, kView, Rgb(c[0], c[1], c[2]));
}

void Respawn(Star& star, Game& game) {
    const GameState& s = game.state;
    star.x = static_cast<float>(game.Rnd() * 80000 - 40000 + static_cast<double>(s.curveRate) * 600000);
    star.y = static_cast<float>(game.Rnd() * s.starBand[0] + s.starBand[1]);
    star.z = kFarDepth;
}

// Kept: as in the original, the new x uses the depth just moved and the new depth the x
// just turned, not the old one; the stars' paths depend on it.
void Move(Star& star, float speed, Turn turn) {
    star.z = RoundHalfEven(star.z - static_cast<double>(speed) * 160);
    star.x = static_cast<float>(static_cast<double>(turn.cos) * star.x - static_cast<double>(turn.sin) * star.z);
    star.z = RoundHalfEven(static_cast<double>(turn.sin) * star.x + static_cast<double>(turn.cos) * star.z);
}

bool Visible(const ProjectedStar& p, int32_t z) {
    return std::abs(p.sx - 150) <= 150 && std::abs(p.sy - 150) <= 150 && z <= kFarDepth;
}

// The star's colour in the colour plane and white in the mask; both images clip at 300.
void Plot(Game& game, const ProjectedStar& p) {
    SetLayerBlock(game.starLayers.current, game.PicBBack.image, game.PicBMask.image, p.sx, p.sy, p.near, p.colour,
                  kWhite);
}

void MoveAndDrawStars(Game& game) {
    GameState& s = game.state;
    const Turn turn = TurnOfFrame(s);
    StarColours colours(StarPaletteOf(s));
    for (int i = FirstProcessedStar(game.run.loadLevel); i < kStarCount; ++i) {
        Star& star = s.stars[i];
        if (star.z < 1 || star.z > kFarDepth) {
            // Kept: as in the original, a respawned star is not drawn until the next frame.
            Respawn(star, game);
            continue;
        }
        Move(star, s.speed, turn);
        const ProjectedStar p = ProjectStar(star, colours);
        if (Visible(p, star.z)) Plot(game, p);
    }
    SealLayer(game.starLayers.current, game.PicBBack.image, game.PicBMask.image);
}

void StoreInHistory(Game& game) {
    if (Sketchable(game) && game.run.ringSlot < kHistoryFrames) {
        StoreLayer(game.starLayers.history, game.run.ringSlot, game.starLayers.current, game.PicBBack.image,
                   game.PicBMask.image, game.PicWarp.image, game.PicWarpMask.image);
        return;
    }
    const int x = kView * game.run.ringSlot;
    BitBlt(game.PicWarp.image, x, 0, kView, kView, game.PicBBack.image, 0, 0, BlitMode::Copy);
    BitBlt(game.PicWarpMask.image, x, 0, kView, kView, game.PicBMask.image, 0, 0, BlitMode::Copy);
}

// One picture laid over the view: its mask plane OR'ed in, then its colour plane AND'ed.
struct Layer {
    const Image* colour;
    const Image* mask;
    int sourceX;
};

void LayRow(Colour* __restrict out, const Colour* __restrict mask, const Colour* __restrict colour) {
    for (int x = 0; x < kView; ++x) out[x] = (out[x] | mask[x]) & colour[x];
}

bool HoldsFrame(const Image& image, int sourceX) { return image.Width() >= sourceX + kView && image.Height() >= kView; }

// Lays the layers over black in order. Per pixel this is exactly an OR block copy of
// each mask followed by an AND block copy of its colour plane; composing a row at a time
// keeps that row in the cache while all layers pass over it, and the fixed-width loop
// vectorises, where twenty whole-square copies would cost more than the rest of the frame.
void ComposeLayers(Image& view, std::span<const Layer> layers) {
    if (!HoldsFrame(view, 0)) return;
    for (int y = 0; y < kView; ++y) {
        Colour* out = view.Row(y);
        std::fill(out, out + kView, kBlack);
        for (const Layer& layer : layers) {
            LayRow(out, layer.mask->Row(y) + layer.sourceX, layer.colour->Row(y) + layer.sourceX);
        }
    }
}

// The streaks, oldest stored frame first (slot ringSlot + 1 is nine frames back), then
// the star layer of this frame on top.
void ComposeView(Game& game) {
    std::array<Layer, kHistoryFrames + 1> layers;
    int used = 0;
    const int count = std::min(StreakFrameCount(game.state.warpLevel, game.run.loadLevel), kHistoryFrames - 1);
    if (Sketchable(game)) {
        std::array<int, kHistoryFrames> slots;
        for (int k = 1; k <= count; ++k) slots[k - 1] = (game.run.ringSlot + k) % kHistoryFrames;
        if (ComposeSketched(game.PicBack.image, game.starLayers, std::span(slots.data(), count), game.PicBBack.image,
                            game.PicBMask.image, game.PicWarp.image, game.PicWarpMask.image))
            return;
    }
    for (int k = 1; k <= count; ++k) {
        const int sourceX = kView * ((game.run.ringSlot + k) % kHistoryFrames);
        if (HoldsFrame(game.PicWarp.image, sourceX) && HoldsFrame(game.PicWarpMask.image, sourceX)) {
            layers[used++] = {&game.PicWarp.image, &game.PicWarpMask.image, sourceX};
        }
    }
    if (HoldsFrame(game.PicBBack.image, 0) && HoldsFrame(game.PicBMask.image, 0)) {
        layers[used++] = {&game.PicBBack.image, &game.PicBMask.image, 0};
    }
    ComposeLayers(game.PicBack.image, std::span(layers.data(), used));
}

}  // namespace

// Kept: the original starts at star 10 even without load, so stars 0 to 9 never move
// or show during a run.
int FirstProcessedStar(uint8_t loadLevel) { return std::max(loadLevel - 10, 1) * 10; }

// Kept: as in the original, fewer than nine streak frames are the oldest ones, not the
// most recent.
int StreakFrameCount(int16_t warpLevel, uint8_t loadLevel) {
    const int n = warpLevel / 10;
    if (n <= 0) return 0;
    return std::max((n - 1) - std::min<int>(loadLevel, 10), 0);
}

void FillStarField(Game& game) {
    GameState& s = game.state;
    for (Star& star : s.stars) {
        star.x = static_cast<float>(game.Rnd() * 80000 - 40000);
        star.y = static_cast<float>(game.Rnd() * s.starBand[0] + s.starBand[1]);
        star.z = RoundHalfEven(game.Rnd() * 80000);
    }
}

void DrawWorld(Game& game) {
    CountDownSign(game.state);
    UpdateWarp(game.state);
    ClearStarLayer(game);
    MoveAndDrawStars(game);
    StoreInHistory(game);
    ComposeView(game);
}

}  // namespace kelo
