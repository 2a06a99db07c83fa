// The cost of drawing the heaviest run frames: 1000 near stars (every one a 2 x 2
// block in view), nine streak frames, six full-size hit discs, and either the flying
// overlay with a road sign, both letter columns and the messages, or the complete
// result panel; then the right-hand panel, the frame rate and presenting (to a platform
// that shows nothing, so the desktop's drawing of the window is not in these figures).
//
// Run: build/bench/kelo_frame_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
// (the median line is the figure to quote; repetitions and reporting come from the command line)

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "app/Game.h"
#include "app/Timing.h"
#include "platform/NullPlatform.h"
#include "platform/common/TextRendering.h"
#include "run/RunDisplay.h"
#include "run/RunMessages.h"
#include "run/Typing.h"
#include "run/World.h"
#include "screens/ProgressScreen.h"

namespace kelo {
namespace {

TextRenderer& Font() {
    static std::unique_ptr<TextRenderer> font = [] {
        std::string error;
        auto renderer = CreateTextRenderer(error);
        if (!renderer) {
            std::fprintf(stderr, "kelo_frame_bench: no usable font: %s\n", error.c_str());
            std::exit(1);
        }
        return renderer;
    }();
    return *font;
}

struct HeavyRun {
    NullPlatform platform{Font()};  // the real font; nothing is shown or heard
    Game game{platform};

    HeavyRun() {
        SetUpSurfaces(game);
        GameState& s = game.state;
        s.courseIndex = 4;
        s.courseLength = 10000;
        s.checkpointDistance = {2000, 5000, 10000, 0};
        s.stageTime = {9900, 12870, 6930, 0};
        s.backColour = {10, 40, 140};
        s.starTint = {1, 1, 1};
        s.starBand = {80000, -40000};
        s.keyPoolSize = {15, 13};
        s.handPeriod = s.handPeriodTarget = {1, 1};
        s.letterSpacing = s.letterSpacingTarget = {80, 80};
        s.targetQueue = {"FASDGQWERT", "JHKLYUIOPN"};
        s.keyTally = {321, 298, 12, 9};
        s.distance = 4000;
        s.speed = 0;  // the stars stay near and in view frame after frame
        s.curveRate = 0.1f;
        s.elapsedTime = 61875;
        s.countdown = 0;
        s.extendTimer = 20;
        s.fpsSum = {300, 990};
        s.signKind = SignKind::RightCurve;
        PlaceStarsNear();
        game.run.newRank = 1;
        game.run.ringSlot = 0;
        for (int slot = 0; slot < 10; ++slot) {  // fill every slot of the streak history
            game.run.ringSlot = static_cast<uint8_t>(slot);
            DrawWorld(game);
        }
    }

    // Rows of stars at depths 1000 to 29000, all inside the view.
    void PlaceStarsNear() {
        for (int i = 0; i < kStarCount; ++i) {
            Star& star = game.state.stars[i];
            star.z = 1000 + 28 * i;
            const int32_t scale = star.z / 160 + 1;
            star.x = static_cast<float>(((i * 37) % 280 - 140) * scale);
            star.y = static_cast<float>(((i * 53) % 280 - 140) * scale);
        }
    }

    // What the decays and counters of the previous frame took away.
    void Recharge() {
        GameState& s = game.state;
        s.warpCharge = 120;
        s.warpLevel = 109;
        s.signTimer = 21;
        s.hitFlash = {2, 2, 2, 2, 2, 2};
        game.run.ringSlot = static_cast<uint8_t>((game.run.ringSlot + 1) % 10);
    }

    void DrawCommon() {
        DrawWorld(game);
        for (int hand = 0; hand < 2; ++hand) {
            UpdateLetterColumns(game, hand);
            DrawHitFlashes(game, hand);
        }
    }

    void DrawTail() {
        DrawStageProgress(game);
        DrawExtendMessage(game);
        DrawRightPanel(game);
        DrawFrameRate(game);
        game.PresentFrame();
    }
};

void BM_FlyingFrame(benchmark::State& state) {
    HeavyRun run;
    for (auto _ : state) {
        run.Recharge();
        run.game.state.elapsedTime += kFrameMs;  // as in a run, the clock shows a new time each frame
        run.DrawCommon();
        DrawRunOverlay(run.game);
        DrawLetterColumns(run.game);
        DrawStartMessages(run.game);
        run.DrawTail();
        benchmark::DoNotOptimize(run.game.PicMain.image.Pixels().data());
    }
}

void BM_ResultFrame(benchmark::State& state) {
    HeavyRun run;
    run.game.state.distance = static_cast<float>(run.game.state.courseLength);
    run.game.run.endTimer = 999;
    for (auto _ : state) {
        run.Recharge();
        run.DrawCommon();
        DrawResultPanel(run.game);
        run.DrawTail();
        benchmark::DoNotOptimize(run.game.PicMain.image.Pixels().data());
    }
}

// The world step alone, to see how much of a frame the stars and streaks take.
void BM_WorldOnly(benchmark::State& state) {
    HeavyRun run;
    for (auto _ : state) {
        run.Recharge();
        DrawWorld(run.game);
        benchmark::DoNotOptimize(run.game.PicBack.image.Pixels().data());
    }
}

// A whole progress screen frame, drawn when its view changes: 28 heat keys, three
// arrows, a plot of 30 runs and every text.
void BM_ProgressFrame(benchmark::State& state) {
    ProgressSummary summary;
    summary.runs = 10000;
    summary.practisedMs = 36000000;
    for (int k = 0; k < kTypedKeyCount; ++k) summary.keys[k] = {400, k % 9 * 10, 400, 400 * (280 + 15 * k)};
    summary.wrongPairs = {{5, 3, 40}, {9, 7, 22}, {16, 15, 9}};
    for (int r = 0; r < kPlottedRuns; ++r) summary.recent.push_back({80.0 + 3 * r, 0.9, r % 5 != 2, r % 7 == 0});
    Surface surface(400, 300, kBlack, kWhite);
    const ProgressView view{4, Difficulty::Normal, HeatView::MissRate, kUsQwerty, &summary};
    for (auto _ : state) {
        DrawProgressFrame(surface, Font(), view);
        benchmark::DoNotOptimize(surface.image.Pixels().data());
    }
}

BENCHMARK(BM_FlyingFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ResultFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WorldOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProgressFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelo

BENCHMARK_MAIN();
