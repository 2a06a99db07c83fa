#include <gtest/gtest.h>

#include "RecordsFakePlatform.h"
#include "records/Ranking.h"

namespace kelo {
namespace {

TEST(TypingSpeed, HundredthsOfKeysPerMinute) {
    EXPECT_EQ(RunTypingSpeed(120, 59400), 12000);
    EXPECT_EQ(RunTypingSpeed(130, 61875), 12480);
    EXPECT_EQ(RunTypingSpeed(100, 61875), 9600);
    EXPECT_EQ(RunTypingSpeed(0, 5000), 0);
    // 1 key in 2970 ms is 20 keys/min; 7 keys in 9900 ms 42.
    EXPECT_EQ(RunTypingSpeed(1, 2970), 2000);
    EXPECT_EQ(RunTypingSpeed(7, 9900), 4200);
    // 10 keys in 33333 ms: 17.820178... -> 17.82.
    EXPECT_EQ(RunTypingSpeed(10, 33333), 1782);
}

class RankingTest : public ::testing::Test {
protected:
    test::RecordsFakePlatform platform;
    Game game{platform};
    GameState& s = game.state;

    void SetUp() override { s.courseIndex = 3; }

    void Fill(std::array<int32_t, 5> times) {
        s.courseRecords[3].times = times;
        for (int p = 0; p < 5; ++p) s.courseRecords[3].speeds[p] = 100 + p;
    }

    uint8_t Goal(int32_t time, int16_t left = 60, int16_t right = 60) {
        s.elapsedTime = time;
        s.keyTally = KeyTally{{left, right}, {0, 0}};
        game.run.newRank = 99;
        InsertRunRecord(game);
        return game.run.newRank;
    }

    const CourseRecord& R() const { return s.courseRecords[3]; }
};

TEST_F(RankingTest, FirstRunOfACourseTakesFirstPlaceAndClearsIt) {
    EXPECT_EQ(Goal(59400), 1);
    EXPECT_EQ(R().times, (std::array<int32_t, 5>{59400, 0, 0, 0, 0}));
    EXPECT_EQ(R().speeds[0], 12000);
    EXPECT_EQ(s.clearMark[3], ClearMark::Cleared);
    EXPECT_EQ(s.openCourses, 3);
    EXPECT_EQ(s.courseRecords[2].times[0], 0);
}

TEST_F(RankingTest, EqualTimeRanksBelowTheOlderEntryAndPushesOutTheFifth) {
    Fill({50000, 60000, 70000, 80000, 90000});
    EXPECT_EQ(Goal(50000), 2);
    EXPECT_EQ(R().times, (std::array<int32_t, 5>{50000, 50000, 60000, 70000, 80000}));
    EXPECT_EQ(R().speeds, (std::array<int32_t, 5>{100, RunTypingSpeed(120, 50000), 101, 102, 103}));
}

TEST_F(RankingTest, SlowerThanAFullTableTakesNoPlaceButStillClears) {
    Fill({50000, 60000, 70000, 80000, 90000});
    EXPECT_EQ(Goal(90000), 0);
    EXPECT_EQ(R().times, (std::array<int32_t, 5>{50000, 60000, 70000, 80000, 90000}));
    EXPECT_EQ(R().speeds, (std::array<int32_t, 5>{100, 101, 102, 103, 104}));
    EXPECT_EQ(s.clearMark[3], ClearMark::Cleared);
    EXPECT_EQ(s.openCourses, 3);
}

TEST_F(RankingTest, AHoleLeftByTheFileCheckTakesAnySlowRun) {
    Fill({50000, 60000, 0, 80000, 90000});
    EXPECT_EQ(Goal(500000), 3);
    EXPECT_EQ(R().times, (std::array<int32_t, 5>{50000, 60000, 500000, 80000, 90000}));
    EXPECT_EQ(R().speeds[3], 103);
    EXPECT_EQ(R().speeds[4], 104);
}

TEST_F(RankingTest, AFastRunMovesEntriesDownOnlyAsFarAsAHole) {
    Fill({50000, 60000, 0, 80000, 90000});
    EXPECT_EQ(Goal(40000), 1);
    EXPECT_EQ(R().times, (std::array<int32_t, 5>{40000, 50000, 60000, 80000, 90000}));
    EXPECT_EQ(R().speeds, (std::array<int32_t, 5>{RunTypingSpeed(120, 40000), 100, 101, 103, 104}));
}

TEST_F(RankingTest, ClearMarksAndOpenCourses) {
    s.openCourses = 9;
    Goal(50000);
    EXPECT_EQ(s.openCourses, 9);  // a first clear at nine stays nine
    EXPECT_EQ(s.clearMark[3], ClearMark::Cleared);

    Goal(50000);  // cleared again on Normal
    EXPECT_EQ(s.clearMark[3], ClearMark::Cleared);

    s.difficulty = Difficulty::Hard;
    Goal(50000);
    EXPECT_EQ(s.clearMark[3], ClearMark::ClearedOnHard);

    s.difficulty = Difficulty::Normal;
    Goal(50000);
    EXPECT_EQ(s.clearMark[3], ClearMark::ClearedOnHard);
    EXPECT_EQ(s.openCourses, 9);
}

TEST_F(RankingTest, EachNewCourseClearedOpensOneMore) {
    for (uint8_t c = 0; c < 9; ++c) {
        s.courseIndex = c;
        Goal(70000);
        EXPECT_EQ(s.openCourses, std::min(2 + c + 1, 9));
    }
}

TEST_F(RankingTest, TouchesOfBothHandsAddWithoutWrapping) {
    Goal(60000, 30000, 30000);
    EXPECT_EQ(R().speeds[0], RunTypingSpeed(60000, 60000));
    EXPECT_GT(R().speeds[0], 0);
}

}  // namespace
}  // namespace kelo
