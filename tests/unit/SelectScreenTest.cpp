#include <gtest/gtest.h>

#include "FrontEndHarness.h"
#include "screens/SelectScreen.h"

namespace kelo {
namespace {

// Loop frame k is frame wait k: the screen's entry waits for keys, not for frames.
// The arrows are free from frame 11 on (keyDelay starts at 11).
class SelectScreenTest : public ::testing::Test {
protected:
    test::FrontEndPlatform platform;
    Game game{platform};

    void SetUp() override {
        SetUpSurfaces(game);
        for (int c = 0; c < kCourseCount; ++c) game.state.courseNotes[c] = {"line0", ""};
    }

    // Runs the screen until the window closes at `closeFrame`.
    Screen RunUntil(int closeFrame) {
        platform.CloseAt(closeFrame);
        return SelectScreen(game);
    }
    std::vector<int> WaitsOf(const std::string& command) const {
        std::vector<int> waits;
        for (const auto& s : platform.sounds) {
            if (s.command == command) waits.push_back(s.frameWait);
        }
        return waits;
    }
    // Presented frame of loop frame k.
    bool Shows(int frame, const std::string& text) const { return platform.FrameShows(frame - 1, text); }
};

TEST_F(SelectScreenTest, EntryStopsTheMusicAndPagingWrapsOverTwoOpenCourses) {
    platform.Hold(11, 12, vk::Left);
    platform.Hold(25, 26, vk::Right);
    EXPECT_EQ(RunUntil(30), Screen::None);

    ASSERT_GE(platform.sounds.size(), 2u);
    EXPECT_EQ(platform.sounds[0].command, "stop midBGM1");
    EXPECT_EQ(platform.sounds[1].command, "stop midBGM2");
    EXPECT_EQ(WaitsOf("play wavSel notify from 0"), (std::vector<int>{11, 25}));
    EXPECT_TRUE(Shows(10, "Course 1"));
    EXPECT_TRUE(Shows(11, "Course 2"));
    EXPECT_TRUE(Shows(24, "Course 2"));
    EXPECT_TRUE(Shows(25, "Course 1"));
    EXPECT_EQ(game.state.courseIndex, 0);
}

TEST_F(SelectScreenTest, HeldRightPagesEveryTenFrames) {
    game.state.openCourses = 3;
    platform.Hold(5, 45, vk::Right);
    RunUntil(50);
    EXPECT_EQ(WaitsOf("play wavSel notify from 0"), (std::vector<int>{11, 21, 31, 41}));
    EXPECT_EQ(game.state.courseIndex, 1);
    EXPECT_TRUE(Shows(21, "Course 3"));
}

TEST_F(SelectScreenTest, ATapDuringTheRepeatDelayIsNotKeptForLater) {
    game.state.openCourses = 3;
    platform.Hold(5, 6, vk::Right);
    RunUntil(20);
    EXPECT_TRUE(WaitsOf("play wavSel notify from 0").empty());
}

TEST_F(SelectScreenTest, HardOnlyOnClearedCourses) {
    game.state.openCourses = 3;
    game.state.clearMark = {ClearMark::NotCleared, ClearMark::Cleared, ClearMark::ClearedOnHard};
    platform.Hold(11, 12, vk::Up);     // course 0, not cleared: nothing
    platform.Hold(21, 22, vk::Right);  // course 1
    platform.Hold(31, 32, vk::Down);   // Hard
    platform.Hold(41, 42, vk::Left);   // back to course 0: Normal again
    RunUntil(50);

    EXPECT_TRUE(Shows(15, "Normal Mode"));
    EXPECT_FALSE(Shows(15, "Normal: Cleared"));
    EXPECT_FALSE(Shows(15, "↑↓で難易度変更"));
    EXPECT_TRUE(Shows(25, "Normal Mode"));
    EXPECT_TRUE(Shows(25, "Normal: Cleared"));
    EXPECT_TRUE(Shows(25, "↑↓で難易度変更"));
    EXPECT_FALSE(Shows(25, "Hard: Cleared"));
    EXPECT_TRUE(Shows(35, " Hard  Mode"));
    EXPECT_TRUE(Shows(45, "Normal Mode"));
    EXPECT_EQ(game.state.difficulty, Difficulty::Normal);
    EXPECT_EQ(WaitsOf("play wavSel notify from 0"), (std::vector<int>{21, 41}));  // toggling is silent
}

TEST_F(SelectScreenTest, DifficultyStaysWhenPagingBetweenClearedCourses) {
    game.state.openCourses = 3;
    game.state.clearMark = {ClearMark::Cleared, ClearMark::ClearedOnHard, ClearMark::NotCleared};
    platform.Hold(11, 12, vk::Up);
    platform.Hold(21, 22, vk::Right);
    RunUntil(30);
    EXPECT_TRUE(Shows(25, " Hard  Mode"));
    EXPECT_TRUE(Shows(25, "Hard: Cleared"));
    EXPECT_EQ(game.state.difficulty, Difficulty::Hard);
}

TEST_F(SelectScreenTest, RecordsShowTimeAndSpeedOrNoData) {
    CourseRecord& r = game.state.courseRecords[0];
    r.times = {42 * 990, 61875, 0, 0, 0};
    r.speeds = {12345, 12480, 0, 0, 0};
    RunUntil(3);
    EXPECT_TRUE(Shows(2, "042.00"));
    EXPECT_TRUE(Shows(2, "123.45 keys/min."));
    EXPECT_TRUE(Shows(2, "062.50"));
    EXPECT_TRUE(Shows(2, "124.80 keys/min."));
    int noData = 0;
    for (const auto& t : platform.presentedTexts.at(1)) noData += t == "No Data";
    EXPECT_EQ(noData, 3 * 4);  // three empty places, each printed four times
    EXPECT_TRUE(Shows(2, "5th"));
    EXPECT_TRUE(Shows(2, "・line0"));
    EXPECT_TRUE(Shows(2, "・"));
}

TEST_F(SelectScreenTest, SpaceHeldOnEntryStartsNothingUntilPressedAgain) {
    game.keyboard.Down(vk::Space);
    platform.Release(1, vk::Space);  // taken by the entry's wait for the release
    platform.Press(6, vk::Space);

    EXPECT_EQ(SelectScreen(game), Screen::Run);
    EXPECT_EQ(WaitsOf("play wavDec notify from 0"), (std::vector<int>{6}));
    EXPECT_EQ(platform.presentedTexts.size(), 5u + 21u);
    for (Colour c : platform.lastFrame.Pixels()) ASSERT_EQ(c, kBlack);
}

TEST_F(SelectScreenTest, ClosingDuringTheClosingWipeStartsNoRun) {
    platform.Press(4, vk::Space);
    EXPECT_EQ(RunUntil(9), Screen::None);
    EXPECT_EQ(platform.presentedTexts.size(), 3u + 4u);
}

}  // namespace
}  // namespace kelo
