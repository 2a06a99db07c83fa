#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "run/CourseEvents.h"

namespace kelo {
namespace {

GameState AtCourse(int course, float distance) {
    GameState s;
    s.courseIndex = static_cast<uint8_t>(course);
    s.courseLength = 6000;  // course 1's band rule reads it; the others ignore it
    s.distance = distance;
    return s;
}

// Values no rule writes, so that a test can tell "left alone" from "written".
void MarkUntouched(GameState& s) {
    s.curveRate = 0.77f;
    s.handPeriodTarget = {3, 3};
    s.keyPoolSize = {7, 7};
    s.backColour = {111, 111, 111};
    s.starTint = {0.5f, 0.5f, 0.5f};
    s.letterSpacingTarget = {999, 999};
}

TEST(CourseEvents, BetweenTwoRangesNothingChangesButContinuousRulesStillApply) {
    GameState s = AtCourse(1, 1099.5f);
    MarkUntouched(s);
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, 0.77f);
    EXPECT_EQ(s.handPeriodTarget[0], 3);
    EXPECT_EQ(s.starBand[1], -6335);  // (1099.5 - 3000) * 10000 / 3000

    s.distance = 1099;
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, 99.0f / 4000);
    EXPECT_EQ(s.handPeriodTarget[0], 1);
    s.distance = 1100;
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, 0.025f);
    EXPECT_EQ(s.handPeriodTarget[0], 2);
    EXPECT_EQ(s.handPeriodTarget[1], 3) << "a rule naming one hand leaves the other";
}

TEST(CourseEvents, CourseTwoWritesNothingBetween7000And7999) {
    GameState s = AtCourse(2, 6999);
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, 0.12f);
    EXPECT_EQ(s.handPeriodTarget[0], 4);
    for (float d : {7000.0f, 7500.0f, 7999.0f}) {
        MarkUntouched(s);
        s.distance = d;
        RunCourseEvents(s);
        EXPECT_FLOAT_EQ(s.curveRate, 0.77f) << d;
        EXPECT_EQ(s.handPeriodTarget, (std::array<uint8_t, 2>{3, 3})) << d;
        EXPECT_EQ(s.keyPoolSize, (std::array<uint8_t, 2>{7, 7})) << d;
    }
    s.distance = 8000;
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, -0.18f);
    EXPECT_EQ(s.keyPoolSize, (std::array<uint8_t, 2>{5, 1}));
    s.distance = 10399;
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, -0.4199f);
}

TEST(CourseEvents, CourseFiveMirrorsCourseTwoAtItsSharpCurve) {
    GameState s = AtCourse(5, 8000);
    MarkUntouched(s);
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, 0.18f);
    EXPECT_EQ(s.backColour[0], 111) << "the first colour rule excludes 8000 itself";
    EXPECT_EQ(s.handPeriodTarget[1], 1);
    EXPECT_EQ(s.keyPoolSize, (std::array<uint8_t, 2>{1, 4})) << "outside hand F alone, inside hand home row";

    s.distance = 8500;
    RunCourseEvents(s);
    EXPECT_EQ(s.backColour[0], 20);
    EXPECT_EQ(s.backColour[2], 10);
    s.distance = 10000;
    RunCourseEvents(s);
    EXPECT_EQ(s.backColour[0], 20);
    EXPECT_EQ(s.backColour[2], 40);
    EXPECT_FLOAT_EQ(s.starTint[1], 2.0f);
}

TEST(CourseEvents, CourseSevenRangeBandOverridesTheContinuousBand) {
    GameState s = AtCourse(7, 25000);
    RunCourseEvents(s);
    EXPECT_EQ(s.starBand, (std::array<int32_t, 2>{80000, -40000}));
    EXPECT_EQ(s.keyPoolSize, (std::array<uint8_t, 2>{15, 13}));

    s.distance = 39999.5f;  // past the last range: only the continuous rules hold
    RunCourseEvents(s);
    EXPECT_EQ(s.starBand[0], 40001);
    EXPECT_EQ(s.starBand[1], -20000) << "-20000.5 rounds to the even neighbour";
    EXPECT_EQ(s.backColour, (std::array<uint8_t, 3>{20, 30, 70}));

    s.distance = 15000;
    RunCourseEvents(s);
    EXPECT_EQ(s.starBand[1], -20300);
    EXPECT_EQ(s.handPeriodTarget, (std::array<uint8_t, 2>{1, 1}));
    EXPECT_EQ(s.letterSpacingTarget, (std::array<int16_t, 2>{80, 80}));
}

TEST(CourseEvents, ColourRulesHoldOnlyInsideTheirEnds) {
    GameState s = AtCourse(3, 12500);
    RunCourseEvents(s);
    EXPECT_EQ(s.backColour[0], 50);
    EXPECT_EQ(s.backColour[1], 0);
    MarkUntouched(s);
    s.distance = 12500.5f;
    RunCourseEvents(s);
    EXPECT_EQ(s.backColour[0], 111);

    // Course 0's "\" rounds first and then truncates: 9999 \ 500 is 19, not 20.
    s = AtCourse(0, 1);
    RunCourseEvents(s);
    EXPECT_EQ(s.backColour[1], 19);
    EXPECT_EQ(s.backColour[2], 99);
    s.distance = 10000;
    RunCourseEvents(s);
    EXPECT_EQ(s.backColour[2], 0);
    EXPECT_FLOAT_EQ(s.starTint[0], 0.9f);
    EXPECT_FLOAT_EQ(s.starTint[2], 2.0f);
}

TEST(CourseEvents, SignWindowsOnlyOpenWhileNoSignIsShowing) {
    GameState s = AtCourse(1, 799);
    RunCourseEvents(s);
    s.distance = 831;  // the window 800-830 was crossed within one frame
    RunCourseEvents(s);
    EXPECT_EQ(s.signTimer, 0);

    s.distance = 810;
    RunCourseEvents(s);
    EXPECT_EQ(s.signTimer, 50);
    EXPECT_EQ(s.signKind, SignKind::RightCurve);

    s.signTimer = 1;
    s.distance = 2210;  // another window while a sign still shows
    RunCourseEvents(s);
    EXPECT_EQ(s.signKind, SignKind::RightCurve);
    EXPECT_EQ(s.signTimer, 1);

    s.signTimer = 0;  // still inside the window after the sign ran out: raised again
    RunCourseEvents(s);
    EXPECT_EQ(s.signTimer, 50);
    EXPECT_EQ(s.signKind, SignKind::LeftCurve);
}

// Flying every course from start to goal, the curve only jumps where the script swings
// into or out of a sharp curve: a mistyped origin or divisor in a table shows as a jump.
TEST(CourseEvents, CurvesAreContinuousExceptAtTheSharpCurves) {
    struct Flight {
        int course;
        int length;
        std::vector<int> jumps;
    };
    const Flight flights[] = {{0, 10000, {}}, {1, 6000, {}},  {2, 20000, {0, 8000, 10400}},
                              {3, 20000, {}}, {4, 10000, {}}, {5, 20000, {0, 8000, 10400}},
                              {6, 36000, {}}, {7, 40000, {}}, {8, 43000, {}}};
    for (const Flight& f : flights) {
        GameState s = AtCourse(f.course, 0);
        float previous = 0;
        for (int d = 0; d <= f.length; ++d) {
            s.distance = static_cast<float>(d);
            RunCourseEvents(s);
            const bool jump = std::find(f.jumps.begin(), f.jumps.end(), d) != f.jumps.end();
            if (!jump) {
                ASSERT_LE(std::fabs(s.curveRate - previous), 0.0003f) << "course " << f.course << " at " << d;
            }
            previous = s.curveRate;
        }
        EXPECT_LE(std::fabs(s.curveRate), 0.12f) << "course " << f.course;
    }
}

TEST(CourseEvents, PeriodsLengthenOnTheOutsideOfCourseSixAndEightCurves) {
    GameState s = AtCourse(6, 6000);  // right curve: the left hand is outside
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, 0.1f);
    EXPECT_EQ(s.handPeriodTarget[0], 3);
    s.distance = 24000;
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, -0.1f);
    EXPECT_EQ(s.handPeriodTarget[1], 3);

    s = AtCourse(8, 8000);
    RunCourseEvents(s);
    EXPECT_FLOAT_EQ(s.curveRate, -0.12f);
    EXPECT_EQ(s.handPeriodTarget[1], 4);
    s.distance = 16000;
    RunCourseEvents(s);
    EXPECT_EQ(s.keyPoolSize, (std::array<uint8_t, 2>{1, 1}));
    EXPECT_EQ(s.backColour[1], 18);
    EXPECT_EQ(s.backColour[2], 46);
}

}  // namespace
}  // namespace kelo
