// The run history at 10,000 runs: opening and summing it for the progress screen, and
// exporting it, with the database's bytes per run. Figures only; no limits are checked.
//   kelo_history_bench [--benchmark_repetitions=5 --benchmark_report_aggregates_only=true]

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/common/HistoryStore.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 10000;

// A busy run: every letter targeted, hit with scattered reaction times and missed now
// and then, a dozen wrong-key pairs, two minutes of speed samples.
kelo::RunHistory BusyRun(std::mt19937& random, int n) {
    kelo::RunHistory run;
    run.start = {1767225600000 + int64_t{n} * 120000, 60};
    run.layoutName = "English (US)";
    run.course = n % 9;
    run.difficulty = n % 3 == 0 ? kelo::Difficulty::Hard : kelo::Difficulty::Normal;
    run.outcome = n % 4 == 0 ? kelo::RunOutcome::TimeOut : kelo::RunOutcome::Goal;
    run.clockStarted = true;
    run.runTimeMs = 110000 + n % 1000;
    run.resultSpeed = 18000 + n % 5000;
    run.rank = n % 7 < 5 ? n % 7 + 1 : 0;
    run.stageReached = 3;
    run.distance = 30000;
    run.courseLength = 30000;
    run.correctKeys = {180, 170};
    run.wrongKeys = {12, 9};
    std::uniform_int_distribution<int> reaction(120, 900);
    for (int row = 0; row < kelo::kHistoryLetterCount; ++row) {
        kelo::KeyFigures& k = run.keys[row];
        k.targeted = 13;
        k.hits = 12;
        k.misses = row % 3;
        for (int i = 0; i < k.hits; ++i) {
            const int ms = reaction(random);
            k.reactionMinMs = i == 0 ? ms : std::min(k.reactionMinMs, ms);
            k.reactionMaxMs = std::max(k.reactionMaxMs, ms);
            k.reactionSumMs += ms;
            ++k.reactionCount;
            ++k.reactionHistogram[kelo::ReactionBin(ms)];
        }
    }
    run.keys[kelo::kOtherKeysRow].misses = 2;
    for (int i = 0; i < 12; ++i) {
        run.wrongKeyPairs.push_back(
            {std::string(1, kelo::kHistoryLetters[i]), std::string(1, kelo::kHistoryLetters[(i + 1) % 28]), 1 + i % 2});
    }
    run.speedPerSecond.assign(111, 18.75f);
    return run;
}

const fs::path& Database() {
    static const fs::path file = [] {
        fs::path folder = fs::temp_directory_path() / "kelo-history-bench";
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::path f = folder / kelo::kHistoryFileName;
        kelo::HistoryStore store(f);
        std::mt19937 random(7);
        std::vector<kelo::RunHistory> batch;
        for (int n = 0; n < kRuns; ++n) {
            batch.push_back(BusyRun(random, n));
            if (batch.size() == 500) {
                if (!store.Save(batch, "bench")) std::fprintf(stderr, "%s\n", store.LastError().c_str());
                batch.clear();
            }
        }
        std::fprintf(stderr, "%d runs: %.0f bytes per run (database %.1f MiB)\n", kRuns,
                     static_cast<double>(fs::file_size(f)) / kRuns, fs::file_size(f) / 1048576.0);
        return f;
    }();
    return file;
}

void OneRunWrite(benchmark::State& state) {
    fs::path f = fs::temp_directory_path() / "kelo-history-bench-one.sqlite3";
    std::mt19937 random(3);
    kelo::HistoryStore store(f);
    int n = 0;
    for (auto _ : state) benchmark::DoNotOptimize(store.Save({BusyRun(random, n++)}, "bench"));
    fs::remove(f);
}

void OpenAndSumAllCourses(benchmark::State& state) {
    const fs::path& f = Database();
    for (auto _ : state) {
        kelo::HistoryStore store(f);
        benchmark::DoNotOptimize(store.ReadProgress({}));
    }
}

void OpenAndSumOneCourse(benchmark::State& state) {
    const fs::path& f = Database();
    for (auto _ : state) {
        kelo::HistoryStore store(f);
        benchmark::DoNotOptimize(store.ReadProgress({3, kelo::Difficulty::Normal, true}));
    }
}

void Export(benchmark::State& state) {
    const fs::path& f = Database();
    const auto format = static_cast<kelo::ExportFormat>(state.range(0));
    size_t bytes = 0;
    for (auto _ : state) {
        kelo::HistoryStore store(f);
        std::ofstream out(f.parent_path() / "export", std::ios::binary | std::ios::trunc);
        store.Export(out, format);
        bytes = static_cast<size_t>(out.tellp());
    }
    state.counters["MiB"] = static_cast<double>(bytes) / 1048576.0;
}

BENCHMARK(OneRunWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenAndSumAllCourses)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenAndSumOneCourse)->Unit(benchmark::kMillisecond);
BENCHMARK(Export)
    ->Arg(static_cast<int>(kelo::ExportFormat::Csv))
    ->Arg(static_cast<int>(kelo::ExportFormat::Json))
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
