#pragma once
// The run history on disk: an SQLite database "history.sqlite3" in the folder that holds
// the record file. Schema (PRAGMA user_version 1, WAL journal):
//
//   runs       one row per run: start (UTC and local date), version, layout, course
//              1..9, difficulty, outcome, practice, clock, speed, rank, stage, distance,
//              keys per hand, the speed at each game second (text, "12.34 12.50 ...")
//   run_keys   per run, one row per key that has any figure: targeted, hits, misses,
//              reactions (count, sum, min, max) and the reaction histogram as text
//              "bin:count ..." (bin i = [10 i, 10 i + 10) ms, bin 200 = 2000 ms and more)
//   wrong_keys per run: target, typed key, count
//
//   replay_sessions  one row per recorded play session: its key, start, game version,
//                    replay format, whether it ended whole
//   replay_segments  per session, its segments (ReplayFormat.h), each compressed with zlib
//   replay_runs      the segment that starts with each recorded run
//
// The replay tables are made with the first replay written, without changing user_version: earlier
// versions of the game write their runs as before and leave them alone. They keep the
// last kReplayKeptSessions sessions and every session holding a run that took the first
// place of its course's records; older ones are removed when a new session starts.
//
// A run is written whole in one transaction or not at all. A failed write says why in
// one line and keeps the database as it was; a damaged file is moved aside as
// "history.sqlite3.damaged-<UTC time>" (with its -wal and -shm) and a new one started.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/RunHistory.h"
#include "platform/common/ReplayPlatforms.h"

struct sqlite3;

namespace kelo {

inline constexpr const char* kHistoryFileName = "history.sqlite3";
inline constexpr int kHistorySchemaVersion = 1;
inline constexpr int kReplayKeptSessions = 200;

enum class ExportFormat { Csv, Json };
// By the file name's extension (".csv", ".json", any case); nothing for another.
std::optional<ExportFormat> ExportFormatFor(const std::string& fileName);

class HistoryStore {
public:
    // `busyTimeoutMs`: how long a write waits for another copy of the game that holds
    // the database before it gives up.
    explicit HistoryStore(std::filesystem::path file, int busyTimeoutMs = 2000);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    const std::filesystem::path& File() const { return file_; }

    // Adds `runs` in one transaction, `gameVersion` in each row. False when nothing was
    // written; then LastError() says why in one line. After a success LastError() is
    // empty, or says that a damaged file was moved aside.
    bool Save(const std::vector<RunHistory>& runs, const std::string& gameVersion);
    // The sums of the progress screen; not available when there is no readable history.
    ProgressAggregate ReadProgress(const ProgressQuery& query);
    // Writes every table to `out`, reading only. False (with LastError()) when the
    // database cannot be read; no file gives empty tables.
    bool Export(std::ostream& out, ExportFormat format);

    // Keeps a session's segment (a later copy of a segment replaces the earlier one).
    // False with LastError() when it could not be written.
    bool SaveReplay(const ReplaySegmentData& segment);
    // The recording of one run, from the snapshot at its start; or of the whole session
    // numbered `sessionId` (replay_sessions.session_id). Nothing, with LastError(), when
    // there is none or it cannot be read.
    std::optional<ReplaySource> ReadRunReplay(int64_t runId);
    std::optional<ReplaySource> ReadSessionReplay(int64_t sessionId);
    // The best recorded goal run of one course on one difficulty, practice aside: the
    // shortest run time, then the highest speed, then the earliest. Nothing when the
    // history holds none.
    std::optional<int64_t> BestRecordedRun(int course, Difficulty difficulty);

    const std::string& LastError() const { return lastError_; }
    // Where the last damaged file went, once one was moved aside.
    const std::optional<std::filesystem::path>& MovedAside() const { return movedAside_; }

private:
    bool OpenForWriting();
    bool EnsureReplayTables();
    bool SaveReplayOnce(const ReplaySegmentData& segment, const std::vector<uint8_t>& data, bool& damaged);
    std::optional<std::vector<uint8_t>> ReadSegment(int64_t sessionId, int64_t segment);
    bool OpenReplayForReading();
    bool OpenForReading();
    bool SaveOnce(const std::vector<RunHistory>& runs, const std::string& gameVersion, bool& damaged);
    void MoveAside();
    void Close();
    bool Fail(const std::string& what, int code);

    std::filesystem::path file_;
    int busyTimeoutMs_;
    sqlite3* db_ = nullptr;
    bool writable_ = false;
    bool checked_ = false;
    bool replayTables_ = false;
    std::string lastError_;
    std::optional<std::filesystem::path> movedAside_;
};

}  // namespace kelo
