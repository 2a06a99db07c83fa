#include <gtest/gtest.h>

#include <random>

#include "FlightTestSupport.h"
#include "base/Numeric.h"
#include "run/World.h"

namespace kelo {
namespace {

using flighttest::FlightGame;

constexpr Colour kCourseBack = Rgb(0, 20, 100);

class WorldTest : public ::testing::Test {
protected:
    WorldTest() {
        s.backColour = {0, 20, 100};
        s.starTint = {1, 1, 1};
        s.starBand = {80000, -40000};
        // Every star far off to the side, where it is neither drawn nor respawned.
        for (Star& star : s.stars) star = {1e6f, 0, 50000};
    }

    // A history frame as the world step stores it: back colour with one white star on
    // the mask, white with the star's colour on the colour plane.
    void MarkHistorySlot(int slot, int x, int y, Colour colour) {
        SetPixelV(f.game.PicWarpMask.image, 300 * slot + x, y, kWhite);
        SetPixelV(f.game.PicWarp.image, 300 * slot + x, y, colour);
    }
    void ClearHistory() {
        FillRect(f.game.PicWarp.image, 0, 0, 3000, 300, kWhite);
        FillRect(f.game.PicWarpMask.image, 0, 0, 3000, 300, kCourseBack);
    }

    FlightGame f;
    GameState& s = f.game.state;
};

TEST_F(WorldTest, WithoutACurveStarsOnlyApproach) {
    s.speed = 2;
    s.stars[10] = {1234.5f, -321.25f, 50000};
    s.stars[5] = {1234.5f, -321.25f, 50000};
    DrawWorld(f.game);
    EXPECT_EQ(s.stars[10].z, 49680);
    EXPECT_EQ(s.stars[10].x, 1234.5f);
    EXPECT_EQ(s.stars[10].y, -321.25f);
    EXPECT_EQ(s.stars[5].z, 50000) << "stars 0 to 9 are never processed during a run";
}

TEST_F(WorldTest, TheTurnUsesTheDepthAndLateralValuesJustComputed) {
    s.speed = 1;
    s.curveRate = 1;
    s.stars[10] = {1000, 0, 50000};
    DrawWorld(f.game);
    EXPECT_NEAR(s.stars[10].x, 130.0198f, 1e-3);
    EXPECT_EQ(s.stars[10].z, 49835) << "the old x would give 49850";
}

TEST_F(WorldTest, AtRestNothingMovesButStarsAreDrawnEveryFrame) {
    s.curveRate = 0.1f;
    s.stars[10] = {0, 0, 16000};  // scale 101, brightness 200
    for (int frame = 0; frame < 2; ++frame) {
        DrawWorld(f.game);
        EXPECT_EQ(s.stars[10].z, 16000);
        EXPECT_EQ(s.stars[10].x, 0);
        for (auto [x, y] : {std::pair{150, 150}, {151, 150}, {150, 151}, {151, 151}}) {
            EXPECT_EQ(f.Back(x, y), Rgb(200, 220, 255)) << x << "," << y;
        }
        EXPECT_EQ(f.Back(152, 150), kCourseBack);
        EXPECT_EQ(f.Back(10, 10), kCourseBack);
        EXPECT_EQ(f.Back(300, 10), flighttest::kUntouched) << "the panel beside the view is left alone";
    }
}

TEST_F(WorldTest, StarsUpToDepth30000AreDrawnTwoByTwo) {
    s.stars[10] = {0, 0, 30000};      // (150, 150), scale 188
    s.stars[11] = {0, -9400, 30001};  // (150, 100), scale 188
    DrawWorld(f.game);
    const Image& layer = f.game.PicBBack.image;
    const Image& mask = f.game.PicBMask.image;
    const Colour star = Rgb(157, 177, 255);  // brightness 250 - 93
    EXPECT_EQ(layer.At(151, 151), star);
    EXPECT_EQ(mask.At(151, 151), kWhite);
    EXPECT_EQ(layer.At(150, 100), star);
    EXPECT_EQ(layer.At(151, 100), kWhite);
    EXPECT_EQ(layer.At(150, 101), kWhite);
    EXPECT_EQ(mask.At(150, 101), kCourseBack);
}

TEST_F(WorldTest, ScreenColumnZeroIsVisibleAndColumnThreeHundredFallsOutside) {
    s.stars[10] = {-150, 0, 100};   // scale 1: sx = 0
    s.stars[11] = {150, -40, 100};  // sx = 300, sy = 110
    DrawWorld(f.game);
    EXPECT_EQ(f.Back(0, 150), Rgb(250, 255, 255));
    EXPECT_EQ(f.Back(1, 151), Rgb(250, 255, 255));
    EXPECT_EQ(f.Back(299, 110), kCourseBack);
}

TEST_F(WorldTest, StarsOutOfDepthRespawnFarAheadOnTheTurningSide) {
    s.curveRate = 0.1f;
    s.stars[10] = {0, 0, 0};
    s.stars[11] = {0, 0, 80001};
    DrawWorld(f.game);
    for (int i : {10, 11}) {
        EXPECT_EQ(s.stars[i].z, 80000);
        EXPECT_GE(s.stars[i].x, 20000);
        EXPECT_LT(s.stars[i].x, 100000);
        EXPECT_GE(s.stars[i].y, -40000);
        EXPECT_LT(s.stars[i].y, 40000);
    }
    EXPECT_EQ(f.Back(150, 150), kCourseBack) << "a respawned star is not drawn in its frame";
}

TEST_F(WorldTest, SlowFramesSkipLeadingStarsTenAtATime) {
    EXPECT_EQ(FirstProcessedStar(11), 10);

    s.speed = 1;
    f.game.run.loadLevel = 12;
    DrawWorld(f.game);
    EXPECT_EQ(s.stars[19].z, 50000);
    EXPECT_EQ(s.stars[20].z, 49840);
    f.game.run.loadLevel = 110;
    DrawWorld(f.game);
    EXPECT_EQ(s.stars[999].z, 49840);
}

TEST_F(WorldTest, StreakLevelFollowsTheDecayingCharge) {
    s.warpCharge = 120;
    DrawWorld(f.game);
    EXPECT_EQ(s.warpCharge, 118);
    EXPECT_EQ(s.warpLevel, 2);
    s.warpLevel = 40;
    DrawWorld(f.game);
    EXPECT_EQ(s.warpLevel, 41);
    s.warpLevel = 100;
    s.warpCharge = 50;
    DrawWorld(f.game);
    EXPECT_EQ(s.warpLevel, 48) << "drops to the charge at once";
    s.warpCharge = 1;
    s.signTimer = 1;
    DrawWorld(f.game);
    EXPECT_EQ(s.warpCharge, 0);
    EXPECT_EQ(s.warpLevel, 0);
    EXPECT_EQ(s.signTimer, 0);
    DrawWorld(f.game);
    EXPECT_EQ(s.signTimer, 0);
}

// Each history slot carries a marker star at its own pixel; slot ringSlot + 1 is the
// oldest frame and is laid first.
TEST_F(WorldTest, StreaksLayTheOldestStoredFramesFirst) {
    auto shownSlots = [&](int16_t levelBefore, uint8_t load) {
        ClearHistory();
        for (int slot = 0; slot < 10; ++slot) MarkHistorySlot(slot, 20 + 10 * slot, 20, Rgb(200, 0, 0));
        MarkHistorySlot(4, 5, 5, Rgb(1, 0, 0));  // oldest
        MarkHistorySlot(2, 5, 5, Rgb(2, 0, 0));  // newest
        s.warpCharge = 120;
        s.warpLevel = levelBefore;
        f.game.run.loadLevel = load;
        f.game.run.ringSlot = 3;
        DrawWorld(f.game);
        std::vector<int> shown;
        for (int slot = 0; slot < 10; ++slot) {
            if (f.Back(20 + 10 * slot, 20) != kCourseBack) shown.push_back(slot);
        }
        return shown;
    };
    EXPECT_EQ(shownSlots(109, 0), (std::vector<int>{0, 1, 2, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(f.Back(5, 5), Rgb(2, 20, 100)) << "the newest frame lies on top";
    EXPECT_EQ(shownSlots(109, 5), (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(shownSlots(18, 0), (std::vector<int>{4}));
    EXPECT_TRUE(shownSlots(17, 0).empty());
    EXPECT_TRUE(shownSlots(49, 5).empty());
    // The frame just drawn went into slot 3 of the history.
    EXPECT_EQ(f.game.PicWarpMask.image.At(900 + 50, 20), kCourseBack);
}

// The view must equal black overlaid, oldest first, with OR copies of each mask and AND
// copies of each colour plane, whatever the planes hold.
TEST_F(WorldTest, CompositionEqualsTheBlockCopiesInOrder) {
    std::mt19937 noise(5);
    for (Surface* plane : {&f.game.PicWarp, &f.game.PicWarpMask}) {
        for (int y = 0; y < 300; ++y) {
            for (int x = 0; x < 3000; ++x) plane->image.At(x, y) = noise() & 0xFFFFFF;
        }
    }
    s.stars[10] = {0, 0, 16000};
    s.warpCharge = 120;
    s.warpLevel = 109;
    f.game.run.ringSlot = 6;
    f.game.run.loadLevel = 2;  // seven streak frames: slots 7, 8, 9, 0, 1, 2, 3
    DrawWorld(f.game);

    Image expected(400, 300, flighttest::kUntouched);
    FillRect(expected, 0, 0, 300, 300, kBlack);
    for (int slot : {7, 8, 9, 0, 1, 2, 3}) {
        BitBlt(expected, 0, 0, 300, 300, f.game.PicWarpMask.image, 300 * slot, 0, BlitMode::Or);
        BitBlt(expected, 0, 0, 300, 300, f.game.PicWarp.image, 300 * slot, 0, BlitMode::And);
    }
    BitBlt(expected, 0, 0, 300, 300, f.game.PicBMask.image, 0, 0, BlitMode::Or);
    BitBlt(expected, 0, 0, 300, 300, f.game.PicBBack.image, 0, 0, BlitMode::And);
    EXPECT_TRUE(expected.Pixels() == f.game.PicBack.image.Pixels());
}

TEST(FillStarField, DrawsXThenYThenDepthForEachStar) {
    FlightGame f;
    f.game.state.starBand = {20000, 300};
    f.game.random.Seed(42);
    FillStarField(f.game);
    Random replay;
    replay.Seed(42);
    for (int i = 0; i < 2; ++i) {
        const Star& star = f.game.state.stars[i];
        EXPECT_EQ(star.x, static_cast<float>(replay.Rnd() * 80000 - 40000));
        EXPECT_EQ(star.y, static_cast<float>(replay.Rnd() * 20000 + 300));
        EXPECT_EQ(star.z, RoundHalfEven(replay.Rnd() * 80000));
    }
}

}  // namespace
}  // namespace kelo
