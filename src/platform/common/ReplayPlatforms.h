#pragma once
// Changed: the original keeps nothing of a play session; these two platforms record one
// and play it again.
//
// RecordingPlatform wraps the platform a game runs on: it forwards every call and keeps
// every answer (ReplayFormat.h), cutting the recording into segments at each run's start,
// where it also keeps a snapshot of the game. It never changes an answer or an output.
// Every Platform method must be overridden here, or a wrapped game would get the
// interface's default instead of the real platform's answer.
//
// ReplayPlatform answers from a recording and forwards the outputs (frames, sound
// commands, record file writes) to an inner platform. A call that is not the one the
// recording holds next, or a recording that runs out, throws ReplayError (Diverged).
//
//   RecordingPlatform recording(platform, KELO_VERSION, NewReplaySessionKey(startMs), startMs,
//                               [&](ReplaySegmentData s) { writer.SubmitReplay(std::move(s)); });
//   Game game(recording);
//   recording.BeginSession(game, Screen::Title);  // sets game.screenWatcher
//   PlayGame(game);
//   recording.EndSession(true);
//
//   std::optional<ReplaySource> source = HistoryStore(file).ReadRunReplay(runId);
//   ReplayPlatform replay(std::move(*source), outputs, KELO_VERSION);  // throws ReplayError
//   Game watched(replay);
//   replay.Play(watched);  // throws ReplayError (Diverged) when it disagrees

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "history/RunRecorder.h"
#include "platform/Platform.h"
#include "platform/common/ReplayFormat.h"

namespace kelo {

// One finished segment, uncompressed, for the history to keep.
struct ReplaySegmentData {
    std::string sessionKey;
    int64_t sessionStartUnixMs = 0;
    std::string gameVersion;
    uint32_t index = 0;
    std::vector<uint8_t> bytes;
    bool last = false;  // the session ended (or was cut) in it
};

// A session's name in the history: its wall-clock start and a random part.
std::string NewReplaySessionKey(int64_t startUnixMs);

class RecordingPlatform : public Platform, public ScreenWatcher {
public:
    using SegmentSink = std::function<void(ReplaySegmentData)>;
    // `sink` receives each segment as it ends: at the next run's start, and at the end;
    // and a copy of it so far as each run hands over to the next screen.
    RecordingPlatform(Platform& inner, std::string gameVersion, std::string sessionKey, int64_t startUnixMs,
                      SegmentSink sink);

    // Before PlayGame: the first screen and the course chosen so far. Installs itself as
    // the game's screen watcher.
    void BeginSession(Game& game, Screen firstScreen);
    // After PlayGame returned (`finished`) or was stopped by the simulator's limit.
    void EndSession(bool finished);
    // The session key and the index of the segment now being recorded: a run's history
    // is linked to them.
    const std::string& SessionKey() const { return sessionKey_; }
    uint32_t SegmentIndex() const { return segment_; }
    size_t RecordedBytes() const { return recorded_ + out_.bytes.size(); }

    void OnScreenOpening(const Game& game, Screen screen) override;

    uint32_t Now() override;
    void OnFrameWaitBegin() override;
    void Sleep(uint32_t ms) override;
    void Yield(EventSink& sink, YieldKind kind) override;
    void Present(const Image& frame, FrameKind kind) override;
    void SendSound(std::string_view command) override;
    bool OtherInstanceRunning() override;
    void ShowWindow() override;
    uint32_t RandomSeed() override;
    TextRenderer& Text() override { return inner_.Text(); }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override;
    bool WriteRecordFile(const std::vector<uint8_t>& bytes) override;
    bool SaveRecordFile(RecordSaver& saver) override;
    std::string_view Translate(std::string_view original) override;
    WallTime WallClock() override;
    std::string KeyboardLayoutName() override;
    // Forwards the run tagged with this session and segment (RunHistory::replaySession).
    void SaveRunHistory(const RunHistory& run) override;
    ProgressAggregate ReadProgress(const ProgressQuery& query) override;
    KeyLayout TypedKeyLayout() override;
    // Forwarded, not recorded: the watched run plays beside the game, which learns
    // nothing from it.
    void WatchBestRun(int course, Difficulty difficulty) override { inner_.WatchBestRun(course, difficulty); }

private:
    class Sink;
    class Saver;
    void StartSegment(const ReplaySegmentHeader& header);
    void FinishSegment(ReplayTag end, bool last);

    Platform& inner_;
    std::string gameVersion_;
    std::string sessionKey_;
    int64_t startUnixMs_;
    SegmentSink sink_;
    ReplayWriter out_;
    uint32_t segment_ = 0;
    uint32_t lastClock_ = 0;
    int64_t frameCalls_ = 0;
    size_t recorded_ = 0;
    bool open_ = false;
    Screen lastScreen_ = Screen::None;
    std::set<std::string, std::less<>> translated_;  // asked in this segment
};

// What a replay plays: the segments of one session in order, from its start or from a
// run's start.
struct ReplaySource {
    std::vector<std::vector<uint8_t>> segments;  // uncompressed
    bool fromRunStart = false;
};

class ReplayPlatform : public Platform, public ScreenWatcher {
public:
    // Reads the first segment's header. Throws ReplayError (Refused) for another game
    // version (unless `gameVersion` is empty) or damaged bytes.
    ReplayPlatform(ReplaySource source, Platform& inner, std::string_view gameVersion);

    // Also sleep on the inner platform as the recording's game slept, for a replay at
    // the recorded speed.
    bool forwardSleeps = false;
    // When set, every yield also lets the inner platform deliver its own events, to this
    // sink and not to the game (the watcher's keys while a replay plays in a window).
    EventSink* liveSink = nullptr;
    // Write the record file through the inner platform as the recording's game wrote it.
    bool forwardRecordWrites = true;
    // Hand each replayed run to the inner platform's history, as the recording's game
    // saved it (a history other than the one the recording came from).
    bool forwardRunHistory = false;

    // Plays the recording on `game`, a game made on this platform: the whole session
    // from start-up, or the run from its snapshot to the moment it hands over. Returns
    // normally at the recording's end; throws ReplayError when it diverges. A game
    // without a run observer gets one, as every recorded game had (its runs go nowhere).
    void Play(Game& game);

    // Frame waits of the original session so far, and its last clock reading.
    int64_t FrameCalls() const { return frameCalls_; }
    uint32_t LastClock() const { return lastClock_; }
    // Whether Play stopped where the original was cut (a simulator's limit).
    bool Cut() const { return cut_; }

    // A run's start in a whole session: the recording must hold one here, and the game
    // must be as its snapshot.
    void OnScreenOpening(const Game& game, Screen screen) override;

    uint32_t Now() override;
    void OnFrameWaitBegin() override;
    void Sleep(uint32_t ms) override;
    void Yield(EventSink& sink, YieldKind kind) override;
    void Present(const Image& frame, FrameKind kind) override;
    void SendSound(std::string_view command) override;
    bool OtherInstanceRunning() override;
    void ShowWindow() override;
    uint32_t RandomSeed() override;
    TextRenderer& Text() override { return inner_.Text(); }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override;
    bool WriteRecordFile(const std::vector<uint8_t>& bytes) override;
    bool SaveRecordFile(RecordSaver& saver) override;
    std::string_view Translate(std::string_view original) override;
    WallTime WallClock() override;
    std::string KeyboardLayoutName() override;
    // Passed on only with forwardRunHistory: a replay keeps no history of its own.
    void SaveRunHistory(const RunHistory& run) override;
    ProgressAggregate ReadProgress(const ProgressQuery& query) override;
    KeyLayout TypedKeyLayout() override;
    // Nothing is watched in a replay: the original game learnt nothing from its watching.
    void WatchBestRun(int, Difficulty) override {}

private:
    struct Stop {};  // the recording's end: unwinds the game
    // The next record's tag, crossing into the next segment where one ends. Throws Stop
    // at the session's end or cut, ReplayError when nothing is left.
    ReplayTag Next(const char* call);
    void Expect(ReplayTag tag, const char* call);
    void EnterSegment(size_t index);
    [[noreturn]] void Diverged(const std::string& what) const;

    ReplaySource source_;
    Platform& inner_;
    std::string gameVersion_;
    ReplaySegmentHeader header_;  // of the first segment played
    size_t segment_ = 0;
    std::unique_ptr<ReplayReader> in_;
    uint32_t lastClock_ = 0;
    int64_t frameCalls_ = 0;
    bool cut_ = false;
    std::vector<uint8_t> snapshot_;  // of the segment entered last
    // The translations asked in this segment; every answer lives as long as the platform.
    std::map<std::string, std::string_view, std::less<>> current_;
    std::set<std::string> answers_;
    RunRecorder runRecorder_;
};

}  // namespace kelo
