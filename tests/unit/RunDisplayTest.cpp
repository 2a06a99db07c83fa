#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "FlightTestSupport.h"
#include "run/RunDisplay.h"

namespace kelo {
namespace {

using flighttest::FlightGame;
using flighttest::kUntouched;

// ---- Letter columns ------------------------------------------------------------------

TEST(LetterColumns, AScrollFallsTwentyAFrameToZeroThenClimbsBackFiveAFrame) {
    FlightGame f;
    GameState& s = f.game.state;
    s.letterSpacing[0] = s.letterSpacingTarget[0] = 80;
    s.handPeriod[0] = 2;
    s.handWait[0] = 1;  // target 80 / 2 * 1 = 40
    s.queueScroll[0] = 90;
    std::vector<int> scrolls;
    for (int frame = 0; frame < 6; ++frame) {
        UpdateLetterColumns(f.game, 0);
        scrolls.push_back(s.queueScroll[0]);
    }
    EXPECT_EQ(scrolls, (std::vector<int>{70, 50, 30, 35, 40, 40}));
    EXPECT_EQ(s.queueScroll[1], 0) << "the other hand's column is not moved";
}

TEST(LetterColumns, SpacingStepFollowsTheScrollMovement) {
    FlightGame f;
    GameState& s = f.game.state;
    s.handPeriod = {1, 2};
    s.handWait = {0, 1};
    s.letterSpacing = {50, 50};
    s.letterSpacingTarget = {240, 240};
    s.queueScroll = {20, 0};  // left falls to target 0, right rises to 25
    UpdateLetterColumns(f.game, 0);
    UpdateLetterColumns(f.game, 1);
    EXPECT_EQ(s.letterSpacing[0], 72);
    EXPECT_EQ(s.letterSpacing[1], 53);
    UpdateLetterColumns(f.game, 0);  // scroll at its target: the resting step
    EXPECT_EQ(s.letterSpacing[0], 74);

    s.letterSpacing[0] = 81;
    s.letterSpacingTarget[0] = 80;
    UpdateLetterColumns(f.game, 0);
    EXPECT_EQ(s.letterSpacing[0], 80) << "stops at the target from above";
}

TEST(LetterColumns, AFractionalTargetRoundsHalfToEven) {
    FlightGame f;
    GameState& s = f.game.state;
    s.letterSpacing[0] = s.letterSpacingTarget[0] = 73;
    s.handPeriod[0] = 2;
    s.handWait[0] = 1;  // target 36.5
    s.queueScroll[0] = 33;
    UpdateLetterColumns(f.game, 0);
    EXPECT_EQ(s.queueScroll[0], 36);
    UpdateLetterColumns(f.game, 0);
    EXPECT_EQ(s.queueScroll[0], 36);
}

// ---- Hit discs ---------------------------------------------------------------------------

TEST(HitDiscs, GrowFromAPointWhileFadingToTheBackColour) {
    GameState s;
    s.backColour = {10, 40, 140};
    const HitDisc first = HitDiscAt(50, s);
    EXPECT_EQ(first.radius, 0.0f);
    EXPECT_EQ(first.fill, kWhite);
    EXPECT_EQ(first.outline, kWhite);
    const HitDisc last = HitDiscAt(2, s);
    EXPECT_FLOAT_EQ(last.radius, 76.8f);
    EXPECT_EQ(last.fill, Rgb(30, 60, 160));
    EXPECT_EQ(last.outline, Rgb(20, 50, 150));
    EXPECT_EQ(HitDiscAt(20, s).fill, Rgb(210, 240, 255));
}

TEST(HitDiscs, SlotsAreDrawnInOrderAtTheFootOfTheHandsColumn) {
    FlightGame f;
    GameState& s = f.game.state;
    s.backColour = {0, 0, 0};
    s.hitFlash[1][0] = 2;   // slot 0, right hand: the widest, dimmest disc
    s.hitFlash[1][2] = 46;  // slot 2, right hand: small and bright, drawn last
    s.hitFlash[0][0] = 0;
    DrawHitFlashes(f.game, 1);
    EXPECT_EQ(f.Back(197, 212), Rgb(255, 255, 255));
    EXPECT_EQ(f.Back(197 + 60, 212), Rgb(20, 20, 20));
    EXPECT_EQ(f.Back(197, 212 + 80), kUntouched);
    EXPECT_EQ(f.Back(197 - 70, 212), Rgb(20, 20, 20));

    FlightGame g;
    DrawHitFlashes(g.game, 0);
    EXPECT_EQ(g.game.PicBack.image.Pixels(), FlightGame().game.PicBack.image.Pixels()) << "level 0 draws nothing";
}

// ---- Run overlay and road sign -----------------------------------------------------------

TEST(RoadSign, BlinksOnEvenTimersFrom48To30ThenShowsSteadily) {
    int shown = 0;
    for (int timer = 49; timer >= 1; --timer) shown += RoadSignShown(static_cast<uint8_t>(timer)) ? 1 : 0;
    EXPECT_EQ(shown, 39);
    EXPECT_FALSE(RoadSignShown(0));
    EXPECT_FALSE(RoadSignShown(31));
    EXPECT_TRUE(RoadSignShown(30));
    EXPECT_TRUE(RoadSignShown(29));
}

TEST(RunOverlay, BandLanesAndBorders) {
    FlightGame f;
    DrawRunOverlay(f.game);
    EXPECT_EQ(f.Back(10, 182), kBlack);
    EXPECT_EQ(f.Back(10, 244), kBlack);
    EXPECT_EQ(f.Back(10, 183), kUntouched) << "the band leaves every second row";
    EXPECT_EQ(f.Back(10, 180), Rgb(200, 200, 200));
    EXPECT_EQ(f.Back(10, 245), Rgb(200, 200, 200));
    EXPECT_EQ(f.Back(10, 246), kUntouched);
    EXPECT_EQ(f.Back(103, 20), Rgb(100, 100, 100));
    EXPECT_EQ(f.Back(197, 299), Rgb(100, 100, 100));
    EXPECT_EQ(f.Back(63, 20), kBlack);
    EXPECT_EQ(f.Back(93, 20), Rgb(75, 75, 75));
    EXPECT_EQ(f.Back(237, 20), kBlack);
    EXPECT_EQ(f.Back(104, 20), kUntouched);
    EXPECT_EQ(f.Back(239, 20), kUntouched);
    EXPECT_EQ(f.Back(300, 180), kUntouched);
}

TEST(RunOverlay, SignKindsAndFillStyle) {
    auto overlay = [](SignKind kind, uint8_t timer) {
        auto f = std::make_unique<FlightGame>();
        f->game.state.signKind = kind;
        f->game.state.signTimer = timer;
        DrawRunOverlay(f->game);
        EXPECT_EQ(f->game.PicBack.fillStyle, FillStyle::Solid);
        return f;
    };
    const auto none = overlay(SignKind::StraightOn, 0);
    const auto straight = overlay(SignKind::StraightOn, 10);
    EXPECT_EQ(straight->Back(140, 150), kWhite);
    EXPECT_EQ(straight->Back(150, 100), kWhite);
    EXPECT_EQ(straight->Back(150, 150), none->Back(150, 150)) << "the outline is not filled";

    const auto left = overlay(SignKind::LeftCurve, 10);
    EXPECT_EQ(left->Back(145, 115), kWhite);
    EXPECT_EQ(left->Back(145, 135), kBlack) << "the arrowhead is opened where the band enters";
    EXPECT_EQ(left->Back(195, 175), kWhite);
    EXPECT_EQ(left->Back(120, 135), kWhite);
    EXPECT_EQ(left->Back(155, 115), none->Back(155, 115));

    const auto right = overlay(SignKind::RightCurve, 10);
    EXPECT_EQ(right->Back(155, 115), kWhite);
    EXPECT_EQ(right->Back(155, 135), kBlack);
    EXPECT_EQ(right->Back(105, 175), kWhite);
    EXPECT_EQ(right->Back(180, 135), kWhite);

    EXPECT_EQ(overlay(SignKind::LeftCurve, 31)->Back(145, 115), none->Back(145, 115))
        << "odd timers of 30 and more blink off";
    EXPECT_EQ(overlay(static_cast<SignKind>(7), 10)->game.PicBack.image.Pixels(), none->game.PicBack.image.Pixels());
}

// ---- Result panel ------------------------------------------------------------------------

GameState FinishedRun(int touchesLeft, int32_t elapsedTime, int32_t stageTimeLeft) {
    GameState s;
    s.keyTally = KeyTally{{static_cast<int16_t>(touchesLeft), 0}, {0, 0}};
    s.elapsedTime = elapsedTime;
    s.stageTime[1] = stageTimeLeft;
    s.stageIndex = 1;
    return s;
}

RunLocals EndedFor(int16_t endTimer, uint8_t rank = 0) {
    RunLocals run;
    run.endTimer = endTimer;
    run.newRank = rank;
    return run;
}

std::vector<std::string> DistinctTexts(const std::vector<PanelText>& texts) {
    std::vector<std::string> out;
    for (const PanelText& t : texts) {
        if (out.empty() || out.back() != t.text) out.push_back(t.text);
    }
    return out;
}

std::vector<int> XsOf(const std::vector<PanelText>& texts, const std::string& text, int16_t y) {
    std::vector<int> xs;
    for (const PanelText& t : texts) {
        if (t.text == text && t.y == y) xs.push_back(t.x);
    }
    return xs;
}

TEST(ResultPanel, TimeAndTypingSpeedLines) {
    const GameState s = FinishedRun(100, 61875, 990);
    const auto texts = ResultPanelTexts(s, EndedFor(151));
    EXPECT_EQ(XsOf(texts, "Time 062.50", 110), (std::vector<int>{63, 68, 66, 65}));
    EXPECT_EQ(XsOf(texts, "TypeSpeed: 96 keys/min.", 230), (std::vector<int>{68, 63, 66, 65}));
    EXPECT_EQ(TypeSpeedLine(FinishedRun(5, 3465, 1)), "TypeSpeed: 85.71 keys/min.");
    EXPECT_EQ(TypeSpeedLine(FinishedRun(0, 0, 0)), "TypeSpeed: 0 keys/min.");
}

TEST(ResultPanel, CountsAreRightAlignedAtEightPixelsPerCharacter) {
    GameState s = FinishedRun(5, 10000, 990);
    s.keyTally.touches[1] = 123;
    const auto texts = ResultPanelTexts(s, EndedFor(121));
    EXPECT_EQ(XsOf(texts, "5", 145), (std::vector<int>{215, 220, 218, 217}));
    EXPECT_EQ(XsOf(texts, "123", 180), (std::vector<int>{199, 204, 202, 201}));
    EXPECT_EQ(XsOf(texts, "0", 198), (std::vector<int>{215, 220, 218, 217}));
}

TEST(ResultPanel, GoalPanelBuildsUpByTheEndTimer) {
    const GameState s = FinishedRun(5, 10000, 990);
    EXPECT_EQ(DistinctTexts(ResultPanelTexts(s, EndedFor(30, 2))), (std::vector<std::string>{"GOAL!"}));
    EXPECT_EQ(DistinctTexts(ResultPanelTexts(s, EndedFor(31))), (std::vector<std::string>{"GOAL!", "Time 010.10"}));
    EXPECT_EQ(
        DistinctTexts(ResultPanelTexts(s, EndedFor(181, 2))),
        (std::vector<std::string>{"GOAL!", "Time 010.10", "2位", "Left", "Touches: ", "5", "Right", "Touches: ", "0",
                                  "Misses: ", "0", "Misses: ", "0", "TypeSpeed: 29.7 keys/min.", "Press Space Key"}));

    const auto texts = ResultPanelTexts(s, EndedFor(181, 2));
    const auto rank = std::find_if(texts.begin(), texts.end(), [](const PanelText& t) { return t.text == "2位"; });
    ASSERT_NE(rank, texts.end());
    EXPECT_EQ(rank->colour, kBlack);
    EXPECT_EQ((rank + 2)->colour, Rgb(225, 72, 72));
    EXPECT_EQ(texts.front().size, 48);
    EXPECT_EQ(texts.back().colour, Rgb(220, 220, 220));
    EXPECT_EQ(texts.back().size, 18);
    EXPECT_EQ(XsOf(texts, "GOAL!", 30), (std::vector<int>{53, 67, 60}));
}

TEST(ResultPanel, TimeOutShowsOnlyGameOverSpeedAndPrompt) {
    const GameState s = FinishedRun(5, 10000, 0);
    EXPECT_EQ(DistinctTexts(ResultPanelTexts(s, EndedFor(90, 1))), (std::vector<std::string>{"GAME OVER"}));
    EXPECT_EQ(DistinctTexts(ResultPanelTexts(s, EndedFor(183, 1))),
              (std::vector<std::string>{"GAME OVER", "TypeSpeed: 29.7 keys/min.", "Press Space Key"}));
    EXPECT_EQ(XsOf(ResultPanelTexts(s, EndedFor(3)), "GAME OVER", 80), (std::vector<int>{60}));
}

}  // namespace
}  // namespace kelo
