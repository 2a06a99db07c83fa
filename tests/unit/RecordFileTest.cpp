#include <gtest/gtest.h>

#include <set>

#include "RecordsFakePlatform.h"
#include "records/Ranking.h"
#include "records/RecordFile.h"

namespace kelo {
namespace {

std::set<int> BytesSeen(int digit, uint8_t scheme, Random& random) {
    std::set<int> seen;
    int32_t value = digit * 111111;
    for (int i = 0; i < 400; ++i) {
        for (char c : EncodeScore(value, scheme, random)) seen.insert(static_cast<uint8_t>(c));
    }
    return seen;
}

std::set<int> Arithmetic(int first, int step) {
    std::set<int> s;
    for (int i = 0; i < 9; ++i) s.insert(first + step * i);
    return s;
}

TEST(RecordCodec, DigitsUseExactlyTheirNineBytesInEachScheme) {
    Random random;
    EXPECT_EQ(BytesSeen(0, kSchemeMod10, random), Arithmetic(32, 10));
    EXPECT_EQ(BytesSeen(9, kSchemeMod10, random), Arithmetic(41, 10));
    EXPECT_EQ(BytesSeen(0, kSchemeDiv9, random), Arithmetic(32, 1));
    EXPECT_EQ(BytesSeen(9, kSchemeDiv9, random), Arithmetic(113, 1));
}

TEST(RecordCodec, NumbersSurviveBothSchemesDigitByDigit) {
    Random random;
    std::string field = EncodeScore(12000, kSchemeMod10, random);
    ASSERT_EQ(field.size(), 6u);
    const int expected[6] = {0, 1, 2, 0, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ((static_cast<uint8_t>(field[i]) - 32) % 10, expected[i]) << i;
    EXPECT_EQ(DecodeScore(field, kSchemeMod10), 12000);

    for (int32_t value : {0, 7, 59400, 989010, 999999}) {
        EXPECT_EQ(DecodeScore(EncodeScore(value, kSchemeMod10, random), kSchemeMod10), value);
        EXPECT_EQ(DecodeScore(EncodeScore(value, kSchemeDiv9, random), kSchemeDiv9), value);
    }
}

TEST(RecordCodec, HandWrittenFieldsDecode) {
    // "*" is 42: digit 0 in mod-10 (k = 1), digit 1 in div-9 (j = 1).
    EXPECT_EQ(DecodeScore("  !\"#$", kSchemeMod10), 1234);
    EXPECT_EQ(DecodeScore("******", kSchemeDiv9), 111111);
    EXPECT_EQ(DecodeScore("yyyyyy", kSchemeMod10), 999999);
}

TEST(RecordCodec, OversizedAndNegativeValuesStayWithinSixDigits) {
    Random random;
    EXPECT_EQ(DecodeScore(EncodeScore(1234567, kSchemeMod10, random), kSchemeMod10), 123456);
    EXPECT_EQ(DecodeScore(EncodeScore(-5, kSchemeDiv9, random), kSchemeDiv9), 0);
}

TEST(RecordCodec, FieldsWithForeignBytesOrWrongLengthAreUnreadable) {
    EXPECT_EQ(DecodeScore("00000z", kSchemeMod10), -1);  // 'z' is 122
    EXPECT_EQ(DecodeScore(std::string("0000\x1f"
                                      "0"),
                          kSchemeDiv9),
              -1);
    EXPECT_EQ(DecodeScore("00000", kSchemeMod10), -1);
    EXPECT_FALSE(DecodeField(std::string("\x80\x80\x80\x80\x80\x80"), kSchemeMod10).has_value());
}

RecordTable SampleTable() {
    RecordTable t;
    t.openCourses = 5;
    t.clearMark = {2, 1, 1, 0, 0, 0, 0, 0, 1};
    t.courseRecords[0].times = {59400, 61875, 70000, 0, 0};
    t.courseRecords[0].speeds = {12000, 12480, 9000, 0, 0};
    t.courseRecords[8].times = {123456, 200000, 300000, 400000, 500000};
    t.courseRecords[8].speeds = {4200, 3000, 2000, 1000, 1};
    return t;
}

void ExpectSameTable(const RecordTable& a, const RecordTable& b) {
    EXPECT_EQ(a.openCourses, b.openCourses);
    EXPECT_EQ(a.clearMark, b.clearMark);
    for (int c = 0; c < kCourseCount; ++c) {
        EXPECT_EQ(a.courseRecords[c].times, b.courseRecords[c].times) << "course " << c;
        EXPECT_EQ(a.courseRecords[c].speeds, b.courseRecords[c].speeds) << "course " << c;
    }
}

// Rewrites the field at `offset` so that it decodes to `value`.
void PutField(std::vector<uint8_t>& bytes, size_t offset, int32_t value, uint8_t scheme) {
    Random random;
    std::string field = EncodeScore(value, scheme, random);
    std::copy(field.begin(), field.end(), bytes.begin() + offset);
}

size_t GroupOffset(int c, int p) { return static_cast<size_t>(30 * (5 * c + p)); }

TEST(RecordFileLayout, StartStateRoundTripsInPrintableBytes) {
    Random random;
    RecordTable start;
    std::vector<uint8_t> bytes = EncodeRecordFile(start, random);
    ASSERT_EQ(bytes.size(), 1362u);
    for (uint8_t b : bytes) ASSERT_TRUE(b >= 32 && b <= 121) << int(b);
    ExpectSameTable(DecodeRecordFile(bytes), start);
}

TEST(RecordFileLayout, FieldsSitAtTheirOffsetsInTheirSchemes) {
    Random random;
    std::vector<uint8_t> bytes = EncodeRecordFile(SampleTable(), random);
    auto at = [&](size_t offset, uint8_t scheme) {
        return DecodeScore(std::string(bytes.begin() + offset, bytes.begin() + offset + 6), scheme);
    };
    EXPECT_EQ(at(0, kSchemeMod10), 5);
    EXPECT_EQ(at(1356, kSchemeDiv9), 5);
    EXPECT_EQ(at(6 + GroupOffset(0, 4), kSchemeMod10), 2);
    EXPECT_EQ(at(12 + GroupOffset(0, 1), kSchemeMod10), 61875);
    EXPECT_EQ(at(18 + GroupOffset(0, 1), kSchemeMod10), 12480);
    // Group 0 carries the mirror of course 8's fifth place; the last group that of
    // course 0's first place.
    EXPECT_EQ(at(24 + GroupOffset(0, 0), kSchemeDiv9), 500000);
    EXPECT_EQ(at(30 + GroupOffset(0, 0), kSchemeDiv9), 1);
    EXPECT_EQ(at(24 + GroupOffset(8, 4), kSchemeDiv9), 59400);
    EXPECT_EQ(at(30 + GroupOffset(8, 4), kSchemeDiv9), 12000);
    EXPECT_EQ(at(6 + GroupOffset(8, 2), kSchemeMod10), 1);
}

TEST(RecordFileLayout, SavingTwiceGivesDifferentBytesForTheSameTable) {
    Random random;
    std::vector<uint8_t> first = EncodeRecordFile(SampleTable(), random);
    std::vector<uint8_t> second = EncodeRecordFile(SampleTable(), random);
    EXPECT_NE(first, second);
    ExpectSameTable(DecodeRecordFile(first), DecodeRecordFile(second));
    ExpectSameTable(DecodeRecordFile(first), SampleTable());
}

TEST(RecordFileCheck, AChangedForwardTimeEmptiesOnlyThatPlace) {
    Random random;
    std::vector<uint8_t> bytes = EncodeRecordFile(SampleTable(), random);
    PutField(bytes, 12 + GroupOffset(0, 1), 61876, kSchemeMod10);
    RecordTable loaded = DecodeRecordFile(bytes);
    EXPECT_EQ(loaded.courseRecords[0].times, (std::array<int32_t, 5>{59400, 0, 70000, 0, 0}));
    EXPECT_EQ(loaded.courseRecords[0].speeds, (std::array<int32_t, 5>{12000, 0, 9000, 0, 0}));
    EXPECT_EQ(loaded.courseRecords[8].times, SampleTable().courseRecords[8].times);
    EXPECT_EQ(loaded.openCourses, 5);
}

TEST(RecordFileCheck, AChangedMirrorSpeedEmptiesItsOwnPlace) {
    Random random;
    std::vector<uint8_t> bytes = EncodeRecordFile(SampleTable(), random);
    // Group (0, 1) mirrors course 8, place 3.
    PutField(bytes, 30 + GroupOffset(0, 1), 999, kSchemeDiv9);
    RecordTable loaded = DecodeRecordFile(bytes);
    EXPECT_EQ(loaded.courseRecords[8].times, (std::array<int32_t, 5>{123456, 200000, 300000, 0, 500000}));
    EXPECT_EQ(loaded.courseRecords[8].speeds[3], 0);
    EXPECT_EQ(loaded.courseRecords[0].times, SampleTable().courseRecords[0].times);
}

TEST(RecordFileCheck, OpenCoursesComeFromAgreeingHeaderAndTrailerWithin2To9) {
    Random random;
    std::vector<uint8_t> bytes = EncodeRecordFile(SampleTable(), random);

    std::vector<uint8_t> header = bytes;
    PutField(header, 0, 7, kSchemeMod10);
    EXPECT_EQ(DecodeRecordFile(header).openCourses, 2);

    std::vector<uint8_t> high = bytes;
    PutField(high, 0, 12, kSchemeMod10);
    PutField(high, 1356, 12, kSchemeDiv9);
    EXPECT_EQ(DecodeRecordFile(high).openCourses, 9);

    // 258 would wrap to 2 in a byte; 257 to 1.
    PutField(high, 0, 257, kSchemeMod10);
    PutField(high, 1356, 257, kSchemeDiv9);
    EXPECT_EQ(DecodeRecordFile(high).openCourses, 9);

    std::vector<uint8_t> low = bytes;
    PutField(low, 0, 0, kSchemeMod10);
    PutField(low, 1356, 0, kSchemeDiv9);
    EXPECT_EQ(DecodeRecordFile(low).openCourses, 2);
}

TEST(RecordFileCheck, TheLastCopyOfAClearMarkWins) {
    Random random;
    std::vector<uint8_t> bytes = EncodeRecordFile(SampleTable(), random);
    PutField(bytes, 6 + GroupOffset(3, 2), 1, kSchemeMod10);
    EXPECT_EQ(DecodeRecordFile(bytes).clearMark[3], 0);
    PutField(bytes, 6 + GroupOffset(3, 4), 2, kSchemeMod10);
    EXPECT_EQ(DecodeRecordFile(bytes).clearMark[3], 2);
    PutField(bytes, 6 + GroupOffset(3, 4), 4000, kSchemeMod10);
    EXPECT_EQ(DecodeRecordFile(bytes).clearMark[3], 255);
}

TEST(RecordFileDamage, ForeignBytesEmptyTheirPlaceAndSkipTheirClearMarkCopy) {
    Random random;
    std::vector<uint8_t> bytes = EncodeRecordFile(SampleTable(), random);
    bytes[12 + GroupOffset(0, 2) + 3] = 200;  // course 0 place 2 time
    bytes[24 + GroupOffset(8, 2) + 0] = 10;   // its mirror too: two bad copies never agree
    bytes[6 + GroupOffset(0, 4) + 5] = 0;     // the last clear mark copy of course 0
    RecordTable loaded = DecodeRecordFile(bytes);
    EXPECT_EQ(loaded.courseRecords[0].times, (std::array<int32_t, 5>{59400, 61875, 0, 0, 0}));
    EXPECT_EQ(loaded.clearMark[0], 2);  // from the copy of place 3

    bytes[1356] = 127;
    EXPECT_EQ(DecodeRecordFile(bytes).openCourses, 2);
}

TEST(RecordFileDamage, ShortLongAndGarbageFilesLoadWithoutMisreading) {
    Random random;
    std::vector<uint8_t> bytes = EncodeRecordFile(SampleTable(), random);

    std::vector<uint8_t> longer = bytes;
    longer.insert(longer.end(), 100, 'x');
    ExpectSameTable(DecodeRecordFile(longer), SampleTable());

    // Cut inside course 0's third group: every place lacks at least its mirror copy,
    // the trailer is missing, but the clear mark copies read so far count.
    std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + GroupOffset(0, 2) + 20);
    RecordTable cut = DecodeRecordFile(shorter);
    EXPECT_EQ(cut.openCourses, 2);
    EXPECT_EQ(cut.clearMark[0], 2);
    EXPECT_EQ(cut.clearMark[1], 0);
    for (const CourseRecord& r : cut.courseRecords) EXPECT_EQ(r.times, (std::array<int32_t, 5>{}));

    ExpectSameTable(DecodeRecordFile({}), RecordTable{});
    std::vector<uint8_t> garbage(1362);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 200);
    RecordTable junk = DecodeRecordFile(garbage);
    EXPECT_GE(junk.openCourses, 2);
    EXPECT_LE(junk.openCourses, 9);
}

TEST(RecordFileDamage, EachKindOfDamageIsToldApartFromAWholeFile) {
    Random random;
    const std::vector<uint8_t> whole = EncodeRecordFile(SampleTable(), random);
    auto changed = [&](auto change) {
        std::vector<uint8_t> bytes = whole;
        change(bytes);
        return bytes;
    };
    const struct {
        std::vector<uint8_t> bytes;
        RecordFileDamage damage;
    } cases[] = {
        {whole, RecordFileDamage::None},
        {std::vector<uint8_t>(whole.begin(), whole.end() - 1), RecordFileDamage::Size},
        {changed([](auto& b) { b.push_back('x'); }), RecordFileDamage::Size},
        {changed([](auto& b) { PutField(b, 0, 7, kSchemeMod10); }), RecordFileDamage::HeaderTrailer},
        {changed([](auto& b) { PutField(b, 12 + GroupOffset(0, 1), 1, kSchemeMod10); }),
         RecordFileDamage::DroppedPlace},
        {changed([](auto& b) { b[6 + GroupOffset(3, 0)] = 127; }), RecordFileDamage::UnreadableClearMark},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckRecordFile(c.bytes), c.damage) << RecordFileDamageText(c.damage);
}

// Another copy of the game saved a run while this one played from an older table.
TEST(RecordFileGame, ASaveRanksItsRunsIntoTheFileAsItIsNowAndKeepsThemUntilWritten) {
    test::RecordsFakePlatform platform;
    Game game(platform);
    Random random;
    platform.file = EncodeRecordFile(SampleTable(), random);
    LoadRecords(game);
    RecordTable other = SampleTable();
    RankRun(other, {3, Difficulty::Normal, 80000, 5000});
    platform.file = EncodeRecordFile(other, random);

    auto finish = [&game](uint8_t course, int32_t time) {
        game.state.courseIndex = course;
        game.state.difficulty = Difficulty::Normal;
        game.state.elapsedTime = time;
        game.state.keyTally.touches = {60, 60};
        InsertRunRecord(game);
    };
    finish(0, 60000);
    platform.failWrites = true;
    EXPECT_FALSE(SaveRecords(game));
    EXPECT_EQ(game.unsavedRuns.size(), 1u);
    finish(0, 50000);
    platform.failWrites = false;
    ASSERT_TRUE(SaveRecords(game));
    EXPECT_TRUE(game.unsavedRuns.empty());

    RecordTable expected = other;
    RankRun(expected, {0, Difficulty::Normal, 60000, RunTypingSpeed(120, 60000)});
    EXPECT_EQ(RankRun(expected, {0, Difficulty::Normal, 50000, RunTypingSpeed(120, 50000)}), 1);
    ExpectSameTable(DecodeRecordFile(*platform.file), expected);
    ExpectSameTable(RecordTableOf(game.state), expected);
    EXPECT_EQ(game.run.newRank, 1);

    // A file that does not load whole takes the table in memory, as it is.
    platform.file->pop_back();
    finish(1, 90000);
    ASSERT_TRUE(SaveRecords(game));
    ExpectSameTable(DecodeRecordFile(*platform.file), RecordTableOf(game.state));
    EXPECT_EQ(game.state.courseRecords[3].times[0], 80000);
}

TEST(RecordFileGame, LoadAndSaveGoThroughThePlatform) {
    test::RecordsFakePlatform platform;
    Game game(platform);
    game.state.openCourses = 2;
    game.state.clearMark[4] = ClearMark::Cleared;
    LoadRecords(game);  // no file: nothing changes
    EXPECT_EQ(game.state.clearMark[4], ClearMark::Cleared);

    ApplyRecordTable(SampleTable(), game.state);
    SaveRecords(game);
    ASSERT_TRUE(platform.file.has_value());
    EXPECT_EQ(platform.file->size(), 1362u);

    game.state.courseRecords = {};
    game.state.openCourses = 2;
    LoadRecords(game);
    ExpectSameTable(RecordTableOf(game.state), SampleTable());
}

}  // namespace
}  // namespace kelo
