// WaitFrame and key polling on the simulator's virtual clock.

#include <gtest/gtest.h>

#include "app/Game.h"
#include "platform/sim/SimPlatform.h"

namespace kelo {
namespace {

class NoText : public TextRenderer {
public:
    const TextMask& Render(std::string_view, int) override { return mask_; }
    TextMask mask_;
};

struct SimGame {
    explicit SimGame(SimPlatformSettings settings, const std::string& script = "")
        : platform(settings, ParseScript(script), text), game(platform) {
        platform.Attach(game);
    }
    uint32_t Clock() { return platform.Now(); }
    uint32_t LastFrame() const { return static_cast<uint32_t>(game.state.lastFrameTime); }

    NoText text;
    SimPlatform platform;
    Game game;
};

SimPlatformSettings StartingAt(uint32_t clock, uint32_t frameCost = 0) {
    SimPlatformSettings settings;
    settings.clockStart = clock;
    settings.frameCost = frameCost;
    settings.safetyFrameLimit = 1000;
    return settings;
}

TEST(SimClock, FirstWaitAfterStartUpReturnsAtOnceThenFramesAre33MsApart) {
    SimGame sim(StartingAt(100000));
    sim.game.WaitFrame(33);
    EXPECT_EQ(sim.Clock(), 100000u);
    EXPECT_EQ(sim.LastFrame(), 100000u);
    sim.game.WaitFrame(33);
    sim.game.WaitFrame(33);
    EXPECT_EQ(sim.LastFrame(), 100066u);
    EXPECT_EQ(sim.platform.FrameCalls(), 3);
}

TEST(SimClock, PauseCountsFromTheEndOfThePreviousWaitNotFromTheCall) {
    SimGame sim(StartingAt(5000, 20));
    sim.game.WaitFrame(33);
    sim.game.PresentFrame();  // drawing takes 20 ms of virtual time
    EXPECT_EQ(sim.Clock(), 5020u);
    sim.game.WaitFrame(500);
    EXPECT_EQ(sim.LastFrame(), 5500u);
}

TEST(SimClock, SlowFrameMakesTheNextWaitReturnAtOnceWithoutCatchingUp) {
    SimGame sim(StartingAt(5000, 50));
    sim.game.WaitFrame(33);
    sim.game.PresentFrame();
    sim.game.WaitFrame(33);
    EXPECT_EQ(sim.LastFrame(), 5050u);
    sim.game.PresentFrame();
    sim.game.WaitFrame(33);
    EXPECT_EQ(sim.LastFrame(), 5100u);
}

TEST(SimClock, DrawingCostFallsInsideTheFrameAndPausesCostNothing) {
    SimGame sim(StartingAt(5000, 45));
    const uint32_t frameStart = sim.Clock();
    sim.game.WaitFrame(33);
    const uint32_t frameEnd = sim.Clock();  // the run measures its frame here, before presenting
    EXPECT_EQ(frameEnd - frameStart, 45u);
    sim.game.PresentFrame();
    EXPECT_EQ(sim.Clock(), 5045u) << "charged once per frame";
    sim.game.WaitFrame(500);  // a pause presents nothing
    sim.game.WaitFrame(33);
    EXPECT_EQ(sim.LastFrame(), 5533u);
}

TEST(SimClock, WrapFromTopOfClockKeepsThe33MsPacing) {
    SimGame sim(StartingAt(0xFFFFFFFFu - 40));
    sim.game.WaitFrame(33);
    uint32_t previous = sim.LastFrame();
    for (int i = 0; i < 4; ++i) {
        sim.game.WaitFrame(33);
        EXPECT_EQ(sim.LastFrame() - previous, 33u) << "frame " << i;
        previous = sim.LastFrame();
    }
    EXPECT_LT(sim.LastFrame(), 100u);  // the clock did wrap
}

TEST(SimClock, FrameLimitStopsAtTheNextCallOfWaitFrame) {
    SimPlatformSettings settings = StartingAt(1000);
    settings.frameLimit = 2;
    SimGame sim(settings);
    sim.game.WaitFrame(33);
    sim.game.WaitFrame(33);
    try {
        sim.game.WaitFrame(33);
        FAIL() << "the third call should have stopped the simulation";
    } catch (const SimStop& stop) {
        EXPECT_EQ(stop.reason, SimEnd::FrameLimit);
    }
    EXPECT_EQ(sim.platform.FrameCalls(), 2);
    EXPECT_EQ(sim.LastFrame(), 1033u);
}

TEST(SimKeys, EventsArriveWhenTheirFrameWaitYieldsAndATapReadsPressedOnce) {
    SimGame sim(StartingAt(1000), "2 down A\n2 up A\n3 tap B\n");
    sim.game.WaitFrame(33);
    EXPECT_FALSE(sim.game.KeyPressed('A'));
    sim.game.WaitFrame(33);
    EXPECT_TRUE(sim.game.KeyPressed('A'));   // went down and up between two polls
    EXPECT_FALSE(sim.game.KeyPressed('A'));  // ... and counts once
    sim.game.WaitFrame(33);
    EXPECT_TRUE(sim.game.keyboard.IsDown('B'));
    sim.game.YieldEvents();  // an extra yield delivers nothing
    EXPECT_TRUE(sim.game.keyboard.IsDown('B'));
    sim.game.WaitFrame(33);
    EXPECT_FALSE(sim.game.keyboard.IsDown('B'));
}

TEST(SimKeys, KeyWaitBringsTheNextScriptedFrameForwardAndStallsWhenNothingIsLeft) {
    SimGame sim(StartingAt(1000), "1 down SPACE\n6 up SPACE\n6 down ESCAPE\n");
    sim.game.WaitFrame(33);
    EXPECT_TRUE(sim.game.WaitForKey(vk::Space, false));
    EXPECT_TRUE(sim.game.keyboard.IsDown(vk::Escape));  // the rest of frame 6 came too
    EXPECT_EQ(sim.Clock(), 1000u);                      // no time passed
    try {
        sim.game.WaitForKey(vk::Escape, false);
        FAIL() << "nothing can release Escape";
    } catch (const SimStop& stop) {
        EXPECT_EQ(stop.reason, SimEnd::Stalled);
    }
}

TEST(SimKeys, CloseEventRunsTheCloseRequest) {
    SimGame sim(StartingAt(1000), "2 close\n");
    std::vector<std::string> sounds;
    sim.platform.onSound = [&](std::string_view command) { sounds.emplace_back(command); };
    sim.game.WaitFrame(33);
    EXPECT_FALSE(sim.game.Quitting());
    sim.game.WaitFrame(33);
    EXPECT_TRUE(sim.game.Quitting());
    ASSERT_EQ(sounds.size(), 9u);
    EXPECT_EQ(sounds.front(), "close wavTip");
}

}  // namespace
}  // namespace kelo
