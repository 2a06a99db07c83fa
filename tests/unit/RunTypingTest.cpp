#include <gtest/gtest.h>

#include "RunTestPlatform.h"
#include "run/Course.h"
#include "run/Typing.h"

namespace kelo {
namespace {

using testing::RunTestPlatform;

class Typing : public ::testing::Test {
protected:
    RunTestPlatform platform;
    Game game{platform};
    GameState& s = game.state;

    // A run of `course` past its countdown, both queues filled, nothing latched.
    void StartCourse(int course) {
        s.courseIndex = static_cast<uint8_t>(course);
        ResetRun(s);
        FillTargetQueues(game);
        s.distance = 1;
        s.countdown = 20;
        s.keyLatch = KeyLatch::Free;
    }
    // A key that goes down and straight up again, as seen by the next poll.
    void Tap(int vk) {
        game.keyboard.Down(vk);
        game.keyboard.Up(vk);
    }
    void ExpectWellFormedQueue(int hand) {
        const std::string& queue = s.targetQueue[hand];
        const std::string_view pool = HandKeys(hand).substr(0, s.keyPoolSize[hand]);
        ASSERT_EQ(queue.size(), 10u);
        for (size_t i = 0; i < queue.size(); ++i) {
            EXPECT_NE(pool.find(queue[i]), std::string_view::npos) << queue;
            if (i > 0 && pool.size() > 1) {
                EXPECT_NE(queue[i], queue[i - 1]) << queue;
            }
        }
        EXPECT_EQ(s.targetKey[hand], TargetKeyCode(queue.front()));
    }
};

TEST_F(Typing, QueuesStayInPoolWithoutRepeatsThroughRefills) {
    for (int course : {0, 1, 2, 4, 5}) {
        for (uint32_t seed = 1; seed <= 40; ++seed) {
            game.random.Seed(seed);
            StartCourse(course);
            for (int hit = 0; hit < 30; ++hit) {
                const int hand = hit % 2;
                ScoreHit(game, hand);
                s.keyLatch = KeyLatch::Free;
                ExpectWellFormedQueue(hand);
            }
            ExpectWellFormedQueue(0);
            ExpectWellFormedQueue(1);
        }
    }
}

TEST_F(Typing, PoolOfOneRepeatsItsLetter) {
    StartCourse(0);
    EXPECT_EQ(s.targetQueue[0], "FFFFFFFFFF");
    EXPECT_EQ(s.targetQueue[1], "JJJJJJJJJJ");
    ScoreHit(game, 1);
    EXPECT_EQ(s.targetQueue[1], "JJJJJJJJJJ");
}

TEST_F(Typing, EveryLetterOfAFullPoolIsDrawn) {
    s.keyPoolSize = {15, 13};
    std::string seen[2];
    for (int i = 0; i < 2000; ++i) {
        for (int h = 0; h < 2; ++h) {
            const char letter = DrawLetter(game, h);
            if (seen[h].find(letter) == std::string::npos) seen[h] += letter;
        }
    }
    EXPECT_EQ(seen[0].size(), 15u);
    EXPECT_EQ(seen[1].size(), 13u);
}

TEST(TypingSpeed, MissPenaltyTable) {
    EXPECT_FLOAT_EQ(SpeedAfterMiss(5), 4.5f);
    EXPECT_NEAR(SpeedAfterMiss(5.01f), 4.01f, 1e-5);
    EXPECT_FLOAT_EQ(SpeedAfterMiss(30), 27.5f);
    EXPECT_FLOAT_EQ(SpeedAfterMiss(0.3f), 0);
    EXPECT_FLOAT_EQ(SpeedAfterMiss(0), 0);
    EXPECT_FLOAT_EQ(SpeedAfterMiss(10), 9);
    EXPECT_FLOAT_EQ(SpeedAfterMiss(10.5f), 9);
    EXPECT_FLOAT_EQ(SpeedAfterMiss(15), 13.5f);
    EXPECT_FLOAT_EQ(SpeedAfterMiss(20), 18);
    EXPECT_FLOAT_EQ(SpeedAfterMiss(20.5f), 18);
    EXPECT_FLOAT_EQ(SpeedAfterMiss(2), 1.5f);
}

TEST(TypingSpeed, HitGainShrinksWithSpeed) {
    EXPECT_FLOAT_EQ(SpeedAfterHit(0), 1);
    EXPECT_FLOAT_EQ(SpeedAfterHit(5), 6);
    EXPECT_FLOAT_EQ(SpeedAfterHit(6), 6.99f);
    EXPECT_FLOAT_EQ(SpeedAfterHit(105), 105);
    float speed = 0;
    for (int i = 0; i < 5000; ++i) speed = SpeedAfterHit(speed);
    EXPECT_NEAR(speed, 105, 0.01);
}

TEST(TypingMiss, TalliedHandByMembership) {
    for (char c : std::string("FASDGQWERTZXCVB")) EXPECT_EQ(MissedHand(c), 0) << c;
    for (char c : std::string("JHKLYUIOPNM")) EXPECT_EQ(MissedHand(c), 1) << c;
    EXPECT_EQ(MissedHand(188), 1);
    EXPECT_EQ(MissedHand(190), 1);
    EXPECT_EQ(MissedHand(44), 1);  // the character "," itself
    EXPECT_EQ(MissedHand(46), 1);
    for (int vk : std::initializer_list<int>{0, 8, 16, 27, 32, 'a', 'f', 'j', 186, 189, 191, 255, 300})
        EXPECT_EQ(MissedHand(vk), -1) << vk;
}

TEST_F(Typing, WrongKeyShakesTalliesPenalisesAndLatches) {
    StartCourse(4);
    s.speed = 12;
    const int wrongLeft = s.targetKey[0] == 'B' ? 'V' : 'B';
    PicMain_KeyDown(game, wrongLeft);
    EXPECT_EQ(s.keyTally.misses[0], 1);
    EXPECT_EQ(s.missShake[0], 10);
    EXPECT_FLOAT_EQ(s.speed, 10.5f);
    EXPECT_EQ(s.keyLatch, KeyLatch::WrongKeyHeld);

    PicMain_KeyDown(game, 'M');  // swallowed while a wrong key is held
    EXPECT_EQ(s.keyTally.misses[1], 0);
    EXPECT_FLOAT_EQ(s.speed, 10.5f);

    PicMain_KeyUp(game, vk::Shift);  // any key going up frees it
    EXPECT_EQ(s.keyLatch, KeyLatch::Free);
    PicMain_KeyDown(game, vk::Space);
    EXPECT_EQ(s.keyTally, (KeyTally{{0, 0}, {1, 0}}));
    EXPECT_FLOAT_EQ(s.speed, 9);
    EXPECT_EQ(s.missShake[1], 0);
}

TEST_F(Typing, KeyDownLeavesAFreeTargetToThePoll) {
    StartCourse(3);  // both periods 2, left first: the right hand waits
    s.speed = 3;
    PicMain_KeyDown(game, s.targetKey[0]);
    EXPECT_EQ(s.keyLatch, KeyLatch::Free);
    EXPECT_FLOAT_EQ(s.speed, 3);

    PicMain_KeyDown(game, s.targetKey[1]);  // a blocked hand's target is a miss
    EXPECT_EQ(s.keyTally.misses[1], 1);
    EXPECT_EQ(s.missShake[1], 10);
    EXPECT_EQ(s.keyLatch, KeyLatch::WrongKeyHeld);
}

TEST_F(Typing, CorrectKeyLatchSwallowsOtherKeysUntilReleased) {
    StartCourse(4);
    s.speed = 3;
    s.keyLatch = KeyLatch::CorrectKeyHeld;
    PicMain_KeyDown(game, 'Q');
    PicMain_KeyUp(game, 'Q');
    EXPECT_EQ(s.keyLatch, KeyLatch::CorrectKeyHeld);
    EXPECT_EQ(s.keyTally.misses[0], 0);
    EXPECT_FLOAT_EQ(s.speed, 3);
}

TEST_F(Typing, LongPeriodWaitsForTheOtherHand) {
    StartCourse(2);
    s.handPeriod = {4, 1};
    ScoreHit(game, 0);
    EXPECT_EQ(s.handWait[0], 3);
    for (int expected : {2, 1, 0}) {
        ScoreHit(game, 1);
        EXPECT_EQ(s.handWait[0], expected);
        EXPECT_EQ(s.handWait[1], 0);
    }
    ScoreHit(game, 1);
    EXPECT_EQ(s.handWait[0], 0);
}

TEST_F(Typing, FirstHitStartsClockAndMusic) {
    StartCourse(5);  // midBGM1
    s.keyTally = KeyTally{{0, 0}, {4, 2}};
    ScoreHit(game, 1);
    EXPECT_EQ(s.elapsedTime, 1);
    EXPECT_EQ(s.keyTally, (KeyTally{{0, 1}, {0, 0}}));
    EXPECT_EQ(platform.sounds, (std::vector<std::string>{"play wavGop notify from 0", "play midBGM1 from 0",
                                                         "play wavTip notify from 0"}));
    ScoreHit(game, 0);
    EXPECT_EQ(platform.sounds.back(), "play wavTip notify from 0");
    EXPECT_EQ(platform.sounds.size(), 4u);
    EXPECT_EQ(s.keyTally.touches[0], 1);

    StartCourse(0);
    platform.sounds.clear();
    ScoreHit(game, 1);
    EXPECT_EQ(platform.sounds[1], "play midBGM2 from 0");
}

TEST_F(Typing, HitEffects) {
    StartCourse(4);
    s.letterSpacing[1] = 64;
    s.warpCharge = 100;
    s.speed = 5;
    const uint8_t key = s.targetKey[1];
    ScoreHit(game, 1);
    EXPECT_EQ(s.keyLatch, KeyLatch::CorrectKeyHeld);
    EXPECT_EQ(game.run.heldKey, key);
    EXPECT_EQ(s.queueScroll[1], 64);
    EXPECT_EQ(s.warpCharge, 116);
    EXPECT_FLOAT_EQ(s.speed, 6);
    EXPECT_EQ(s.hitFlash[1][0], 50);
    ScoreHit(game, 1);
    ScoreHit(game, 1);
    ScoreHit(game, 1);
    EXPECT_EQ(s.warpCharge, 120);
    EXPECT_EQ(s.hitFlash[1][1], 50);
    EXPECT_EQ(s.hitFlash[1][2], 50);
    EXPECT_EQ(s.hitFlashSlot[1], 1);  // the fourth hit reused slot 0
    EXPECT_EQ(s.hitFlash[0][0], 0);
}

TEST_F(Typing, HandStepScoresOnlyWhenTheHandMayType) {
    StartCourse(4);
    s.countdown = 21;
    Tap(s.targetKey[0]);
    HandStep(game, 0);
    EXPECT_EQ(s.keyTally.touches[0], 0);
    s.countdown = 20;
    HandStep(game, 0);  // the early tap was used up by the earlier poll
    EXPECT_EQ(s.keyTally.touches[0], 0);

    Tap(s.targetKey[0]);
    HandStep(game, 0);
    EXPECT_EQ(s.keyTally.touches[0], 1);

    s.keyLatch = KeyLatch::Free;
    s.distance = static_cast<float>(s.courseLength);
    Tap(s.targetKey[0]);
    HandStep(game, 0);
    EXPECT_EQ(s.keyTally.touches[0], 1);
}

TEST_F(Typing, ShakeAndFlashDecay) {
    StartCourse(4);
    s.missShake[1] = 2;
    s.hitFlash[0] = {50, 3, 4};
    s.hitFlash[1] = {6, 0, 9};
    for (int frame = 0; frame < 2; ++frame) {
        HandStep(game, 1);
        EXPECT_LE(s.queueJitter[1].x, 4);
        EXPECT_LE(s.queueJitter[1].y, 4);
    }
    HandStep(game, 1);
    EXPECT_EQ(s.missShake[1], 0);
    EXPECT_EQ(s.queueJitter[1].x, 2);
    EXPECT_EQ(s.queueJitter[1].y, 2);
    EXPECT_EQ(s.hitFlash[0], (std::array<uint8_t, 3>{50, 3, 4}));  // the other hand's slots stay
    EXPECT_EQ(s.hitFlash[1], (std::array<uint8_t, 3>{0, 0, 0}));
}

TEST_F(Typing, HandStepAdoptsRequestedPeriod) {
    StartCourse(2);  // left asks for 4
    HandStep(game, 0);
    HandStep(game, 1);
    EXPECT_EQ(s.handPeriod, (std::array<uint8_t, 2>{4, 1}));
    EXPECT_EQ(s.letterSpacingTarget, (std::array<int16_t, 2>{320, 80}));
}

TEST_F(Typing, LetterColumnsGrowUpwardFromTheTargets) {
    game.PicBack = Surface(400, 300, Rgb(9, 8, 7), kBlack);
    s.targetQueue = {"ASDFGASDFG", ",MJHKLJHKL"};
    s.queueJitter = {ColumnJitter{1, 0}, ColumnJitter{3, 4}};
    s.letterSpacing = {50, 80};
    s.queueScroll = {10, 0};
    DrawLetterColumns(game);
    const Image& back = game.PicBack.image;
    // Left "A" (offset -3) at x 86 + 1 - 3, y 177 - 10: black, white one below, black two below.
    EXPECT_EQ(back.At(84, 167), kBlack);
    EXPECT_EQ(back.At(84, 168), kWhite);
    EXPECT_EQ(back.At(84, 169), kBlack);
    EXPECT_EQ(back.At(193, 182), kWhite);  // right "," (offset +10) at 180 + 3 + 10, 177 + 4
    EXPECT_EQ(back.At(85, 118), kWhite);   // left "S" (-2), one spacing of 50 higher
    EXPECT_EQ(back.At(179, 102), kWhite);  // right "M" (-4), one spacing of 80 higher

    const auto& printed = platform.Marker().printed;
    ASSERT_EQ(printed.size(), 60u);
    const char* order[] = {"A", "A", "A", ",", ",", ",", "S", "S", "S", "M"};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(printed[i], (testing::MarkerText::Printed{order[i], 48})) << i;
}

}  // namespace
}  // namespace kelo
