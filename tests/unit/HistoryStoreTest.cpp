// The run history database: what it gives back, every failure it must survive, the
// schema's upgrade, and what the recorder charges in a scripted run.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <sstream>

#include "platform/common/HistoryStore.h"
#include "platform/common/HistoryWriter.h"
#include "platform/sim/Simulation.h"
#include "screens/ProgressModel.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

class HistoryTest : public ::testing::Test {
public:
    void SetUp() override {
        root = fs::temp_directory_path() / ("kelo-history-" + std::to_string(std::random_device{}()));
        fs::create_directories(root);
        file = root / kHistoryFileName;
    }
    void TearDown() override { fs::remove_all(root); }

    static int64_t Count(const fs::path& db, const char* table = "runs") {
        sqlite3* h = nullptr;
        sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        int64_t n = -1;
        if (sqlite3_prepare_v2(h, (std::string("SELECT count(*) FROM ") + table).c_str(), -1, &s, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            n = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        sqlite3_close(h);
        return n;
    }

    fs::path root;
    fs::path file;
};

RunHistory SampleRun(int course, Difficulty difficulty, int32_t speed, bool practice = false) {
    RunHistory run;
    run.start = {1767225600000 + course * 1000, 60};
    run.course = course;
    run.difficulty = difficulty;
    run.outcome = RunOutcome::Goal;
    run.practice = practice;
    run.clockStarted = true;
    run.runTimeMs = 20000;
    run.resultSpeed = speed;
    run.correctKeys = {40, 50};
    run.wrongKeys = {3, 7};
    KeyFigures& f = run.keys[HistoryKeyRow('F')];
    f.targeted = 11;
    f.hits = 10;
    f.misses = 3;
    f.reactionCount = 3;
    f.reactionSumMs = 900;
    f.reactionMinMs = 100 + course;
    f.reactionMaxMs = 500;
    f.reactionHistogram[ReactionBin(100 + course)] = 1;
    f.reactionHistogram[ReactionBin(300)] = 1;
    f.reactionHistogram[ReactionBin(500)] = 1;
    run.keys[kOtherKeysRow].misses = 1;
    run.wrongKeyPairs = {{"F", "D", 2}, {"F", "Space", 1}, {"J", "Space", 1}};
    run.speedPerSecond = {1.5f, 2.25f};
    return run;
}

TEST_F(HistoryTest, ProgressSumsTheChosenRunsAndKeepsTheLastOnesInOrder) {
    HistoryStore store(file);
    ASSERT_TRUE(store.Save({SampleRun(0, Difficulty::Normal, 1000), SampleRun(1, Difficulty::Normal, 2000)}, "1.0.0"))
        << store.LastError();
    ASSERT_TRUE(
        store.Save({SampleRun(0, Difficulty::Hard, 3000), SampleRun(0, Difficulty::Normal, 4000, true)}, "1.0.0"));

    ProgressAggregate course0 = store.ReadProgress({0, Difficulty::Normal, true});
    ASSERT_TRUE(course0.available);
    EXPECT_EQ(course0.runCount, 2);
    EXPECT_EQ(course0.totalRunTimeMs, 40000);
    ASSERT_EQ(course0.lastRuns.size(), 2u);
    EXPECT_EQ(course0.lastRuns[0].resultSpeed, 1000);  // oldest first
    EXPECT_TRUE(course0.lastRuns[1].practice);
    EXPECT_DOUBLE_EQ(*course0.lastRuns[0].Accuracy(), 90.0 / 100.0);
    const KeyFigures& f = course0.keys[HistoryKeyRow('F')];
    EXPECT_EQ(f.hits, 20);
    EXPECT_EQ(f.reactionCount, 6);
    EXPECT_EQ(f.reactionMinMs, 100);
    EXPECT_EQ(f.reactionHistogram[ReactionBin(300)], 2);
    EXPECT_EQ(HistogramMedianMs(f.reactionHistogram), 305);
    ASSERT_EQ(course0.wrongKeyPairs.size(), 3u);
    EXPECT_EQ(course0.wrongKeyPairs[0], (WrongKeyPair{"F", "D", 4}));

    EXPECT_EQ(store.ReadProgress({0, Difficulty::Normal, false}).runCount, 1);
    ProgressAggregate all = store.ReadProgress({});
    EXPECT_EQ(all.runCount, 4);
    EXPECT_EQ(all.keys[kOtherKeysRow].misses, 4);
    EXPECT_EQ(all.keys[HistoryKeyRow('F')].reactionMinMs, 100);
    EXPECT_EQ(all.keys[HistoryKeyRow('F')].reactionMaxMs, 500);

    EXPECT_FALSE(HistoryStore(root / "none.sqlite3").ReadProgress({}).available);
    EXPECT_FALSE(fs::exists(root / "none.sqlite3"));
}

// A history edited by hand or damaged may hold any counts: their sums, and the progress
// figures drawn from them, stop at the limits (the sanitizer build stops on an overflow).
TEST_F(HistoryTest, ProgressSumsHoldAtTheIntegerLimits) {
    constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
    RunHistory huge = SampleRun(0, Difficulty::Normal, 1000);
    KeyFigures& f = huge.keys[HistoryKeyRow('F')];
    f.targeted = f.hits = f.misses = f.reactionCount = kMax32;
    f.reactionSumMs = kMax64;
    f.reactionHistogram[ReactionBin(300)] = kMax32;
    HistoryStore store(file);
    ASSERT_TRUE(store.Save({huge, huge}, "1.0.0")) << store.LastError();

    const ProgressAggregate all = store.ReadProgress({});
    const KeyFigures& sum = all.keys[HistoryKeyRow('F')];
    EXPECT_EQ(sum.hits, kMax32);
    EXPECT_EQ(sum.misses, kMax32);
    EXPECT_EQ(sum.reactionCount, kMax32);
    EXPECT_EQ(sum.reactionSumMs, kMax64);
    EXPECT_EQ(sum.reactionHistogram[ReactionBin(300)], kMax32);
    const ProgressSummary summary = SummaryOfAggregate(all);
    EXPECT_DOUBLE_EQ(summary.keys[TypedKeyIndex('F')].MissRate(), 0.5);
    EXPECT_EQ(WeakestKeysText(summary), "F 50 %");
}

TEST_F(HistoryTest, AnEmptyFileOfVersionZeroIsUpgradedAndANewerOneLeftAlone) {
    std::ofstream(file).close();  // what sqlite3 makes of a new name: no schema, version 0
    {
        HistoryStore store(file);
        ASSERT_TRUE(store.Save({SampleRun(2, Difficulty::Normal, 100)}, "1.0.0")) << store.LastError();
    }
    EXPECT_EQ(Count(file), 1);
    EXPECT_EQ(Count(file, "run_keys"), 2);  // F and other
    EXPECT_EQ(Count(file, "wrong_keys"), 3);
    // Reopening a current file adds to it.
    ASSERT_TRUE(HistoryStore(file).Save({SampleRun(2, Difficulty::Normal, 100)}, "1.0.0"));
    EXPECT_EQ(Count(file), 2);
}

// Every way a write can fail: the game goes on, the runs stay in the writer and go
// with the next write that can succeed, and nothing already kept is lost.
TEST_F(HistoryTest, FailedWritesKeepTheRunsForTheNextWrite) {
    struct Case {
        const char* name;
        std::function<void(HistoryTest&)> spoil;  // before the first write
        std::function<void(HistoryTest&)> mend;   // before the second
        bool firstSaves;
        const char* says;
        int64_t keptBefore;  // runs the database held before the two writes
    };
    sqlite3* holder = nullptr;
    const Case cases[] = {
        {"folder is a file",
         [](HistoryTest& t) {
             fs::remove_all(t.root);
             std::ofstream(t.root).put('x');
         },
         [](HistoryTest& t) {
             fs::remove(t.root);
             fs::create_directories(t.root);
         },
         false, "cannot", 0},
        {"held by another copy",
         [&](HistoryTest& t) {
             ASSERT_TRUE(HistoryStore(t.file).Save({SampleRun(0, Difficulty::Normal, 1)}, "0"));
             sqlite3_open(t.file.c_str(), &holder);
             ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
         },
         [&](HistoryTest&) {
             sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
             sqlite3_close(holder);
         },
         false, "another copy", 1},
        {"file too large to grow",
         [](HistoryTest& t) {
             ASSERT_TRUE(HistoryStore(t.file).Save({SampleRun(0, Difficulty::Normal, 1)}, "0"));
             std::signal(SIGXFSZ, SIG_IGN);
             rlimit limit{static_cast<rlim_t>(fs::file_size(t.file)), RLIM_INFINITY};
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         [](HistoryTest&) {
             rlimit limit{RLIM_INFINITY, RLIM_INFINITY};
             setrlimit(RLIMIT_FSIZE, &limit);
         },
         false, "disk I/O error", 1},
        {"newer schema",
         [](HistoryTest& t) {
             sqlite3* h = nullptr;
             sqlite3_open(t.file.c_str(), &h);
             sqlite3_exec(h, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
             sqlite3_close(h);
         },
         [](HistoryTest& t) { fs::remove(t.file); }, false, "newer version", 0},
        {"damaged file", [](HistoryTest& t) { std::ofstream(t.file) << std::string(8192, 'K'); }, [](HistoryTest&) {},
         true, "moved aside", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.spoil(*this);
        std::vector<std::pair<std::string, bool>> reports;
        {
            HistoryWriter writer(
                file, "1.0.0", false, [&](const std::string& line, bool saved) { reports.emplace_back(line, saved); },
                50);
            writer.Submit(SampleRun(1, Difficulty::Normal, 10));
            ASSERT_EQ(reports.size(), 1u);
            EXPECT_EQ(reports[0].second, c.firstSaves);
            EXPECT_NE(reports[0].first.find(c.says), std::string::npos) << reports[0].first;
            EXPECT_EQ(reports[0].first.find('\n'), std::string::npos);
            EXPECT_EQ(writer.Unsaved(), c.firstSaves ? 0u : 1u);
            c.mend(*this);
            writer.Submit(SampleRun(1, Difficulty::Normal, 20));
            ASSERT_EQ(reports.size(), 2u);
            EXPECT_TRUE(reports[1].second) << reports[1].first;
            EXPECT_EQ(writer.Unsaved(), 0u);
        }
        EXPECT_EQ(Count(file), c.keptBefore + 2);
        if (std::string(c.name) == "damaged file") {
            int aside = 0;
            for (const auto& entry : fs::directory_iterator(root)) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("history.sqlite3.damaged-", 0) == 0 && name.find("-wal") == std::string::npos &&
                    name.find("-shm") == std::string::npos) {
                    ++aside;
                    EXPECT_EQ(fs::file_size(entry.path()), 8192u);
                }
            }
            EXPECT_EQ(aside, 1);
        }
    }
}

// Wrong keys before the first correct key are forgiven, as the run's tally forgets
// them; a key of neither hand is charged to the "other" row and paired with both
// targets; Escape, a wrong key too, ends the run.
TEST_F(HistoryTest, ARecordedRunChargesWrongKeysAsTheTallyDoes) {
    SimOptions options;
    options.start = Screen::Run;
    options.course = 0;  // targets F and J only; the right hand types first
    options.recordsDir = root.string();
    options.historyPath = (root / "h.sqlite3").string();
    options.script = ParseScript("10 tap D\n120 tap J\n130 tap D\n140 tap SPACE\n150 tap ESCAPE\n");
    options.frames = 250;
    SimResult result = RunSimulation(options);
    ASSERT_EQ(result.exitCode, 0) << result.message;

    HistoryStore store(root / "h.sqlite3");
    ProgressAggregate sums = store.ReadProgress({});
    ASSERT_EQ(sums.runCount, 1);
    EXPECT_EQ(sums.lastRuns[0].outcome, RunOutcome::Escape);
    EXPECT_EQ(sums.lastRuns[0].correctKeys, 1);
    EXPECT_EQ(sums.lastRuns[0].wrongKeys, 1);
    const KeyFigures& j = sums.keys[HistoryKeyRow('J')];
    EXPECT_EQ(j.hits, 1);
    EXPECT_EQ(j.targeted, 2);
    EXPECT_EQ(j.misses, 0);
    EXPECT_EQ(j.reactionCount, 0);  // the hit that started the clock
    EXPECT_EQ(sums.keys[HistoryKeyRow('F')].targeted, 1);
    EXPECT_EQ(sums.keys[HistoryKeyRow('F')].misses, 1);
    EXPECT_EQ(sums.keys[kOtherKeysRow].misses, 2);
    std::vector<WrongKeyPair> pairs = sums.wrongKeyPairs;
    std::sort(pairs.begin(), pairs.end(), [](auto& a, auto& b) { return a.target + a.typed < b.target + b.typed; });
    EXPECT_EQ(pairs, (std::vector<WrongKeyPair>{
                         {"F", "D", 1}, {"F", "Escape", 1}, {"F", "Space", 1}, {"J", "Escape", 1}, {"J", "Space", 1}}));
}

// Every run is kept, however it ends, with the outcome its state and its way out give.
TEST_F(HistoryTest, EveryWayARunEndsIsKept) {
    const struct {
        const char* script;
        RunOutcome outcome;
        bool clockStarted;
    } cases[] = {
        {"120 tap J\n400 tap SPACE\n", RunOutcome::TimeOut, true},
        {"50 close\n", RunOutcome::WindowClosed, false},
        {"120 tap J\n130 tap ESCAPE\n", RunOutcome::Escape, true},
        {"50 tap ESCAPE\n", RunOutcome::Escape, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        SimOptions options;
        options.start = Screen::Run;
        options.recordsDir = root.string();
        options.historyPath = (root / "h.sqlite3").string();
        options.script = ParseScript(c.script);
        options.frames = 500;
        ASSERT_EQ(RunSimulation(options).exitCode, 0);
        HistoryStore store(root / "h.sqlite3");
        const ProgressAggregate sums = store.ReadProgress({});
        ASSERT_FALSE(sums.lastRuns.empty());
        EXPECT_EQ(sums.lastRuns.back().outcome, c.outcome);
        EXPECT_EQ(sums.lastRuns.back().runTimeMs > 0, c.clockStarted);
    }
    EXPECT_EQ(HistoryStore(root / "h.sqlite3").ReadProgress({}).runCount, 4);
}

TEST(HistoryDefinitions, LocalDateAndMedian) {
    EXPECT_EQ(LocalDate({1767225600000 - 1, 0}), "2025-12-31");
    EXPECT_EQ(LocalDate({1767225600000 - 1, 60}), "2026-01-01");
    EXPECT_EQ(LocalDate({951782400000, 0}), "2000-02-29");
    ReactionHistogram h{};
    EXPECT_FALSE(HistogramMedianMs(h));
    h[ReactionBin(5)] = 2;
    h[ReactionBin(99999)] = 1;
    EXPECT_EQ(HistogramMedianMs(h), 5);
    h[kReactionBins - 1] = 3;
    EXPECT_EQ(HistogramMedianMs(h), (kReactionBins - 1) * kReactionBinMs + 5);
}

// Replays keep the last kReplayKeptSessions sessions and every older one holding a
// first place; the rest go with their segments and links as a new session starts.
TEST_F(HistoryTest, ReplaysKeepTheLastSessionsAndEveryFirstPlace) {
    HistoryStore store(file);
    auto key = [](int n) { return "session-" + std::to_string(n); };
    auto segment = [&](int n, uint32_t index) {
        ASSERT_TRUE(store.SaveReplay({key(n), n, "1.0.0", index, std::vector<uint8_t>(100, uint8_t(n)), false}))
            << store.LastError();
    };
    segment(1, 0);
    segment(1, 1);
    for (int n : {1, 2}) {
        RunHistory run = SampleRun(0, Difficulty::Normal, 1000);
        run.rank = n;  // session 1 holds a first place, session 2 a second
        run.replaySession = key(n);
        run.replaySegment = 1;
        if (n == 2) segment(2, 0);
        ASSERT_TRUE(store.Save({run}, "1.0.0")) << store.LastError();
    }
    for (int n = 3; n <= kReplayKeptSessions + 3; ++n) segment(n, 0);
    EXPECT_EQ(Count(file, "replay_sessions"), kReplayKeptSessions + 1);
    EXPECT_EQ(Count(file, "replay_runs"), 1);
    EXPECT_EQ(Count(file, "replay_segments"), kReplayKeptSessions + 2);
    const std::optional<ReplaySource> kept = store.ReadRunReplay(1);
    ASSERT_TRUE(kept) << store.LastError();
    EXPECT_EQ(kept->segments, std::vector<std::vector<uint8_t>>{std::vector<uint8_t>(100, 1)});
    EXPECT_FALSE(store.ReadRunReplay(2));
    EXPECT_EQ(Count(file, "runs"), 2);
}

// The run to watch: the fastest recorded goal run of the course and difficulty; one
// without its segment, a practice run or another course's never.
TEST_F(HistoryTest, BestRecordedRunIsTheFastestGoalWithARecording) {
    HistoryStore store(file);
    ASSERT_TRUE(store.SaveReplay({"s", 0, "1.0.0", 1, {1, 2, 3}, false})) << store.LastError();
    struct Case {
        int course;
        int32_t timeMs;
        bool practice;
        int64_t segment;  // 1 is stored, 2 is not
    };
    const Case cases[] = {
        {3, 30000, false, 1}, {3, 20000, false, 1}, {3, 10000, true, 1}, {3, 5000, false, 2}, {4, 1000, false, 1}};
    for (const Case& c : cases) {
        RunHistory run = SampleRun(c.course, Difficulty::Normal, 1000, c.practice);
        run.runTimeMs = c.timeMs;
        run.replaySession = "s";
        run.replaySegment = c.segment;
        ASSERT_TRUE(store.Save({run}, "1.0.0")) << store.LastError();
    }
    EXPECT_EQ(store.BestRecordedRun(3, Difficulty::Normal), std::optional<int64_t>(2));
    EXPECT_EQ(store.BestRecordedRun(3, Difficulty::Hard), std::nullopt);
}

}  // namespace
}  // namespace kelo
