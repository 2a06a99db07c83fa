// The progress screen as the player sees it, through the simulator: its three views over
// a history that bot runs made (fixed seeds), and the empty screen for a missing or a
// damaged history. Each shown frame is compared pixel for pixel with a PNG under
// tests/golden; KELO_UPDATE_GOLDENS=1 rewrites them after a change that is meant.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "TempDir.h"
#include "platform/common/HistoryStore.h"
#include "platform/common/Png.h"
#include "platform/sim/Simulation.h"
#include "screens/ProgressModel.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

// Six runs of course 5 by a bot that misses one key in twelve, then five of course 1.
void PlayBotRuns(const std::string& recordsDir) {
    for (const auto& [course, seed] : {std::pair{4, 3u}, std::pair{0, 4u}}) {
        SimOptions options;
        options.start = Screen::Run;
        options.course = course;
        options.seed = seed;
        options.bot = BotOptions{7, 1.0 / 12};
        options.runs = course == 4 ? 6 : 5;
        options.recordsDir = recordsDir;
        options.historyPath = recordsDir + "/history.sqlite3";
        const SimResult result = RunSimulation(options);
        ASSERT_EQ(result.exitCode, 0) << result.message;
    }
}

// The frames the progress screen shows at `frames`, entered straight after start-up on
// course `course` with the keys of `script`.
std::map<int64_t, Image> ShowProgress(const std::string& recordsDir, int course, const std::string& script,
                                      std::vector<int64_t> frames) {
    SimOptions options;
    options.start = Screen::Progress;
    options.course = course;
    options.recordsDir = recordsDir;
    options.historyPath = recordsDir + "/history.sqlite3";
    options.script = ParseScript(script);
    options.frames = frames.back();
    std::map<int64_t, Image> shown;
    options.observer = [&](const Game& game, const SimFrame& frame) {
        for (int64_t f : frames)
            if (f == frame.frame) shown[f] = game.PicMain.image;
    };
    const SimResult result = RunSimulation(options);
    EXPECT_EQ(result.exitCode, 0) << result.message;
    return shown;
}

// Compares with tests/golden/NAME.png and explains a difference: how many pixels, where,
// and where the frame that was shown has been saved.
void ExpectGolden(const Image& shown, const std::string& name) {
    const fs::path golden = fs::path(KELO_SOURCE_DIR) / "tests" / "golden" / (name + ".png");
    if (std::getenv("KELO_UPDATE_GOLDENS") != nullptr) {
        ASSERT_TRUE(SavePng(shown, golden.string()));
        return;
    }
    const std::optional<Image> expected = LoadPng(golden.string());
    ASSERT_TRUE(expected.has_value()) << "no golden " << golden << " (KELO_UPDATE_GOLDENS=1 makes it)";
    ASSERT_EQ(expected->Width(), shown.Width());
    ASSERT_EQ(expected->Height(), shown.Height());
    int differ = 0, x1 = shown.Width(), y1 = shown.Height(), x2 = -1, y2 = -1;
    for (int y = 0; y < shown.Height(); ++y) {
        for (int x = 0; x < shown.Width(); ++x) {
            if (expected->At(x, y) == shown.At(x, y)) continue;
            ++differ;
            x1 = std::min(x1, x), y1 = std::min(y1, y), x2 = std::max(x2, x), y2 = std::max(y2, y);
        }
    }
    if (differ == 0) return;
    const fs::path actual = fs::path(KELO_BINARY_DIR) / (name + "-shown.png");
    SavePng(shown, actual.string());
    ADD_FAILURE() << name << ": " << differ << " pixels differ from " << golden << ", within x " << x1 << ".." << x2
                  << ", y " << y1 << ".." << y2 << "; the frame shown is in " << actual
                  << " (KELO_UPDATE_GOLDENS=1 accepts it)";
}

// Frame 30: the opening wipe is over. Right at 31 switches to reaction times, Up at 61
// to all courses.
constexpr const char* kViewKeys = "31 tap RIGHT\n61 tap UP\n";

TEST(ProgressGolden, ThreeViewsOfABotHistory) {
    TempDir records("kelo-progress");
    PlayBotRuns(records.Path());
    const std::map<int64_t, Image> shown = ShowProgress(records.Path(), 4, kViewKeys, {30, 60, 90});
    ASSERT_EQ(shown.size(), 3u);
    ExpectGolden(shown.at(30), "progress-course-miss-rate");
    ExpectGolden(shown.at(60), "progress-course-reaction");
    ExpectGolden(shown.at(90), "progress-all-courses");
}

// No history and a damaged one both show the empty screen with its notice.
TEST(ProgressGolden, MissingOrDamagedHistoryShowsTheEmptyScreen) {
    TempDir missing("kelo-progress");
    ExpectGolden(ShowProgress(missing.Path(), 0, "", {30}).at(30), "progress-empty");
    TempDir damaged("kelo-progress");
    PlayBotRuns(damaged.Path());
    for (const fs::directory_entry& entry : fs::directory_iterator(damaged.Path())) {
        if (entry.path().filename() == "kelodt.hsc") continue;
        std::ofstream(entry.path(), std::ios::binary | std::ios::trunc) << std::string(3000, '\x5a');
    }
    ExpectGolden(ShowProgress(damaged.Path(), 0, "", {30}).at(30), "progress-empty");
}

// Ten thousand runs: the screen opens on them, counts them all, plots the last thirty
// and draws its plot.
TEST(ProgressGolden, TenThousandRuns) {
    TempDir records("kelo-progress");
    const std::string file = records.Path() + "/history.sqlite3";
    {
        std::vector<RunHistory> runs(10000);
        for (int n = 0; n < 10000; ++n) {
            RunHistory& run = runs[n];
            run.start = {1767225600000 + int64_t{n} * 120000, 0};
            run.course = 4;
            run.outcome = n % 4 == 0 ? RunOutcome::TimeOut : RunOutcome::Goal;
            run.clockStarted = true;
            run.runTimeMs = 60000;
            run.resultSpeed = 10000 + n;
            run.correctKeys = {100, 100};
            run.wrongKeys = {n % 7, 3};
            run.keys[HistoryKeyRow('Q')] = {50, 40, n % 5, 40, 40 * 400, 300, 500, {}};
        }
        HistoryStore store{file};
        ASSERT_TRUE(store.Save(runs, "test")) << store.LastError();
        const ProgressSummary summary = SummaryOfAggregate(store.ReadProgress(ProgressQuery{4, Difficulty::Normal}));
        EXPECT_EQ(summary.runs, 10000);
        ASSERT_EQ(summary.recent.size(), 30u);
        EXPECT_DOUBLE_EQ(summary.recent.back().keysPerMinute, (10000 + 9999) / 100.0);
        EXPECT_EQ(summary.keys[TypedKeyIndex('Q')].hits, 400000);
    }
    const Image shown = ShowProgress(records.Path(), 4, "", {30}).at(30);
    TempDir none("kelo-progress");
    const Image empty = ShowProgress(none.Path(), 4, "", {30}).at(30);
    int plotted = 0;
    for (int y = 110; y < 226; ++y)
        for (int x = 37; x < 364; ++x) plotted += shown.At(x, y) != empty.At(x, y);
    EXPECT_GT(plotted, 200) << "the plot shows next to nothing";
}

}  // namespace
}  // namespace kelo
