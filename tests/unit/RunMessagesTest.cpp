#include <gtest/gtest.h>

#include <cmath>

#include "RunTestPlatform.h"
#include "run/Course.h"
#include "run/RunMessages.h"

namespace kelo {
namespace {

using testing::MarkerText;
using testing::RunTestPlatform;

constexpr Colour kUntouched = Rgb(9, 8, 7);
constexpr Colour kGrey = Rgb(180, 180, 180);

class RunMessages : public ::testing::Test {
protected:
    RunTestPlatform platform;
    Game game{platform};
    GameState& s = game.state;

    void SetUp() override {
        game.PicBack = Surface(400, 300, kUntouched, kBlack);
        s.courseIndex = 0;  // background 0, 20, 100
        ResetRun(s);
        s.distance = 1;
    }
    Colour At(int x, int y) const { return game.PicBack.image.At(x, y); }
    const std::vector<MarkerText::Printed>& Prints() { return platform.Marker().printed; }
    // The dial point at `degrees` (counter-clockwise from 3 o'clock on screen), radius r.
    Colour DialAt(double degrees, double r) const {
        const double rad = degrees * 3.14159265358979 / 180;
        return At(static_cast<int>(std::lround(350 + r * std::cos(rad))),
                  static_cast<int>(std::lround(250 - r * std::sin(rad))));
    }
    // True if `colour` appears at one of the 3 x 3 shaken positions starting at (x, y).
    bool ShakenPixel(int x, int y, Colour colour) const {
        for (int dy = 0; dy < 3; ++dy) {
            for (int dx = 0; dx < 3; ++dx) {
                if (At(x + dx, y + dy) == colour) return true;
            }
        }
        return false;
    }
};

TEST_F(RunMessages, ReadyStandsOnTheGreyBand) {
    s.countdown = 40;
    DrawStartMessages(game);
    EXPECT_EQ(Prints(), (std::vector<MarkerText::Printed>(3, {"Ready....", 48})));
    EXPECT_EQ(At(46, 80), Rgb(255, 235, 155));  // inverse of the background
    EXPECT_EQ(At(41, 80), kBlack);
    EXPECT_EQ(At(51, 80), kBlack);
    EXPECT_EQ(At(10, 80 + 2 * 17), Rgb(119, 119, 119));
    EXPECT_EQ(At(290, 80 + 2 * 33), Rgb(7, 7, 7));
    EXPECT_EQ(At(10, 81), kUntouched);  // only every second row
    EXPECT_EQ(At(10, 80 + 2 * 34), kUntouched);
}

TEST_F(RunMessages, ReadySplitsAndSlidesApart) {
    s.countdown = 39;
    DrawStartMessages(game);
    const Colour inverse = Rgb(255, 235, 155);
    EXPECT_EQ(At(38, 80), inverse);   // 7.5 * 39 - 254 = 38.5, to even
    EXPECT_EQ(At(156, 80), inverse);  // 449 - 292.5 = 156.5, to even
    EXPECT_EQ(At(33, 80), kBlack);
    EXPECT_EQ(At(162, 80), kBlack);
    const int middle = 80 + 2 * 17;
    EXPECT_EQ(At(100, middle), Rgb(119, 119, 119));
    EXPECT_EQ(At(150, middle), kUntouched);  // the gap between 142.5 and 157.5
    EXPECT_EQ(At(200, middle), Rgb(119, 119, 119));
    ASSERT_EQ(Prints().size(), 6u);
    EXPECT_EQ(Prints()[0], (MarkerText::Printed{"Rea", 48}));
    EXPECT_EQ(Prints()[3], (MarkerText::Printed{"dy....", 48}));
}

TEST_F(RunMessages, NothingWhileWaitingAndGoAfterwards) {
    s.countdown = 20;
    DrawStartMessages(game);
    s.countdown = 0;
    DrawStartMessages(game);
    EXPECT_TRUE(Prints().empty());

    s.countdown = 19;
    DrawStartMessages(game);
    EXPECT_EQ(Prints(), (std::vector<MarkerText::Printed>(6, {"GO!", 36})));
    EXPECT_TRUE(ShakenPixel(114, 244, Rgb(100, 0, 20)));  // background blue, red, green
    EXPECT_TRUE(ShakenPixel(113, 245, kWhite));
}

TEST_F(RunMessages, ProgressBarMeasuresTheCurrentStage) {
    s.courseIndex = 1;  // checkpoints 2400, 6000
    ResetRun(s);
    s.stageIndex = 1;
    s.distance = 4200;
    s.countdown = 1;
    DrawStageProgress(game);
    EXPECT_EQ(At(100, 270), kUntouched);

    s.countdown = 0;
    DrawStageProgress(game);
    EXPECT_EQ(At(100, 270), kGrey);
    EXPECT_EQ(At(148, 270), kGrey);
    EXPECT_EQ(At(200, 270), kUntouched);  // outline only beyond the filled half
    EXPECT_EQ(At(20, 265), kWhite);
    EXPECT_EQ(At(280, 275), kWhite);
    EXPECT_EQ(At(280, 270), kWhite);
    EXPECT_EQ(At(200, 265), kWhite);

    s.stageIndex = 0;
    s.distance = 1200;  // from distance 0: half of 2400
    game.PicBack.image.Fill(kUntouched);
    DrawStageProgress(game);
    EXPECT_EQ(At(148, 270), kGrey);
    EXPECT_EQ(At(200, 270), kUntouched);

    s.distance = 9000;  // never beyond the box
    DrawStageProgress(game);
    EXPECT_EQ(At(279, 270), kGrey);
    EXPECT_EQ(At(285, 270), kUntouched);
}

TEST_F(RunMessages, TimeExtendShakesThenStandsStill) {
    const Colour yellow = Rgb(255, 255, 0);
    s.extendTimer = 29;
    DrawExtendMessage(game);
    EXPECT_EQ(At(95, 260), yellow);
    EXPECT_EQ(At(96, 260), yellow);
    EXPECT_EQ(At(94, 261), kBlack);
    EXPECT_EQ(At(97, 260), kBlack);
    EXPECT_EQ(Prints(), (std::vector<MarkerText::Printed>(6, {"Time Extend!", 16})));

    game.PicBack.image.Fill(kUntouched);
    s.extendTimer = 50;
    DrawExtendMessage(game);
    EXPECT_TRUE(ShakenPixel(94, 259, yellow));

    platform.Marker().printed.clear();
    s.extendTimer = 0;
    DrawExtendMessage(game);
    EXPECT_TRUE(Prints().empty());
}

TEST_F(RunMessages, PanelCountersAndColours) {
    s.stageTime[0] = 4 * 990 + 989;
    s.elapsedTime = 5445;
    s.speed = 12.345f;
    DrawRightPanel(game);
    EXPECT_EQ(At(399, 0), kBlack);
    EXPECT_EQ(At(301, 150), kBlack);
    EXPECT_EQ(At(300, 150), kWhite);
    EXPECT_EQ(At(315, 5), Rgb(255, 205, 205));
    EXPECT_EQ(At(325, 100), kWhite);
    EXPECT_EQ(At(326, 100), kWhite);
    EXPECT_EQ(At(335, 241), Rgb(190, 190, 190));
    EXPECT_EQ(At(336, 241), Rgb(190, 190, 190));
    ASSERT_EQ(Prints().size(), 5u);
    EXPECT_EQ(Prints()[0], (MarkerText::Printed{"04", 48}));
    EXPECT_EQ(Prints()[1], (MarkerText::Printed{"005.50", 10}));
    EXPECT_EQ(Prints()[3], (MarkerText::Printed{"1234", 12}));

    platform.Marker().printed.clear();
    s.stageTime[0] = 0;
    s.elapsedTime = 61875;
    s.speed = 0.5f;
    DrawRightPanel(game);
    EXPECT_EQ(At(315, 5), Rgb(255, 5, 5));
    EXPECT_EQ(Prints()[0], (MarkerText::Printed{"00", 48}));
    EXPECT_EQ(Prints()[1], (MarkerText::Printed{"062.50", 10}));
    EXPECT_EQ(Prints()[3], (MarkerText::Printed{"0050", 12}));

    platform.Marker().printed.clear();
    s.stageIndex = 1;
    s.stageTime[1] = 123 * 990;
    DrawRightPanel(game);
    EXPECT_EQ(Prints()[0], (MarkerText::Printed{"123", 48}));
    EXPECT_EQ(At(315, 5), Rgb(255, 255, 255));
}

TEST_F(RunMessages, SpeedDialSweepsClockwiseFromLowerLeft) {
    const Colour red = Rgb(255, 40, 20);
    s.speed = 0;
    DrawRightPanel(game);
    EXPECT_EQ(DialAt(90, 25), kBlack);
    EXPECT_EQ(DialAt(180, 25), kBlack);
    EXPECT_EQ(DialAt(270, 10), kBlack);  // the hub
    EXPECT_EQ(DialAt(270, 20), kBlack);  // the scale's gap at the bottom

    s.speed = 15;  // free edge at 224 - 135 = 89 degrees
    DrawRightPanel(game);
    EXPECT_EQ(DialAt(180, 25), kGrey);
    EXPECT_EQ(DialAt(100, 25), kGrey);
    EXPECT_EQ(DialAt(60, 25), kBlack);
    EXPECT_EQ(DialAt(330, 25), kBlack);

    s.speed = 30;
    DrawRightPanel(game);
    EXPECT_EQ(DialAt(60, 25), kGrey);
    EXPECT_EQ(DialAt(10, 25), kGrey);
    EXPECT_EQ(DialAt(337, 25), red);
    EXPECT_EQ(DialAt(300, 25), kBlack);
    EXPECT_EQ(DialAt(0, 10), kBlack);
    EXPECT_EQ(DialAt(90, 20), kWhite);  // the inner scale arc
    EXPECT_EQ(game.PicBack.fillStyle, FillStyle::Solid);
    EXPECT_EQ(game.PicBack.fillColour, kBlack);

    s.speed = 27;  // red from 315 + 27 = 342 degrees
    DrawRightPanel(game);
    EXPECT_EQ(DialAt(352, 25), red);
    EXPECT_EQ(DialAt(330, 25), kBlack);
}

TEST_F(RunMessages, FrameRateOfTheLastGroup) {
    s.fpsSum[1] = 1;
    DrawFrameRate(game);
    s.fpsSum[1] = 990;
    DrawFrameRate(game);
    s.fpsSum[1] = 0;
    DrawFrameRate(game);
    EXPECT_EQ(Prints(), (std::vector<MarkerText::Printed>{{"30000 FPS", 12}, {"30 FPS", 12}, {"30000 FPS", 12}}));
    EXPECT_EQ(At(345, 280), kWhite);
}

}  // namespace
}  // namespace kelo
