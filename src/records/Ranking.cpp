#include "records/Ranking.h"

#include <algorithm>

#include "app/Timing.h"
#include "base/Numeric.h"
#include "records/RecordFile.h"

namespace kelo {

namespace {

constexpr uint8_t kHighestOpenCourses = kCourseCount;

// The first place a run of time `t` takes: an empty place, or the first whose time is
// above t. Kept: as in the original, an equal time stays ahead of the new run, and an
// empty place takes any run, however slow. kPlaceCount when none.
int PlaceFor(const CourseRecord& record, int32_t t) {
    for (int p = 0; p < kPlaceCount; ++p) {
        if (record.times[p] == 0 || t < record.times[p]) return p;
    }
    return kPlaceCount;
}

// The entries from `place` on move down one place as far as the first empty place,
// which takes them in; only in a table without such a place is the fifth lost.
// Changed: the original moves every place below down and loses the fifth even when a
// hole left by a damaged file could take it; here such a hole never costs a stored run.
int FirstEmptyFrom(const CourseRecord& record, int place) {
    for (int q = place; q < kPlaceCount; ++q) {
        if (record.times[q] == 0) return q;
    }
    return kPlaceCount - 1;
}

void InsertAt(CourseRecord& record, int place, int32_t time, int32_t speed) {
    for (int q = FirstEmptyFrom(record, place); q > place; --q) {
        record.times[q] = record.times[q - 1];
        record.speeds[q] = record.speeds[q - 1];
    }
    record.times[place] = time;
    record.speeds[place] = speed;
}

void MarkCourseCleared(RecordTable& table, const FinishedRun& run) {
    uint8_t& mark = table.clearMark[run.course];
    if (mark == static_cast<uint8_t>(ClearMark::NotCleared)) {
        mark = static_cast<uint8_t>(ClearMark::Cleared);
        table.openCourses = std::min<uint8_t>(table.openCourses + 1, kHighestOpenCourses);
    } else if (mark == static_cast<uint8_t>(ClearMark::Cleared) && run.difficulty == Difficulty::Hard) {
        mark = static_cast<uint8_t>(ClearMark::ClearedOnHard);
    }
}

}  // namespace

int32_t RunTypingSpeed(int32_t touches, int32_t elapsedTime) {
    double perMinute = touches / GameSeconds(elapsedTime) * 60.0;
    return RoundHalfEven(RoundTwoDecimals(perMinute) * 100.0);
}

uint8_t RankRun(RecordTable& table, const FinishedRun& run) {
    CourseRecord& record = table.courseRecords[run.course];
    uint8_t rank = 0;
    int place = PlaceFor(record, run.time);
    if (place < kPlaceCount) {
        InsertAt(record, place, run.time, run.speed);
        rank = static_cast<uint8_t>(place + 1);
    }
    MarkCourseCleared(table, run);
    return rank;
}

void InsertRunRecord(Game& game) {
    const GameState& s = game.state;
    const int32_t touches = int32_t{s.keyTally.touches[0]} + int32_t{s.keyTally.touches[1]};
    const FinishedRun run{s.courseIndex, s.difficulty, s.elapsedTime, RunTypingSpeed(touches, s.elapsedTime)};
    RecordTable table = RecordTableOf(game.state);
    game.run.newRank = RankRun(table, run);
    ApplyRecordTable(table, game.state);
    game.unsavedRuns.push_back(run);
}

}  // namespace kelo
