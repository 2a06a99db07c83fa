#include "run/Course.h"

#include <optional>

#include "app/Timing.h"

namespace kelo {

namespace {

// A stage ends at `checkpoint` and allows `seconds` game seconds, `hardCut` fewer on Hard.
struct StageRow {
    int32_t checkpoint;
    int32_t seconds;
    int32_t hardCut;
};

// The rhythm a course starts with, for both hands (left, right).
struct RhythmRow {
    std::array<uint8_t, 2> periodTarget;
    std::array<uint8_t, 2> period;
    std::array<uint8_t, 2> wait;
    int16_t spacingTarget;
    int16_t spacing;
};

struct CourseRow {
    int32_t length;
    int stageCount;
    std::array<StageRow, kStageCount> stages;
    std::array<uint8_t, 3> backColour;
    std::array<float, 3> starTint;
    std::array<int32_t, 2> starBand;  // height, lowest y
    std::array<uint8_t, 2> keyPool;   // left, right
    uint8_t bgmIndex;                 // 0 plays midBGM1, 1 midBGM2
    uint8_t ratingBase;
    uint8_t ratingHardStep;
    std::optional<RhythmRow> rhythm;
};

constexpr std::array<float, 3> kPlainTint{1.0f, 1.0f, 1.0f};
constexpr std::array<uint8_t, 2> kHomeRow{5, 4};
constexpr std::array<uint8_t, 2> kAllKeys{15, 13};
constexpr uint8_t kBgm1 = 0, kBgm2 = 1;

// Two hands strictly taking turns; `leftFirst` tells which hand may type first.
constexpr RhythmRow Alternating(bool leftFirst, int16_t spacingTarget, int16_t spacing) {
    return RhythmRow{{2, 2}, {2, 2}, {uint8_t(leftFirst ? 0 : 1), uint8_t(leftFirst ? 1 : 0)}, spacingTarget, spacing};
}
// Only the requested period is set; the run loop adopts it on its first frame.
constexpr RhythmRow RequestedPeriods(uint8_t left, uint8_t right) {
    return RhythmRow{{left, right}, {1, 1}, {0, 0}, 80, 50};
}

// One course a row, each row on two lines; clang-format would give every field a line.
// clang-format off
const std::array<CourseRow, kCourseCount> kCourses = {{
    {10000, 3, {{{300, 5, 2}, {5000, 17, 6}, {10000, 18, 7}, {}}}, {0, 20, 100}, kPlainTint,
     {80000, -40000}, {1, 1}, kBgm2, 1, 2, Alternating(false, 240, 120)},
    {6000, 2, {{{2400, 15, 3}, {6000, 10, 2}, {}, {}}}, {10, 60, 30}, kPlainTint,
     {20000, -20300}, kHomeRow, kBgm2, 1, 2, std::nullopt},
    {20000, 2, {{{7500, 30, 10}, {20000, 35, 15}, {}, {}}}, {60, 10, 20}, kPlainTint,
     {160000, -80000}, {1, 4}, kBgm1, 2, 2, RequestedPeriods(4, 1)},
    {20000, 2, {{{10000, 40, 20}, {20000, 30, 15}, {}, {}}}, {0, 50, 30}, kPlainTint,
     {80000, -40000}, kHomeRow, kBgm2, 3, 3, Alternating(true, 80, 50)},
    {10000, 3, {{{2000, 15, 0}, {5000, 13, 6}, {10000, 7, 4}, {}}}, {10, 40, 140}, kPlainTint,
     {80000, -40000}, kAllKeys, kBgm2, 3, 2, std::nullopt},
    {20000, 2, {{{7500, 28, 5}, {20000, 27, 10}, {}, {}}}, {40, 10, 20}, kPlainTint,
     {160000, -80000}, {15, 4}, kBgm1, 4, 2, RequestedPeriods(1, 4)},
    {36000, 3, {{{7500, 20, 0}, {25000, 30, 5}, {36000, 20, 5}, {}}}, {0, 0, 60}, kPlainTint,
     {80000, -40000}, kAllKeys, kBgm1, 6, 2, std::nullopt},
    {40000, 4, {{{10000, 20, 0}, {20000, 15, 1}, {30000, 15, 1}, {40000, 10, 2}}}, {50, 40, 20},
     {1.5f, 1.3f, 0.8f}, {20000, 300}, kHomeRow, kBgm2, 7, 2, Alternating(true, 80, 50)},
    {43000, 4, {{{9000, 20, 0}, {23000, 25, 1}, {37000, 20, 1}, {43000, 5, 1}}}, {0, 20, 50}, kPlainTint,
     {80000, -40000}, kAllKeys, kBgm1, 8, 1, std::nullopt},
}};
// clang-format on

// The two lines that course select shows under each course, in the table's order.
const char* const kCourseNotes[kCourseCount][2] = {
    {"直線のみ", "キーボード中段キーのみ使用"},
    {"左カーブ・右カーブ有", "キーボード中段キーのみ使用"},
    {"左急カーブ・右急カーブ有", "キーボード中段キーのみ使用"},
    {"直線のみ", "左右交互に打つ"},
    {"直線のみ", ""},
    {"左急カーブ・右急カーブ有", ""},
    {"左カーブ・右カーブ有", ""},
    {"直線のみ", ""},
    {"左急カーブ・右急カーブ有", ""},
};

void ResetHands(GameState& s) {
    for (int h = 0; h < 2; ++h) {
        s.handPeriodTarget[h] = 1;
        s.handPeriod[h] = 1;
        s.handWait[h] = 0;
        s.letterSpacingTarget[h] = static_cast<int16_t>(s.handPeriod[h] * 80);
        s.letterSpacing[h] = 50;
        s.queueScroll[h] = 0;
        s.targetQueue[h].clear();
        s.keyTally.touches[h] = 0;
        s.keyTally.misses[h] = 0;
    }
}

void ApplyCourseRow(GameState& s, const CourseRow& row, int hard) {
    s.starBand = row.starBand;
    s.courseLength = row.length;
    // Kept: as in the original, stages beyond the course's last keep the previous
    // course's values; nothing reads them.
    for (int k = 0; k < row.stageCount; ++k) {
        const StageRow& stage = row.stages[k];
        s.checkpointDistance[k] = stage.checkpoint;
        s.stageTime[k] = (stage.seconds - stage.hardCut * hard) * kMsPerGameSecond;
    }
    s.backColour = row.backColour;
    s.starTint = row.starTint;
    s.keyPoolSize = row.keyPool;
    s.bgmIndex = row.bgmIndex;
    s.difficultyRating = static_cast<uint8_t>(row.ratingBase + row.ratingHardStep * hard);
}

void ApplyRhythmRow(GameState& s, const RhythmRow& rhythm) {
    for (int h = 0; h < 2; ++h) {
        s.handPeriodTarget[h] = rhythm.periodTarget[h];
        s.handPeriod[h] = rhythm.period[h];
        s.handWait[h] = rhythm.wait[h];
        s.letterSpacingTarget[h] = rhythm.spacingTarget;
        s.letterSpacing[h] = rhythm.spacing;
    }
}

}  // namespace

// Kept: as in the original, curveRate is left as the last run left it; every course's
// script sets it from distance 0.
void ResetRun(GameState& s) {
    s.starTint = kPlainTint;
    s.elapsedTime = 0;
    s.speed = 0;
    ResetHands(s);
    s.keyPoolSize = kAllKeys;

    const CourseRow& row = kCourses[s.courseIndex < kCourseCount ? s.courseIndex : 0];
    const int hard = s.difficulty != Difficulty::Normal ? 1 : 0;
    ApplyCourseRow(s, row, hard);
    if (row.rhythm) ApplyRhythmRow(s, *row.rhythm);
}

void FillCourseNotes(GameState& s) {
    for (int c = 0; c < kCourseCount; ++c) {
        s.courseNotes[c][0] = kCourseNotes[c][0];
        s.courseNotes[c][1] = kCourseNotes[c][1];
    }
}

}  // namespace kelo
