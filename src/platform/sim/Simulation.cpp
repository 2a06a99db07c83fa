#include "platform/sim/Simulation.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "GameLoop.h"
#include "history/RunRecorder.h"
#include "kelo_version.h"
#include "platform/common/FrameDigest.h"
#include "platform/common/HistoryWriter.h"
#include "platform/common/Png.h"
#include "platform/common/ReplayPlatforms.h"
#include "platform/common/TextRendering.h"
#include "platform/sim/SimError.h"
#include "platform/sim/SimTrace.h"

namespace kelo {

namespace {

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

// The font is found and opened once per process: tests run many simulations.
TextRenderer* GameFont(std::string& error) {
    static std::string fontError;
    static std::unique_ptr<TextRenderer> renderer = CreateTextRenderer(fontError);
    error = fontError;
    return renderer.get();
}

// Creates the output places one by one without truncating anything that already
// exists, so that a place failing late can be undone: the files and the folder made so
// far are removed again, and files that existed keep their content. Once every place
// is open, Commit() empties the files that existed.
class OutputPlaces {
public:
    OutputPlaces() = default;
    OutputPlaces(const OutputPlaces&) = delete;
    OutputPlaces& operator=(const OutputPlaces&) = delete;
    ~OutputPlaces() {
        if (committed_) return;
        std::error_code error;
        for (const std::string& path : created_) std::filesystem::remove(path, error);
    }

    FilePtr OpenFile(const std::string& path, const char* option) {
        if (path.empty()) return nullptr;
        std::error_code error;
        const bool existed = std::filesystem::exists(path, error);
        FilePtr file(std::fopen(path.c_str(), existed ? "r+b" : "wb"));
        if (!file) throw SimUsageError(std::string(option) + ": cannot write \"" + path + "\"");
        // A device such as /dev/null is written as it is; only a file is emptied.
        if (!existed) created_.push_back(path);
        if (existed && std::filesystem::is_regular_file(path, error)) toEmpty_.push_back(path);
        return file;
    }

    void MakeFolder(const std::string& path, const char* option) {
        if (path.empty()) return;
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) created_.push_back(path);
        if (!std::filesystem::is_directory(path, error))
            throw SimUsageError(std::string(option) + ": cannot create \"" + path + "\"");
    }

    void Commit() {
        for (const std::string& path : toEmpty_) {
            std::error_code error;
            std::filesystem::resize_file(path, 0, error);
            if (error) throw SimUsageError("cannot empty \"" + path + "\"");
        }
        committed_ = true;
    }

private:
    std::vector<std::string> created_;
    std::vector<std::string> toEmpty_;
    bool committed_ = false;
};

void CheckRanges(const SimOptions& options) {
    if (options.course < 0 || options.course >= kCourseCount) throw SimUsageError("--course: must be 0 to 8");
    if (options.difficulty < 0 || options.difficulty > 1) throw SimUsageError("--difficulty: must be 0 or 1");
    if (options.frames && *options.frames < 0) throw SimUsageError("--frames: must not be negative");
    if (options.runs && *options.runs < 1) throw SimUsageError("--runs: must be at least 1");
    if (options.bot && (options.bot->keysPerSecond <= 0 || options.bot->missChance < 0 || options.bot->missChance > 1))
        throw SimUsageError("--bot: KPS must be above 0 and MISS from 0 to 1");
    if (options.pngFrames.mode == PngFrameChoice::Mode::Every && options.pngFrames.every < 1)
        throw SimUsageError("--png-frames: every:K needs K of at least 1");
}

// The files a simulation writes, opened only once every option has been checked.
class SimOutputs {
public:
    explicit SimOutputs(const SimOptions& options)
        : tracePath_(options.tracePath),
          soundLogPath_(options.soundLogPath),
          pngDir_(options.pngDir),
          pngFrames_(options.pngFrames),
          digestsPath_(options.frameDigestsPath) {
        OutputPlaces places;
        trace_ = places.OpenFile(options.tracePath, "--trace");
        soundLog_ = places.OpenFile(options.soundLogPath, "--sound-log");
        digests_ = places.OpenFile(options.frameDigestsPath, "--frame-digests");
        places.MakeFolder(pngDir_, "--png");
        places.Commit();
        if (trace_) Write(trace_, TraceHeader() + '\n', "--trace", tracePath_);
    }

    void Frame(const Game& game, int64_t frame, uint32_t clock, const Image& image) {
        if (trace_) Write(trace_, TraceLine(game, frame, clock) + '\n', "--trace", tracePath_);
        if (!pngDir_.empty() && pngFrames_.Wants(frame)) {
            char name[40];
            std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(frame));
            const std::string path = pngDir_ + name;
            if (!SavePng(image, path)) {
                Failed("--png", path, errno);
                // A cut picture is no picture.
                std::remove(path.c_str());
            }
        }
        if (digests_) {
            const std::string line = digester_.Line(frame, image);
            if (std::fwrite(line.data(), 1, line.size(), digests_.get()) != line.size())
                Failed("--frame-digests", digestsPath_, errno);
        }
    }

    void Sound(int64_t frame, std::string_view command) {
        if (soundLog_ && std::fprintf(soundLog_.get(), "%lld\t%.*s\n", static_cast<long long>(frame),
                                      static_cast<int>(command.size()), command.data()) < 0)
            Failed("--sound-log", soundLogPath_, errno);
    }

    // Closes the files; the first write or close that failed, in one line, or nothing.
    const std::string& Finish() {
        if (trace_ && std::fclose(trace_.release()) != 0) Failed("--trace", tracePath_, errno);
        if (soundLog_ && std::fclose(soundLog_.release()) != 0) Failed("--sound-log", soundLogPath_, errno);
        if (digests_ && std::fclose(digests_.release()) != 0) Failed("--frame-digests", digestsPath_, errno);
        return failure_;
    }

private:
    void Write(const FilePtr& file, const std::string& text, const char* option, const std::string& path) {
        if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) Failed(option, path, errno);
    }

    void Failed(const char* option, const std::string& path, int error) {
        if (failure_.empty())
            failure_ = std::string(option) + ": cannot write \"" + path + "\": " + std::strerror(error);
    }

    std::string tracePath_;
    std::string soundLogPath_;
    std::string failure_;
    FilePtr trace_;
    FilePtr soundLog_;
    std::string pngDir_;
    PngFrameChoice pngFrames_;
    std::string digestsPath_;
    FilePtr digests_;
    FrameDigester digester_;
};

SimPlatformSettings SettingsFrom(const SimOptions& options) {
    SimPlatformSettings settings;
    settings.clockStart = options.clockStart;
    settings.frameCost = options.frameCost;
    settings.frameLimit = options.frames;
    settings.safetyFrameLimit = options.safetyFrameLimit + kSafetyFramesPerRun * options.runs.value_or(0);
    settings.runLimit = options.runs;
    settings.seed = options.seed;
    settings.recordsDir = options.recordsDir;
    return settings;
}

}  // namespace

int ExportHistory(const SimOptions& options) {
    HistoryStore store(options.historyPath);
    const auto format = ExportFormatFor(options.exportHistoryPath).value_or(ExportFormat::Csv);
    bool ok = false;
    if (options.exportHistoryPath == "-") {
        ok = store.Export(std::cout, format);
    } else {
        std::ofstream out(options.exportHistoryPath, std::ios::binary | std::ios::trunc);
        ok = out && store.Export(out, format);
        out.close();
        if (ok && !out) ok = false;
        if (!ok && store.LastError().empty())
            std::fprintf(stderr, "kelo-sim: cannot write %s\n", options.exportHistoryPath.c_str());
    }
    if (!ok && !store.LastError().empty()) std::fprintf(stderr, "kelo-sim: %s\n", store.LastError().c_str());
    return ok ? 0 : kExitHistoryFailed;
}

namespace {

// The simulator's history writes each run at once; a failed write is told in one line
// on stderr and counted in `failed`.
std::unique_ptr<HistoryWriter> OpenHistory(const std::string& path, int& failed) {
    return std::make_unique<HistoryWriter>(path, KELO_VERSION, false, [&failed](const std::string& line, bool saved) {
        if (!line.empty()) std::fprintf(stderr, "kelo-sim: %s\n", line.c_str());
        if (!saved) ++failed;
    });
}

// Plays a recording from the history: the game answered by the recording, its frames,
// sounds and record writes going to the simulator's outputs as in any session.
SimResult RunReplay(const SimOptions& options, TextRenderer& text) {
    SimResult result;
    std::optional<ReplaySource> source;
    {
        HistoryStore store(options.replayHistoryPath);
        source = options.replayRunId ? store.ReadRunReplay(*options.replayRunId)
                                     : store.ReadSessionReplay(*options.replaySessionId);
        if (!source) {
            result.exitCode = kExitReplayRefused;
            result.message = "replay refused: " + store.LastError();
            return result;
        }
    }
    SimOutputs outputs(options);
    SimPlatformSettings settings = SettingsFrom(options);
    SimPlatform inner(std::move(settings), {}, text);
    std::unique_ptr<ReplayPlatform> replay;
    try {
        replay = std::make_unique<ReplayPlatform>(std::move(*source), inner, KELO_VERSION);
    } catch (const ReplayError& error) {
        result.exitCode = kExitReplayRefused;
        result.message = std::string("replay refused: ") + error.what();
        return result;
    }
    // With --history the replayed runs go to that database as the original's went to its
    // own, so the two can be compared row for row.
    int failedHistoryWrites = 0;
    std::unique_ptr<HistoryWriter> history;
    if (!options.historyPath.empty()) {
        history = OpenHistory(options.historyPath, failedHistoryWrites);
        inner.SetHistory(history.get());
        replay->forwardRunHistory = true;
    }
    auto game = std::make_unique<Game>(*replay);
    inner.onSound = [&](std::string_view command) {
        const int64_t frame = replay->FrameCalls();
        if (options.keepSounds) result.sounds.push_back({frame, std::string(command)});
        outputs.Sound(frame, command);
        if (options.soundObserver) options.soundObserver(frame, command);
    };
    // The recording's last clock reading stands for the virtual clock at the moment of
    // presenting, which it equals without a --frame-cost.
    inner.onPresent = [&](const Image& image) {
        const SimFrame frame{replay->FrameCalls(), replay->LastClock()};
        outputs.Frame(*game, frame.frame, frame.clock, image);
        if (!options.observer) return;
        game->CopyToPicMain(image);
        options.observer(*game, frame);
    };
    try {
        replay->Play(*game);
    } catch (const ReplayError& error) {
        result.exitCode = error.fault == ReplayFault::Refused ? kExitReplayRefused : kExitReplayDiverged;
        result.message =
            std::string(error.fault == ReplayFault::Refused ? "replay refused: " : "replay diverged: ") + error.what();
    }
    result.frameCalls = replay->FrameCalls();
    result.failedSaves = inner.FailedSaves();
    if (result.failedSaves > 0 && result.exitCode == 0) result.exitCode = kExitSaveFailed;
    result.failedHistoryWrites = failedHistoryWrites;
    if (failedHistoryWrites > 0 && result.exitCode == 0) result.exitCode = kExitHistoryFailed;
    result.outputError = outputs.Finish();
    if (!result.outputError.empty()) result.exitCode = kExitOutputFailed;
    return result;
}

}  // namespace

SimResult RunSimulation(const SimOptions& options) {
    CheckRanges(options);
    std::string fontError;
    TextRenderer* text = GameFont(fontError);
    if (!text) {
        SimResult noFont;
        noFont.exitCode = 1;
        noFont.message = fontError;
        return noFont;
    }
    std::string catalogueError;
    std::optional<MessageCatalogue> catalogue =
        MessageCatalogue::ForLanguage(options.language, ExecutableFolder(), catalogueError);
    if (!catalogue) {
        SimResult noCatalogue;
        noCatalogue.exitCode = 1;
        noCatalogue.message = catalogueError;
        return noCatalogue;
    }
    if (!options.replayHistoryPath.empty()) return RunReplay(options, *text);
    SimOutputs outputs(options);
    SimPlatformSettings settings = SettingsFrom(options);
    settings.catalogue = std::move(*catalogue);
    SimPlatform platform(std::move(settings), options.script, *text);
    int failedHistoryWrites = 0;
    std::unique_ptr<HistoryWriter> history;
    RunRecorder recorder;
    if (!options.historyPath.empty()) {
        history = OpenHistory(options.historyPath, failedHistoryWrites);
        platform.SetHistory(history.get());
    }
    // With a history the session is recorded too, each segment kept as it ends.
    std::unique_ptr<RecordingPlatform> recording;
    if (history) {
        const int64_t start = platform.WallClock().unixMs;
        recording = std::make_unique<RecordingPlatform>(
            platform, KELO_VERSION, NewReplaySessionKey(start), start,
            [&](ReplaySegmentData segment) { history->SubmitReplay(std::move(segment)); });
    }
    auto game = std::make_unique<Game>(recording ? static_cast<Platform&>(*recording) : platform);
    platform.Attach(*game);
    if (history) game->runObserver = &recorder;
    if (options.bot) {
        SimBot bot(options.bot->keysPerSecond, options.bot->missChance, options.seed);
        bot.AimAt(options.course, static_cast<Difficulty>(options.difficulty));
        platform.SetBot(bot);
    }

    SimResult result;
    platform.onSound = [&](std::string_view command) {
        const int64_t frame = platform.FrameCalls();
        if (options.keepSounds) result.sounds.push_back({frame, std::string(command)});
        outputs.Sound(frame, command);
        if (options.soundObserver) options.soundObserver(frame, command);
    };
    platform.onPresent = [&](const Image& image) {
        const SimFrame frame{platform.FrameCalls(), platform.Now()};
        outputs.Frame(*game, frame.frame, frame.clock, image);
        if (!options.observer) return;
        game->CopyToPicMain(image);
        options.observer(*game, frame);
    };

    game->state.courseIndex = static_cast<uint8_t>(options.course);
    game->state.difficulty = static_cast<Difficulty>(options.difficulty);
    if (recording) recording->BeginSession(*game, options.start);
    try {
        PlayGame(*game, options.start);
        if (recording) recording->EndSession(true);
    } catch (const SimStop& stop) {
        if (recording) recording->EndSession(false);
        result.end = stop.reason;
        result.message = stop.message;
        result.exitCode = stop.reason == SimEnd::Stalled || stop.reason == SimEnd::SafetyLimit ? 3 : 0;
    }
    result.frameCalls = platform.FrameCalls();
    result.runsCompleted = platform.RunsCompleted();
    result.failedSaves = platform.FailedSaves();
    if (result.failedSaves > 0 && result.exitCode == 0) result.exitCode = kExitSaveFailed;
    result.failedHistoryWrites = failedHistoryWrites;
    if (failedHistoryWrites > 0 && result.exitCode == 0) result.exitCode = kExitHistoryFailed;
    result.outputError = outputs.Finish();
    if (!result.outputError.empty()) result.exitCode = kExitOutputFailed;
    return result;
}

}  // namespace kelo
