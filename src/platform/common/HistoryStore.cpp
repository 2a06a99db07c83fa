#include "platform/common/HistoryStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <ostream>
#include <sstream>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/Numeric.h"

namespace kelo {

namespace {

// Each step takes the schema from its index to the next version, in one transaction.
// Add new steps at the end; never change a step that has shipped.
const char* const kMigrations[] = {
    R"SQL(
CREATE TABLE runs (
  run_id INTEGER PRIMARY KEY,
  start_utc TEXT NOT NULL,
  start_unix_ms INTEGER NOT NULL,
  local_date TEXT NOT NULL,
  utc_offset_minutes INTEGER NOT NULL,
  game_version TEXT NOT NULL,
  layout TEXT NOT NULL,
  course INTEGER NOT NULL,
  difficulty TEXT NOT NULL,
  outcome TEXT NOT NULL,
  practice INTEGER NOT NULL,
  clock_started INTEGER NOT NULL,
  run_time_ms INTEGER NOT NULL,
  result_speed REAL NOT NULL,
  rank INTEGER,
  stage INTEGER NOT NULL,
  distance REAL NOT NULL,
  course_length INTEGER NOT NULL,
  left_correct INTEGER NOT NULL,
  left_wrong INTEGER NOT NULL,
  right_correct INTEGER NOT NULL,
  right_wrong INTEGER NOT NULL,
  speed_per_second TEXT NOT NULL
);
CREATE INDEX runs_by_course ON runs (course, difficulty, run_id);
CREATE TABLE run_keys (
  run_id INTEGER NOT NULL REFERENCES runs (run_id) ON DELETE CASCADE,
  key TEXT NOT NULL,
  targeted INTEGER NOT NULL,
  hits INTEGER NOT NULL,
  misses INTEGER NOT NULL,
  reaction_count INTEGER NOT NULL,
  reaction_sum_ms INTEGER NOT NULL,
  reaction_min_ms INTEGER,
  reaction_max_ms INTEGER,
  reaction_histogram TEXT NOT NULL,
  PRIMARY KEY (run_id, key)
) WITHOUT ROWID;
CREATE TABLE wrong_keys (
  run_id INTEGER NOT NULL REFERENCES runs (run_id) ON DELETE CASCADE,
  target TEXT NOT NULL,
  typed TEXT NOT NULL,
  times INTEGER NOT NULL,
  PRIMARY KEY (run_id, target, typed)
) WITHOUT ROWID;
)SQL",
};
static_assert(std::size(kMigrations) == kHistorySchemaVersion);

// The replay tables, which earlier versions of the game do not know and leave alone.
constexpr const char* kReplayTables = R"SQL(
CREATE TABLE IF NOT EXISTS replay_sessions (
  session_id INTEGER PRIMARY KEY,
  session_key TEXT NOT NULL UNIQUE,
  start_unix_ms INTEGER NOT NULL,
  game_version TEXT NOT NULL,
  format_version INTEGER NOT NULL,
  complete INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS replay_segments (
  session_id INTEGER NOT NULL REFERENCES replay_sessions (session_id) ON DELETE CASCADE,
  segment INTEGER NOT NULL,
  data BLOB NOT NULL,
  PRIMARY KEY (session_id, segment)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS replay_runs (
  run_id INTEGER PRIMARY KEY REFERENCES runs (run_id) ON DELETE CASCADE,
  session_id INTEGER NOT NULL REFERENCES replay_sessions (session_id) ON DELETE CASCADE,
  segment INTEGER NOT NULL
);
)SQL";

// One prepared statement, finalised with its owner.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return rc_ == SQLITE_OK; }
    int Code() const { return rc_; }
    void Bind(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
    void Bind(int i, double v) { sqlite3_bind_double(stmt_, i, v); }
    void Bind(int i, const std::string& v) { sqlite3_bind_text(stmt_, i, v.c_str(), -1, SQLITE_TRANSIENT); }
    void BindNull(int i) { sqlite3_bind_null(stmt_, i); }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return rc_ = sqlite3_step(stmt_); }
    // Ready for the next binding; an error of the last step stays in Code().
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    int64_t Int(int c) const { return sqlite3_column_int64(stmt_, c); }
    double Real(int c) const { return sqlite3_column_double(stmt_, c); }
    bool IsNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
    std::string Text(int c) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, c))) : std::string();
    }
    int Columns() const { return sqlite3_column_count(stmt_); }
    int Type(int c) const { return sqlite3_column_type(stmt_, c); }
    const char* Name(int c) const { return sqlite3_column_name(stmt_, c); }
    sqlite3_stmt* Raw() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_;
};

bool Damaging(int code) {
    code &= 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

std::string IsoUtc(int64_t unixMs, bool compact) {
    const std::time_t seconds = static_cast<std::time_t>(unixMs >= 0 ? unixMs / 1000 : (unixMs - 999) / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[40];
    if (compact) {
        std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &tm);
    } else {
        const auto ms = static_cast<int>(unixMs - int64_t{seconds} * 1000);
        char date[32];
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
        std::snprintf(text, sizeof text, "%s.%03dZ", date, ms);
    }
    return text;
}

std::string SpeedText(const std::vector<float>& speeds) {
    std::string text;
    char number[32];
    for (float v : speeds) {
        std::snprintf(number, sizeof number, text.empty() ? "%.2f" : " %.2f", static_cast<double>(v));
        text += number;
    }
    return text;
}

std::string HistogramText(const ReactionHistogram& histogram) {
    std::string text;
    for (int bin = 0; bin < kReactionBins; ++bin) {
        if (histogram[bin] == 0) continue;
        if (!text.empty()) text += ' ';
        text += std::to_string(bin) + ':' + std::to_string(histogram[bin]);
    }
    return text;
}

// Adds a stored histogram to `sum`; parts that do not parse are skipped.
void AddHistogramText(const char* text, ReactionHistogram& sum) {
    while (text && *text) {
        char* end = nullptr;
        const long bin = std::strtol(text, &end, 10);
        if (end == text || *end != ':') return;
        text = end + 1;
        const long count = std::strtol(text, &end, 10);
        if (end == text) return;
        text = end;
        while (*text == ' ') ++text;
        if (bin >= 0 && bin < kReactionBins) AddSaturating(sum[static_cast<size_t>(bin)], count);
    }
}

bool AnyFigure(const KeyFigures& k) { return k.targeted != 0 || k.hits != 0 || k.misses != 0; }

const char* DifficultyName(Difficulty d) { return d == Difficulty::Hard ? "hard" : "normal"; }

int Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// The filter of the progress figures over table alias r: ?1 course (1..9) or NULL for
// all, ?2 difficulty, ?3 whether practice runs count.
constexpr const char* kProgressFilter =
    " WHERE (?1 IS NULL OR (r.course = ?1 AND r.difficulty = ?2)) AND (?3 OR r.practice = 0)";

void BindProgressFilter(Statement& s, const ProgressQuery& q) {
    if (q.course) {
        s.Bind(1, int64_t{*q.course + 1});
    } else {
        s.BindNull(1);
    }
    s.Bind(2, std::string(DifficultyName(q.difficulty)));
    s.Bind(3, int64_t{q.includePractice ? 1 : 0});
}

void AppendCsv(std::string& out, const char* v, size_t n) {
    if (std::string_view(v, n).find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(v, n);
        return;
    }
    out += '"';
    for (size_t i = 0; i < n; ++i) {
        if (v[i] == '"') out += '"';
        out += v[i];
    }
    out += '"';
}

void AppendJsonString(std::string& out, const char* v, size_t n) {
    out += '"';
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(v[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

// Appends column `c` of the current row: as JSON, or as a CSV field.
void AppendValue(std::string& out, sqlite3_stmt* s, int c, bool json) {
    char number[40];
    switch (sqlite3_column_type(s, c)) {
        case SQLITE_NULL:
            if (json) out += "null";
            return;
        case SQLITE_INTEGER: {
            const auto r = std::to_chars(number, number + sizeof number, sqlite3_column_int64(s, c));
            out.append(number, r.ptr);
            return;
        }
        case SQLITE_FLOAT:
            out.append(number, std::snprintf(number, sizeof number, "%.10g", sqlite3_column_double(s, c)));
            return;
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
            const auto n = static_cast<size_t>(sqlite3_column_bytes(s, c));
            if (json) {
                AppendJsonString(out, text, n);
            } else {
                AppendCsv(out, text, n);
            }
        }
    }
}

struct ExportTable {
    const char* kind;  // CSV kind and JSON member
    const char* sql;
};
constexpr ExportTable kExportTables[] = {
    {"run", "SELECT * FROM runs ORDER BY run_id"},
    {"key", "SELECT * FROM run_keys ORDER BY run_id, key"},
    {"wrong_key", "SELECT * FROM wrong_keys ORDER BY run_id, target, typed"},
};

}  // namespace

std::optional<ExportFormat> ExportFormatFor(const std::string& fileName) {
    std::string ext = std::filesystem::path(fileName).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".csv") return ExportFormat::Csv;
    if (ext == ".json") return ExportFormat::Json;
    return std::nullopt;
}

HistoryStore::HistoryStore(std::filesystem::path file, int busyTimeoutMs)
    : file_(std::move(file)), busyTimeoutMs_(busyTimeoutMs) {}

HistoryStore::~HistoryStore() { Close(); }

void HistoryStore::Close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    writable_ = false;
    replayTables_ = false;
}

bool HistoryStore::Fail(const std::string& what, int code) {
    std::string why;
    switch (code & 0xff) {
        case SQLITE_FULL: why = "the disk is full"; break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED: why = "another copy of the game holds it"; break;
        case SQLITE_CANTOPEN:
        case SQLITE_READONLY:
        case SQLITE_PERM: why = "the folder or file cannot be written"; break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB: why = "the file is damaged"; break;
        default: why = db_ && sqlite3_errcode(db_) != SQLITE_OK ? sqlite3_errmsg(db_) : sqlite3_errstr(code); break;
    }
    lastError_ = what + " " + file_.string() + ": " + why;
    return false;
}

bool HistoryStore::OpenForWriting() {
    if (db_ && writable_) return true;
    Close();
    std::error_code ignored;
    std::filesystem::create_directories(file_.parent_path(), ignored);
    int rc = sqlite3_open_v2(file_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        Fail("cannot open", rc);
        Close();
        return false;
    }
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
    writable_ = true;
    if ((rc = Exec(db_, "PRAGMA journal_mode=WAL")) != SQLITE_OK ||
        (rc = Exec(db_, "PRAGMA synchronous=FULL")) != SQLITE_OK ||
        (rc = Exec(db_, "PRAGMA foreign_keys=ON")) != SQLITE_OK) {
        return Fail("cannot open", rc);
    }
    if (!checked_) {
        Statement check(db_, "PRAGMA quick_check");
        rc = check.Ok() ? check.Step() : check.Code();
        if (rc != SQLITE_ROW) return Fail("cannot check", rc);
        if (check.Text(0) != "ok") return Fail("damaged", SQLITE_CORRUPT);
        checked_ = true;
    }
    Statement version(db_, "PRAGMA user_version");
    rc = version.Ok() ? version.Step() : version.Code();
    if (rc != SQLITE_ROW) return Fail("cannot read", rc);
    int64_t have = version.Int(0);
    if (have > kHistorySchemaVersion) {
        lastError_ = file_.string() + " was made by a newer version of the game (schema " + std::to_string(have) +
                     "); runs are kept until it can be written";
        Close();
        return false;
    }
    for (; have < kHistorySchemaVersion; ++have) {
        if ((rc = Exec(db_, "BEGIN IMMEDIATE")) != SQLITE_OK) return Fail("cannot update", rc);
        const std::string bump = "PRAGMA user_version=" + std::to_string(have + 1);
        if ((rc = Exec(db_, kMigrations[have])) != SQLITE_OK || (rc = Exec(db_, bump.c_str())) != SQLITE_OK ||
            (rc = Exec(db_, "COMMIT")) != SQLITE_OK) {
            Fail("cannot update", rc);
            Exec(db_, "ROLLBACK");
            return false;
        }
    }
    return true;
}

bool HistoryStore::EnsureReplayTables() {
    if (replayTables_) return true;
    const int rc = Exec(db_, kReplayTables);
    if (rc != SQLITE_OK) return Fail("cannot update", rc);
    replayTables_ = true;
    return true;
}

namespace {

// The session's row, made when missing; its id.
int64_t ReplaySessionId(sqlite3* db, const std::string& key, int64_t startUnixMs, const std::string& gameVersion,
                        int& rc) {
    Statement add(db,
                  "INSERT OR IGNORE INTO replay_sessions (session_key, start_unix_ms, game_version, format_version) "
                  "VALUES (?,?,?,?)");
    if (!add.Ok()) return rc = add.Code(), 0;
    add.Bind(1, key);
    add.Bind(2, startUnixMs);
    add.Bind(3, gameVersion);
    add.Bind(4, int64_t{kReplayFormatVersion});
    if (add.Step() != SQLITE_DONE) return rc = add.Code(), 0;
    Statement find(db, "SELECT session_id FROM replay_sessions WHERE session_key = ?");
    if (!find.Ok()) return rc = find.Code(), 0;
    find.Bind(1, key);
    if (find.Step() != SQLITE_ROW) return rc = find.Code(), 0;
    return find.Int(0);
}

}  // namespace

bool HistoryStore::SaveReplay(const ReplaySegmentData& segment) {
    lastError_.clear();
    const std::vector<uint8_t> data = CompressReplay(segment.bytes);
    if (data.empty()) {
        lastError_ = "cannot compress a replay for " + file_.string();
        return false;
    }
    bool damaged = false;
    if (SaveReplayOnce(segment, data, damaged)) return true;
    if (!damaged) return false;
    MoveAside();
    if (!movedAside_) return false;
    const std::string aside = movedAside_->filename().string();
    if (!SaveReplayOnce(segment, data, damaged)) return false;
    lastError_ = file_.string() + " was damaged: moved aside as " + aside + ", a new one started";
    return true;
}

bool HistoryStore::SaveReplayOnce(const ReplaySegmentData& segment, const std::vector<uint8_t>& data, bool& damaged) {
    damaged = false;
    if (!OpenForWriting()) {
        damaged = lastError_.rfind("damaged", 0) == 0 || (db_ && Damaging(sqlite3_errcode(db_)));
        return false;
    }
    if (!EnsureReplayTables()) {
        damaged = Damaging(sqlite3_errcode(db_));
        return false;
    }
    int rc = Exec(db_, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        damaged = Damaging(rc);
        return Fail("cannot write", rc);
    }
    const int64_t id = ReplaySessionId(db_, segment.sessionKey, segment.sessionStartUnixMs, segment.gameVersion, rc);
    if (rc == SQLITE_OK) {
        Statement put(db_, "INSERT OR REPLACE INTO replay_segments (session_id, segment, data) VALUES (?,?,?)");
        rc = put.Code();
        if (put.Ok()) {
            put.Bind(1, id);
            put.Bind(2, int64_t{segment.index});
            sqlite3_bind_blob(put.Raw(), 3, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
            rc = put.Step() == SQLITE_DONE ? SQLITE_OK : put.Code();
        }
    }
    if (rc == SQLITE_OK && segment.last) {
        Statement done(db_, "UPDATE replay_sessions SET complete = 1 WHERE session_id = ?");
        rc = done.Code();
        if (done.Ok()) {
            done.Bind(1, id);
            rc = done.Step() == SQLITE_DONE ? SQLITE_OK : done.Code();
        }
    }
    if (rc == SQLITE_OK && segment.index == 0) {
        Statement cap(db_,
                      "DELETE FROM replay_sessions WHERE session_id NOT IN (SELECT session_id FROM replay_sessions "
                      "ORDER BY session_id DESC LIMIT ?) AND session_id NOT IN (SELECT l.session_id FROM replay_runs "
                      "l JOIN runs r ON r.run_id = l.run_id WHERE r.rank = 1)");
        rc = cap.Code();
        if (cap.Ok()) {
            cap.Bind(1, int64_t{kReplayKeptSessions});
            rc = cap.Step() == SQLITE_DONE ? SQLITE_OK : cap.Code();
        }
    }
    if (rc == SQLITE_OK) rc = Exec(db_, "COMMIT");
    if (rc != SQLITE_OK) {
        Fail("cannot write a replay to", rc);
        Exec(db_, "ROLLBACK");
        damaged = Damaging(rc);
        return false;
    }
    return true;
}

std::optional<std::vector<uint8_t>> HistoryStore::ReadSegment(int64_t sessionId, int64_t segment) {
    Statement s(db_, "SELECT data FROM replay_segments WHERE session_id = ? AND segment = ?");
    if (!s.Ok()) return Fail("cannot read", s.Code()), std::nullopt;
    s.Bind(1, sessionId);
    s.Bind(2, segment);
    if (s.Step() != SQLITE_ROW) {
        lastError_ = "a part of replay session " + std::to_string(sessionId) + " is missing";
        return std::nullopt;
    }
    const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(s.Raw(), 0));
    const auto size = static_cast<size_t>(sqlite3_column_bytes(s.Raw(), 0));
    std::optional<std::vector<uint8_t>> bytes = UncompressReplay(std::span(blob, size));
    if (!bytes) lastError_ = "replay session " + std::to_string(sessionId) + " is damaged";
    return bytes;
}

// A replay only reads: a missing file is said as such, and never made.
bool HistoryStore::OpenReplayForReading() {
    if (OpenForReading()) return true;
    if (lastError_.empty()) lastError_ = file_.string() + " does not exist";
    return false;
}

std::optional<ReplaySource> HistoryStore::ReadRunReplay(int64_t runId) {
    lastError_.clear();
    if (!OpenReplayForReading()) return std::nullopt;
    // Without replay tables the history holds no recording at all.
    Statement link(db_, "SELECT session_id, segment FROM replay_runs WHERE run_id = ?");
    if (link.Ok()) link.Bind(1, runId);
    if (!link.Ok() || link.Step() != SQLITE_ROW) {
        lastError_ = "run " + std::to_string(runId) + " has no recording in " + file_.string();
        return std::nullopt;
    }
    std::optional<std::vector<uint8_t>> bytes = ReadSegment(link.Int(0), link.Int(1));
    if (!bytes) return std::nullopt;
    ReplaySource source;
    source.segments.push_back(std::move(*bytes));
    source.fromRunStart = true;
    return source;
}

std::optional<int64_t> HistoryStore::BestRecordedRun(int course, Difficulty difficulty) {
    lastError_.clear();
    if (!OpenForReading()) return std::nullopt;
    Statement best(db_,
                   "SELECT r.run_id FROM runs r JOIN replay_runs l ON l.run_id = r.run_id JOIN replay_segments s ON "
                   "s.session_id = l.session_id AND s.segment = l.segment WHERE r.course = ? AND r.difficulty = ? "
                   "AND r.outcome = 'goal' AND r.practice = 0 ORDER BY r.run_time_ms, r.result_speed DESC, r.run_id "
                   "LIMIT 1");
    if (!best.Ok()) return std::nullopt;
    best.Bind(1, int64_t{course + 1});
    best.Bind(2, std::string(DifficultyName(difficulty)));
    if (best.Step() != SQLITE_ROW) return std::nullopt;
    return best.Int(0);
}

std::optional<ReplaySource> HistoryStore::ReadSessionReplay(int64_t sessionId) {
    lastError_.clear();
    if (!OpenReplayForReading()) return std::nullopt;
    Statement count(db_, "SELECT count(*) FROM replay_segments WHERE session_id = ?");
    if (count.Ok()) count.Bind(1, sessionId);
    const int64_t segments = count.Ok() && count.Step() == SQLITE_ROW ? count.Int(0) : 0;
    if (segments == 0) {
        lastError_ = "no replay session " + std::to_string(sessionId) + " in " + file_.string();
        return std::nullopt;
    }
    ReplaySource source;
    for (int64_t i = 0; i < segments; ++i) {
        std::optional<std::vector<uint8_t>> bytes = ReadSegment(sessionId, i);
        if (!bytes) return std::nullopt;
        source.segments.push_back(std::move(*bytes));
    }
    return source;
}

bool HistoryStore::SaveOnce(const std::vector<RunHistory>& runs, const std::string& gameVersion, bool& damaged) {
    damaged = false;
    if (!OpenForWriting()) {
        damaged = lastError_.rfind("damaged", 0) == 0 || (db_ && Damaging(sqlite3_errcode(db_)));
        return false;
    }
    const bool linked =
        std::any_of(runs.begin(), runs.end(), [](const RunHistory& h) { return !h.replaySession.empty(); });
    if (linked && !EnsureReplayTables()) {
        damaged = Damaging(sqlite3_errcode(db_));
        return false;
    }
    int rc = Exec(db_, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        damaged = Damaging(rc);
        return Fail("cannot write", rc);
    }
    Statement run(db_,
                  "INSERT INTO runs (start_utc, start_unix_ms, local_date, utc_offset_minutes, game_version, layout, "
                  "course, difficulty, outcome, practice, clock_started, run_time_ms, result_speed, rank, stage, "
                  "distance, course_length, left_correct, left_wrong, right_correct, right_wrong, speed_per_second) "
                  "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    Statement key(db_,
                  "INSERT INTO run_keys (run_id, key, targeted, hits, misses, reaction_count, reaction_sum_ms, "
                  "reaction_min_ms, reaction_max_ms, reaction_histogram) VALUES (?,?,?,?,?,?,?,?,?,?)");
    Statement pair(db_, "INSERT INTO wrong_keys (run_id, target, typed, times) VALUES (?,?,?,?)");
    rc = !run.Ok() ? run.Code() : !key.Ok() ? key.Code() : !pair.Ok() ? pair.Code() : SQLITE_OK;
    for (const RunHistory& h : runs) {
        if (rc != SQLITE_OK) break;
        int i = 1;
        run.Bind(i++, IsoUtc(h.start.unixMs, false));
        run.Bind(i++, h.start.unixMs);
        run.Bind(i++, LocalDate(h.start));
        run.Bind(i++, int64_t{h.start.utcOffsetMinutes});
        run.Bind(i++, gameVersion);
        run.Bind(i++, h.layoutName);
        run.Bind(i++, int64_t{h.course + 1});
        run.Bind(i++, std::string(DifficultyName(h.difficulty)));
        run.Bind(i++, std::string(RunOutcomeName(h.outcome)));
        run.Bind(i++, int64_t{h.practice});
        run.Bind(i++, int64_t{h.clockStarted});
        run.Bind(i++, int64_t{h.runTimeMs});
        run.Bind(i++, h.resultSpeed / 100.0);
        if (h.rank > 0) {
            run.Bind(i++, int64_t{h.rank});
        } else {
            run.BindNull(i++);
        }
        run.Bind(i++, int64_t{h.stageReached});
        run.Bind(i++, static_cast<double>(h.distance));
        run.Bind(i++, int64_t{h.courseLength});
        run.Bind(i++, int64_t{h.correctKeys[0]});
        run.Bind(i++, int64_t{h.wrongKeys[0]});
        run.Bind(i++, int64_t{h.correctKeys[1]});
        run.Bind(i++, int64_t{h.wrongKeys[1]});
        run.Bind(i++, SpeedText(h.speedPerSecond));
        if (run.Step() != SQLITE_DONE) {
            rc = run.Code();
            break;
        }
        run.Reset();
        const int64_t id = sqlite3_last_insert_rowid(db_);
        for (int row = 0; row < kHistoryKeyRows && rc == SQLITE_OK; ++row) {
            const KeyFigures& k = h.keys[row];
            if (!AnyFigure(k)) continue;
            key.Bind(1, id);
            key.Bind(2, HistoryKeyLabel(row));
            key.Bind(3, int64_t{k.targeted});
            key.Bind(4, int64_t{k.hits});
            key.Bind(5, int64_t{k.misses});
            key.Bind(6, int64_t{k.reactionCount});
            key.Bind(7, k.reactionSumMs);
            if (k.reactionCount > 0) {
                key.Bind(8, int64_t{k.reactionMinMs});
                key.Bind(9, int64_t{k.reactionMaxMs});
            } else {
                key.BindNull(8);
                key.BindNull(9);
            }
            key.Bind(10, HistogramText(k.reactionHistogram));
            if (key.Step() != SQLITE_DONE) rc = key.Code();
            key.Reset();
        }
        if (rc == SQLITE_OK && !h.replaySession.empty()) {
            const int64_t session = ReplaySessionId(db_, h.replaySession, h.start.unixMs, gameVersion, rc);
            if (rc == SQLITE_OK) {
                Statement link(db_, "INSERT OR REPLACE INTO replay_runs (run_id, session_id, segment) VALUES (?,?,?)");
                rc = link.Code();
                if (link.Ok()) {
                    link.Bind(1, id);
                    link.Bind(2, session);
                    link.Bind(3, h.replaySegment);
                    rc = link.Step() == SQLITE_DONE ? SQLITE_OK : link.Code();
                }
            }
        }
        for (const WrongKeyPair& p : h.wrongKeyPairs) {
            if (rc != SQLITE_OK) break;
            pair.Bind(1, id);
            pair.Bind(2, p.target);
            pair.Bind(3, p.typed);
            pair.Bind(4, int64_t{p.count});
            if (pair.Step() != SQLITE_DONE) rc = pair.Code();
            pair.Reset();
        }
    }
    if (rc == SQLITE_OK) rc = Exec(db_, "COMMIT");
    if (rc != SQLITE_OK) {
        Fail("cannot write", rc);
        Exec(db_, "ROLLBACK");
        damaged = Damaging(rc);
        return false;
    }
    return true;
}

void HistoryStore::MoveAside() {
    Close();
    const std::string stamp = IsoUtc(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count(),
        true);
    std::filesystem::path aside = file_;
    aside += ".damaged-" + stamp;
    for (int n = 2; std::filesystem::exists(aside); ++n) {
        aside = file_;
        aside += ".damaged-" + stamp + "-" + std::to_string(n);
    }
    std::error_code error;
    std::filesystem::rename(file_, aside, error);
    if (error) return;
    for (const char* suffix : {"-wal", "-shm"}) {
        std::filesystem::path from = file_, to = aside;
        from += suffix;
        to += suffix;
        std::error_code ignored;
        if (std::filesystem::exists(from, ignored)) std::filesystem::rename(from, to, ignored);
    }
    movedAside_ = aside;
    checked_ = false;
}

bool HistoryStore::Save(const std::vector<RunHistory>& runs, const std::string& gameVersion) {
    lastError_.clear();
    bool damaged = false;
    if (SaveOnce(runs, gameVersion, damaged)) return true;
    if (!damaged) return false;
    MoveAside();
    if (!movedAside_) return false;
    const std::string aside = movedAside_->filename().string();
    if (!SaveOnce(runs, gameVersion, damaged)) return false;
    lastError_ = file_.string() + " was damaged: moved aside as " + aside + ", a new one started";
    return true;
}

bool HistoryStore::OpenForReading() {
    if (db_) return true;
    std::error_code error;
    if (!std::filesystem::exists(file_, error)) return false;
    const int rc = sqlite3_open_v2(file_.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        Fail("cannot read", rc);
        Close();
        return false;
    }
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
    return true;
}

ProgressAggregate HistoryStore::ReadProgress(const ProgressQuery& query) {
    ProgressAggregate sums;
    if (!OpenForReading()) return sums;
    const std::string filter = kProgressFilter;
    Statement totals(db_, ("SELECT count(*), total(run_time_ms) FROM runs r" + filter).c_str());
    if (!totals.Ok()) return sums;
    BindProgressFilter(totals, query);
    if (totals.Step() != SQLITE_ROW) return sums;
    sums.runCount = totals.Int(0);
    sums.totalRunTimeMs = static_cast<int64_t>(totals.Real(1));

    Statement last(db_, ("SELECT start_unix_ms, course, difficulty, outcome, practice, run_time_ms, result_speed, "
                         "left_correct + right_correct, left_wrong + right_wrong FROM runs r" +
                         filter + " ORDER BY run_id DESC LIMIT " + std::to_string(kProgressLastRuns))
                            .c_str());
    if (!last.Ok()) return sums;
    BindProgressFilter(last, query);
    while (last.Step() == SQLITE_ROW) {
        RunSummary r;
        r.startUnixMs = last.Int(0);
        r.course = static_cast<int>(last.Int(1)) - 1;
        r.difficulty = last.Text(2) == "hard" ? Difficulty::Hard : Difficulty::Normal;
        r.outcome = RunOutcomeFromName(last.Text(3)).value_or(RunOutcome::Escape);
        r.practice = last.Int(4) != 0;
        r.runTimeMs = static_cast<int32_t>(last.Int(5));
        r.resultSpeed = static_cast<int32_t>(std::llround(last.Real(6) * 100));
        r.correctKeys = static_cast<int32_t>(last.Int(7));
        r.wrongKeys = static_cast<int32_t>(last.Int(8));
        sums.lastRuns.push_back(r);
    }
    std::reverse(sums.lastRuns.begin(), sums.lastRuns.end());

    Statement keys(db_, ("SELECT k.key, k.targeted, k.hits, k.misses, k.reaction_count, k.reaction_sum_ms, "
                         "k.reaction_min_ms, k.reaction_max_ms, k.reaction_histogram FROM run_keys k "
                         "JOIN runs r ON r.run_id = k.run_id" +
                         filter)
                            .c_str());
    if (!keys.Ok()) return sums;
    BindProgressFilter(keys, query);
    while (keys.Step() == SQLITE_ROW) {
        const std::string label = keys.Text(0);
        const int row = label == "other" ? kOtherKeysRow : label.size() == 1 ? HistoryKeyRow(label[0]) : -1;
        if (row < 0) continue;
        KeyFigures& k = sums.keys[row];
        AddSaturating(k.targeted, keys.Int(1));
        AddSaturating(k.hits, keys.Int(2));
        AddSaturating(k.misses, keys.Int(3));
        const auto count = static_cast<int32_t>(keys.Int(4));
        if (count > 0) {
            const auto lo = static_cast<int32_t>(keys.Int(6)), hi = static_cast<int32_t>(keys.Int(7));
            k.reactionMinMs = k.reactionCount == 0 ? lo : std::min(k.reactionMinMs, lo);
            k.reactionMaxMs = k.reactionCount == 0 ? hi : std::max(k.reactionMaxMs, hi);
            AddSaturating(k.reactionCount, count);
            AddSaturating(k.reactionSumMs, keys.Int(5));
            AddHistogramText(reinterpret_cast<const char*>(keys.Text(8).c_str()), k.reactionHistogram);
        }
    }

    Statement pairs(db_, ("SELECT w.target, w.typed, sum(w.times) AS n FROM wrong_keys w "
                          "JOIN runs r ON r.run_id = w.run_id" +
                          filter + " GROUP BY w.target, w.typed ORDER BY n DESC, w.target, w.typed")
                             .c_str());
    if (!pairs.Ok()) return sums;
    BindProgressFilter(pairs, query);
    while (pairs.Step() == SQLITE_ROW) {
        sums.wrongKeyPairs.push_back({pairs.Text(0), pairs.Text(1), static_cast<int32_t>(pairs.Int(2))});
    }
    sums.available = pairs.Code() == SQLITE_DONE;
    return sums;
}

bool HistoryStore::Export(std::ostream& out, ExportFormat format) {
    const bool json = format == ExportFormat::Json;
    std::error_code error;
    const bool any = std::filesystem::exists(file_, error);
    if (any && !OpenForReading()) return false;
    // The CSV's columns: "kind", then every table's columns in order, each name once.
    std::vector<std::string> columns{"kind"};
    std::vector<std::vector<int>> where;  // [table][column] -> CSV column
    for (const ExportTable& table : kExportTables) {
        std::vector<int> at;
        if (any) {
            Statement s(db_, table.sql);
            if (!s.Ok()) return Fail("cannot read", s.Code());
            for (int c = 0; c < s.Columns(); ++c) {
                const auto found = std::find(columns.begin(), columns.end(), s.Name(c));
                at.push_back(static_cast<int>(found - columns.begin()));
                if (found == columns.end()) columns.emplace_back(s.Name(c));
            }
        }
        where.push_back(at);
    }
    std::string buffer;
    auto flushIfLarge = [&] {
        if (buffer.size() < (1 << 20)) return;
        out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        buffer.clear();
    };
    if (json) {
        buffer += "{\"schema_version\":" + std::to_string(kHistorySchemaVersion);
    } else {
        for (size_t c = 0; c < columns.size(); ++c) (buffer += c ? "," : "") += columns[c];
        buffer += '\n';
    }
    for (size_t t = 0; t < std::size(kExportTables); ++t) {
        const ExportTable& table = kExportTables[t];
        if (json) buffer += std::string(",\n\"") + table.kind + "s\":[";
        if (any) {
            Statement s(db_, table.sql);
            sqlite3_stmt* raw = s.Raw();
            // A row's names as JSON keys, and its columns in CSV order.
            std::vector<std::string> keys;
            for (int c = 0; c < s.Columns(); ++c) {
                std::string key;
                AppendJsonString(key, s.Name(c), std::strlen(s.Name(c)));
                keys.push_back(key + ':');
            }
            std::vector<int> columnAt(columns.size(), -1);
            for (int c = 0; c < s.Columns(); ++c) columnAt[where[t][c]] = c;
            bool first = true;
            while (s.Step() == SQLITE_ROW) {
                if (json) {
                    buffer += first ? "\n{" : ",\n{";
                    for (int c = 0; c < s.Columns(); ++c) {
                        if (c) buffer += ',';
                        buffer += keys[c];
                        AppendValue(buffer, raw, c, true);
                    }
                    buffer += '}';
                } else {
                    buffer += table.kind;
                    for (size_t c = 1; c < columns.size(); ++c) {
                        buffer += ',';
                        if (columnAt[c] >= 0) AppendValue(buffer, raw, columnAt[c], false);
                    }
                    buffer += '\n';
                }
                first = false;
                flushIfLarge();
            }
            if (s.Code() != SQLITE_DONE) return Fail("cannot read", s.Code());
        }
        if (json) buffer += ']';
    }
    if (json) buffer += "}\n";
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    out.flush();
    if (!out) {
        lastError_ = "cannot write the export";
        return false;
    }
    return true;
}

}  // namespace kelo
