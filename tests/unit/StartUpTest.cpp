// Start-up as a whole: what a first and a second copy of the game do before any screen.
#include <gtest/gtest.h>

#include "FrontEndHarness.h"
#include "GameLoop.h"
#include "records/RecordFile.h"

namespace kelo {
namespace {

const std::vector<std::string> kCloseCommands = {
    "close wavTip",  "close wavSel",  "close wavDec",  "close wavExtend", "close wavGop",
    "close wavGoal", "close midBGM1", "close midBGM2", "close midChime",
};

class StartUpPlatform : public test::FrontEndPlatform {
public:
    bool otherInstance = false;
    int windowShows = 0;
    int recordReadsBeforeShow = -1;

    bool OtherInstanceRunning() override { return otherInstance; }
    void ShowWindow() override {
        if (windowShows++ == 0) recordReadsBeforeShow = recordReads;
    }
};

std::vector<std::string> Commands(const std::vector<test::SoundEntry>& sounds) {
    std::vector<std::string> commands;
    for (const test::SoundEntry& s : sounds) commands.push_back(s.command);
    return commands;
}

TEST(StartUp, ASecondCopyClosesItsOwnSoundsAndNothingElse) {
    StartUpPlatform platform;
    platform.otherInstance = true;
    platform.recordFile = std::vector<uint8_t>(kRecordFileSize, 'x');
    Game game(platform);

    PlayGame(game);

    EXPECT_EQ(Commands(platform.sounds), kCloseCommands);
    EXPECT_EQ(platform.windowShows, 0);
    EXPECT_EQ(platform.recordReads, 0);
    EXPECT_EQ(platform.recordWrites, 0);
    EXPECT_EQ(platform.frameWaits, 0);
    EXPECT_TRUE(platform.presentedTexts.empty());
    EXPECT_EQ(game.state.quitRequested, 1);
}

TEST(StartUp, LoadsTheRecordsBeforeShowingTheWindowAndEntersTheTitle) {
    StartUpPlatform platform;
    RecordTable stored;
    stored.openCourses = 5;
    stored.clearMark[2] = 1;
    Random random;
    platform.recordFile = EncodeRecordFile(stored, random);
    platform.CloseAt(2);  // during the title's first frame wait after its pause
    Game game(platform);
    game.state.openCourses = 7;  // start-up sets two before loading; the file then decides

    PlayGame(game);

    std::vector<std::string> expected = kCloseCommands;
    expected.insert(expected.end(), kCloseCommands.begin(), kCloseCommands.end());
    EXPECT_EQ(Commands(platform.sounds), expected);  // at start-up, then by the close request
    EXPECT_EQ(platform.sounds[8].frameWait, 0);
    EXPECT_EQ(platform.windowShows, 1);
    EXPECT_EQ(platform.recordReadsBeforeShow, 1);
    EXPECT_EQ(platform.recordWrites, 0);  // closed before the title's loading frame
    EXPECT_EQ(platform.frameWaits, 2);
    EXPECT_EQ(game.state.openCourses, 5);
    EXPECT_EQ(game.state.clearMark[2], ClearMark::Cleared);
    EXPECT_EQ(game.screen, Screen::Title);
}

TEST(StartUp, WithoutARecordFileTwoCoursesAreOpen) {
    StartUpPlatform platform;
    platform.CloseAt(1);
    Game game(platform);
    game.state.openCourses = 7;
    game.state.clearMark[4] = ClearMark::ClearedOnHard;
    game.state.courseRecords[1].times[0] = 5000;

    PlayGame(game);

    EXPECT_EQ(platform.recordReads, 1);
    EXPECT_EQ(game.state.openCourses, 2);
    EXPECT_EQ(game.state.clearMark[4], ClearMark::NotCleared);
    EXPECT_EQ(game.state.courseRecords[1].times[0], 0);
}

}  // namespace
}  // namespace kelo
