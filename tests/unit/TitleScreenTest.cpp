#include <gtest/gtest.h>

#include "FrontEndHarness.h"
#include "records/RecordFile.h"
#include "screens/TitleScreen.h"

namespace kelo {
namespace {

const std::vector<std::string> kOpenCommands = {
    "open snd/tap.wav Alias wavTip",       "open snd/sel.wav Alias wavSel",   "open snd/dec.wav Alias wavDec",
    "open snd/extend.wav Alias wavExtend", "open snd/start.wav Alias wavGop", "open snd/goal.wav Alias wavGoal",
    "open snd/bgm.mid Alias midBGM1",      "open snd/bgm2.mid Alias midBGM2", "open snd/chime.mid Alias midChime",
};

// Frame waits: the first is the half-second pause on entry, so loop frame k is wait k + 1.
class TitleScreenTest : public ::testing::Test {
protected:
    test::FrontEndPlatform platform;
    Game game{platform};

    void SetUp() override { SetUpSurfaces(game); }

    std::vector<test::SoundEntry> OpenCommandsSent() const {
        std::vector<test::SoundEntry> opens;
        for (const auto& s : platform.sounds) {
            if (s.command.rfind("open ", 0) == 0) opens.push_back(s);
        }
        return opens;
    }
    int WaitOf(const std::string& command) const {
        for (const auto& s : platform.sounds) {
            if (s.command == command) return s.frameWait;
        }
        return -1;
    }
};

TEST_F(TitleScreenTest, OpensSoundsAndRefreshesRecordsOnceOnTheTwentyFirstFrame) {
    platform.Hold(40, 45, vk::Space);
    game.state.courseIndex = 1;

    EXPECT_EQ(TitleScreen(game), Screen::Select);

    std::vector<test::SoundEntry> opens = OpenCommandsSent();
    ASSERT_EQ(opens.size(), kOpenCommands.size());
    for (size_t i = 0; i < opens.size(); ++i) {
        EXPECT_EQ(opens[i].command, kOpenCommands[i]);
        EXPECT_EQ(opens[i].frameWait, 22);
    }
    EXPECT_EQ(platform.recordReads, 2);  // the load, and the save that merges into the file
    EXPECT_EQ(platform.recordWrites, 1);
    ASSERT_TRUE(platform.recordFile.has_value());
    EXPECT_EQ(platform.recordFile->size(), 1362u);

    // Twenty frames wipe in with the wait message; the loading frame shows the prompt.
    EXPECT_TRUE(platform.FrameShows(19, "Plase Wait..."));
    EXPECT_FALSE(platform.FrameShows(19, "Press Space Key"));
    EXPECT_TRUE(platform.FrameShows(20, "Press Space Key"));
    EXPECT_TRUE(platform.FrameShows(20, "製作： KAVI-noleb."));

    // Space taken on wait 40, then the 21-step closing wipe ends in black.
    EXPECT_EQ(WaitOf("play wavDec notify from 0"), 40);
    EXPECT_EQ(platform.presentedTexts.size(), 38u + 21u);
    EXPECT_EQ(game.state.loopIndex, 420);
    for (Colour c : platform.lastFrame.Pixels()) ASSERT_EQ(c, kBlack);
    EXPECT_EQ(game.state.courseIndex, 0);
}

TEST_F(TitleScreenTest, SpaceHeldFromBeforeTheTitleCountsOnlyAfterARelease) {
    game.keyboard.Down(vk::Space);
    platform.Release(30, vk::Space);
    platform.Press(35, vk::Space);

    EXPECT_EQ(TitleScreen(game), Screen::Select);
    EXPECT_EQ(WaitOf("play wavDec notify from 0"), 35);
    EXPECT_TRUE(platform.FrameShows(25, "Press Space Key"));
}

TEST_F(TitleScreenTest, ATapBetweenTwoFramesIsNotTakenAndTheTitleGoesOn) {
    platform.Press(30, vk::Space);
    platform.Release(30, vk::Space);
    platform.Press(40, vk::Space);

    EXPECT_EQ(TitleScreen(game), Screen::Select);
    EXPECT_EQ(WaitOf("play wavDec notify from 0"), 40);
    EXPECT_TRUE(platform.FrameShows(35, "Press Space Key"));
}

TEST_F(TitleScreenTest, SpacePressedDuringTheWaitIsTakenOnTheLoadingFrame) {
    platform.Press(10, vk::Space);

    EXPECT_EQ(TitleScreen(game), Screen::Select);
    EXPECT_EQ(WaitOf("play wavDec notify from 0"), 22);
    EXPECT_EQ(OpenCommandsSent().size(), 9u);
    for (const auto& texts : platform.presentedTexts) {
        for (const auto& t : texts) EXPECT_NE(t, "Press Space Key");
    }
}

TEST_F(TitleScreenTest, ClosingDuringTheWipeInOpensNothingAndWritesNothing) {
    platform.CloseAt(12);
    EXPECT_EQ(TitleScreen(game), Screen::None);
    EXPECT_TRUE(OpenCommandsSent().empty());
    EXPECT_EQ(platform.recordWrites, 0);
    EXPECT_EQ(platform.SoundCount("play wavDec notify from 0"), 0);
}

// Escape is the close request, once seen up on the title: held from before, it quits
// only when pressed again; a press during the wipe-in quits before anything is opened.
TEST_F(TitleScreenTest, EscapeSeenUpOnTheTitleClosesTheGame) {
    struct Case {
        bool heldBefore;
        int release, press, closedAfterWaits;
    };
    for (const Case& c : {Case{false, 0, 10, 10}, Case{false, 0, 30, 30}, Case{true, 25, 33, 33}}) {
        test::FrontEndPlatform p;
        Game g{p};
        SetUpSurfaces(g);
        if (c.heldBefore) g.keyboard.Down(vk::Escape);
        if (c.release) p.Release(c.release, vk::Escape);
        p.Press(c.press, vk::Escape);

        EXPECT_EQ(TitleScreen(g), Screen::None) << c.press;
        EXPECT_TRUE(g.Quitting());
        EXPECT_EQ(p.frameWaits, c.closedAfterWaits) << c.press;
        EXPECT_EQ(p.SoundCount("close wavTip"), 1) << c.press;
        EXPECT_EQ(p.SoundCount("play wavDec notify from 0"), 0);
    }
}

TEST_F(TitleScreenTest, ClosingDuringTheClosingWipeStopsIt) {
    platform.Press(25, vk::Space);
    platform.CloseAt(30);
    EXPECT_EQ(TitleScreen(game), Screen::None);
    EXPECT_EQ(platform.presentedTexts.size(), 23u + 4u);
}

TEST_F(TitleScreenTest, TwoOpenCoursesShowCourseZerosBlueNineShowAnyCourse) {
    platform.keepFrame = 20;
    platform.Press(25, vk::Space);
    TitleScreen(game);
    const Image& frame = platform.keptFrame;
    int blue = 0;
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 400; ++x) blue += frame.At(x, y) == Rgb(0, 20, 100);
    }
    EXPECT_GT(blue, 400 * 50 * 9 / 10);

    std::array<int, kCourseCount> shown{};
    game.state.openCourses = 9;
    for (int i = 0; i < 200; ++i) {
        game.state.quitRequested = 0;
        platform.CloseAt(platform.frameWaits + 1);
        TitleScreen(game);
        ++shown.at(game.state.courseIndex);
    }
    for (int c = 0; c < kCourseCount; ++c) EXPECT_GT(shown[c], 5) << "course " << c;
}

TEST_F(TitleScreenTest, TheTitleLoadsTheRecordFile) {
    Random random;
    RecordTable stored;
    stored.openCourses = 4;
    stored.courseRecords[2].times[0] = 50000;
    stored.courseRecords[2].speeds[0] = 9000;
    platform.recordFile = EncodeRecordFile(stored, random);
    platform.Press(30, vk::Space);

    TitleScreen(game);
    EXPECT_EQ(game.state.openCourses, 4);
    EXPECT_EQ(game.state.courseRecords[2].times[0], 50000);
    EXPECT_EQ(DecodeRecordFile(*platform.recordFile).courseRecords[2].speeds[0], 9000);
}

}  // namespace
}  // namespace kelo
