#include "platform/common/ReplayPlatforms.h"

#include <cstdio>
#include <random>

#include "GameLoop.h"
#include "run/PlayRun.h"

namespace kelo {

namespace {

const char* TagName(ReplayTag tag) {
    switch (tag) {
        case ReplayTag::FrameWaitBegin: return "a frame wait";
        case ReplayTag::Now: return "the clock";
        case ReplayTag::Sleep: return "a sleep";
        case ReplayTag::YieldBegin: return "a yield";
        case ReplayTag::KeyDown: return "a key going down";
        case ReplayTag::KeyUp: return "a key going up";
        case ReplayTag::CloseRequest: return "a close request";
        case ReplayTag::YieldEnd: return "the end of a yield";
        case ReplayTag::PresentNew: return "a new frame";
        case ReplayTag::PresentRepeated: return "a repeated frame";
        case ReplayTag::Sound: return "a sound command";
        case ReplayTag::OtherInstance: return "the other-copy check";
        case ReplayTag::ShowWindow: return "showing the window";
        case ReplayTag::RandomSeed: return "the random seed";
        case ReplayTag::ReadRecords: return "a record file read";
        case ReplayTag::WriteRecords: return "a record file write";
        case ReplayTag::SaveBegin: return "a record save";
        case ReplayTag::SaveMerge: return "a record save's merge";
        case ReplayTag::SaveEnd: return "the end of a record save";
        case ReplayTag::Translate: return "a translation";
        case ReplayTag::WallClock: return "the wall clock";
        case ReplayTag::LayoutName: return "the layout name";
        case ReplayTag::SaveRunHistory: return "a run history save";
        case ReplayTag::ReadProgress: return "the progress figures";
        case ReplayTag::TypedKeyLayout: return "the key layout";
        case ReplayTag::SegmentEnd: return "a run's start";
        case ReplayTag::SessionEnd: return "the session's end";
        case ReplayTag::SessionCut: return "the recording's cut";
    }
    return "an unknown record";
}

}  // namespace

std::string NewReplaySessionKey(int64_t startUnixMs) {
    std::random_device device;
    char key[48];
    std::snprintf(key, sizeof key, "%lld-%08x%08x", static_cast<long long>(startUnixMs), device(), device());
    return key;
}

// ---- Recording ----

class RecordingPlatform::Sink : public EventSink {
public:
    Sink(RecordingPlatform& r, EventSink& game) : r_(r), game_(game) {}
    void OnKeyDown(int vk) override {
        r_.out_.Tag(ReplayTag::KeyDown);
        r_.out_.SVar(vk);
        game_.OnKeyDown(vk);
    }
    void OnKeyUp(int vk) override {
        r_.out_.Tag(ReplayTag::KeyUp);
        r_.out_.SVar(vk);
        game_.OnKeyUp(vk);
    }
    void OnCloseRequest() override {
        r_.out_.Tag(ReplayTag::CloseRequest);
        game_.OnCloseRequest();
    }
    bool TakesZoomKeys() const override { return game_.TakesZoomKeys(); }

private:
    RecordingPlatform& r_;
    EventSink& game_;
};

class RecordingPlatform::Saver : public RecordSaver {
public:
    Saver(RecordingPlatform& r, RecordSaver& game) : r_(r), game_(game) {}
    std::vector<uint8_t> Merge(const std::optional<std::vector<uint8_t>>& current) override {
        r_.out_.Tag(ReplayTag::SaveMerge);
        r_.out_.OptionalBlob(current);
        return game_.Merge(current);
    }
    std::optional<std::string> Damage(const std::vector<uint8_t>& bytes) const override { return game_.Damage(bytes); }

private:
    RecordingPlatform& r_;
    RecordSaver& game_;
};

RecordingPlatform::RecordingPlatform(Platform& inner, std::string gameVersion, std::string sessionKey,
                                     int64_t startUnixMs, SegmentSink sink)
    : inner_(inner),
      gameVersion_(std::move(gameVersion)),
      sessionKey_(std::move(sessionKey)),
      startUnixMs_(startUnixMs),
      sink_(std::move(sink)) {}

void RecordingPlatform::BeginSession(Game& game, Screen firstScreen) {
    game.screenWatcher = this;
    ReplaySegmentHeader header;
    header.gameVersion = gameVersion_;
    header.start = ReplaySessionStart{firstScreen, game.state.courseIndex, game.state.difficulty};
    StartSegment(header);
}

void RecordingPlatform::StartSegment(const ReplaySegmentHeader& header) {
    out_.bytes.clear();
    WriteSegmentHeader(out_, header);
    lastClock_ = 0;
    translated_.clear();
    open_ = true;
}

void RecordingPlatform::FinishSegment(ReplayTag end, bool last) {
    if (!open_) return;
    out_.Tag(end);
    open_ = false;
    recorded_ += out_.bytes.size();
    ReplaySegmentData data{sessionKey_, startUnixMs_, gameVersion_, segment_, std::move(out_.bytes), last};
    out_.bytes = {};
    if (sink_) sink_(std::move(data));
}

void RecordingPlatform::EndSession(bool finished) {
    FinishSegment(finished ? ReplayTag::SessionEnd : ReplayTag::SessionCut, true);
}

void RecordingPlatform::OnScreenOpening(const Game& game, Screen screen) {
    const bool afterRun = lastScreen_ == Screen::Run;
    lastScreen_ = screen;
    if (!open_) return;
    if (screen != Screen::Run) {
        // The run that just handed over is whole in the segment so far: keep a copy now, so
        // that it can be watched while the session goes on and survives a crash.
        if (afterRun && sink_)
            sink_({sessionKey_, startUnixMs_, gameVersion_, segment_, out_.bytes, false});
        return;
    }
    FinishSegment(ReplayTag::SegmentEnd, false);
    ++segment_;
    ReplaySegmentHeader header;
    header.gameVersion = gameVersion_;
    header.index = segment_;
    header.frameCalls = frameCalls_;
    // Encoded here rather than copied for later: a copy of the star planes would stay
    // resident for the whole run (about 8 MiB), the encoding is a few tens of KiB.
    header.snapshot = EncodeSnapshot(game);
    StartSegment(header);
}

uint32_t RecordingPlatform::Now() {
    const uint32_t now = inner_.Now();
    out_.Tag(ReplayTag::Now);
    out_.SVar(static_cast<int32_t>(now - lastClock_));
    lastClock_ = now;
    return now;
}

void RecordingPlatform::OnFrameWaitBegin() {
    inner_.OnFrameWaitBegin();
    out_.Tag(ReplayTag::FrameWaitBegin);
    ++frameCalls_;
}

void RecordingPlatform::Sleep(uint32_t ms) {
    inner_.Sleep(ms);
    out_.Tag(ReplayTag::Sleep);
    out_.Var(ms);
}

void RecordingPlatform::Yield(EventSink& sink, YieldKind kind) {
    out_.Tag(ReplayTag::YieldBegin);
    out_.Byte(static_cast<uint8_t>(kind));
    Sink recording(*this, sink);
    inner_.Yield(recording, kind);
    out_.Tag(ReplayTag::YieldEnd);
}

void RecordingPlatform::Present(const Image& frame, FrameKind kind) {
    inner_.Present(frame, kind);
    out_.Tag(kind == FrameKind::New ? ReplayTag::PresentNew : ReplayTag::PresentRepeated);
}

void RecordingPlatform::SendSound(std::string_view command) {
    inner_.SendSound(command);
    out_.Tag(ReplayTag::Sound);
}

bool RecordingPlatform::OtherInstanceRunning() {
    const bool running = inner_.OtherInstanceRunning();
    out_.Tag(ReplayTag::OtherInstance);
    out_.Byte(running ? 1 : 0);
    return running;
}

void RecordingPlatform::ShowWindow() {
    inner_.ShowWindow();
    out_.Tag(ReplayTag::ShowWindow);
}

uint32_t RecordingPlatform::RandomSeed() {
    const uint32_t seed = inner_.RandomSeed();
    out_.Tag(ReplayTag::RandomSeed);
    out_.Var(seed);
    return seed;
}

std::optional<std::vector<uint8_t>> RecordingPlatform::ReadRecordFile() {
    std::optional<std::vector<uint8_t>> bytes = inner_.ReadRecordFile();
    out_.Tag(ReplayTag::ReadRecords);
    out_.OptionalBlob(bytes);
    return bytes;
}

bool RecordingPlatform::WriteRecordFile(const std::vector<uint8_t>& bytes) {
    const bool written = inner_.WriteRecordFile(bytes);
    out_.Tag(ReplayTag::WriteRecords);
    out_.Byte(written ? 1 : 0);
    return written;
}

bool RecordingPlatform::SaveRecordFile(RecordSaver& saver) {
    out_.Tag(ReplayTag::SaveBegin);
    Saver recording(*this, saver);
    const bool saved = inner_.SaveRecordFile(recording);
    out_.Tag(ReplayTag::SaveEnd);
    out_.Byte(saved ? 1 : 0);
    return saved;
}

std::string_view RecordingPlatform::Translate(std::string_view original) {
    const std::string_view answer = inner_.Translate(original);
    if (translated_.find(original) == translated_.end()) {
        translated_.emplace(original);
        out_.Tag(ReplayTag::Translate);
        out_.Str(original);
        out_.Str(answer);
    }
    return answer;
}

WallTime RecordingPlatform::WallClock() {
    const WallTime time = inner_.WallClock();
    out_.Tag(ReplayTag::WallClock);
    out_.SVar(time.unixMs);
    out_.SVar(time.utcOffsetMinutes);
    return time;
}

std::string RecordingPlatform::KeyboardLayoutName() {
    std::string name = inner_.KeyboardLayoutName();
    out_.Tag(ReplayTag::LayoutName);
    out_.Str(name);
    return name;
}

void RecordingPlatform::SaveRunHistory(const RunHistory& run) {
    RunHistory linked = run;
    linked.replaySession = sessionKey_;
    linked.replaySegment = segment_;
    inner_.SaveRunHistory(linked);
    out_.Tag(ReplayTag::SaveRunHistory);
}

ProgressAggregate RecordingPlatform::ReadProgress(const ProgressQuery& query) {
    ProgressAggregate progress = inner_.ReadProgress(query);
    out_.Tag(ReplayTag::ReadProgress);
    WriteProgress(out_, progress);
    return progress;
}

KeyLayout RecordingPlatform::TypedKeyLayout() {
    const KeyLayout layout = inner_.TypedKeyLayout();
    out_.Tag(ReplayTag::TypedKeyLayout);
    for (const KeyPlace& place : layout) {
        out_.Byte(static_cast<uint8_t>(place.row));
        out_.SVar(place.quarterColumn);
    }
    return layout;
}

// ---- Replay ----

ReplayPlatform::ReplayPlatform(ReplaySource source, Platform& inner, std::string_view gameVersion)
    : source_(std::move(source)), inner_(inner), gameVersion_(gameVersion) {
    if (source_.segments.empty()) throw ReplayError(ReplayFault::Refused, "the recording is empty");
    EnterSegment(0);
    if (source_.fromRunStart == header_.start.has_value())
        throw ReplayError(ReplayFault::Refused, source_.fromRunStart ? "the recording does not start at a run"
                                                                     : "the recording does not start at start-up");
    frameCalls_ = header_.frameCalls;
}

void ReplayPlatform::EnterSegment(size_t index) {
    segment_ = index;
    in_ = std::make_unique<ReplayReader>(source_.segments[index]);
    ReplaySegmentHeader header = ReadSegmentHeader(*in_, gameVersion_);
    if (index == 0) {
        header_ = std::move(header);
    } else if (header.index != header_.index + index) {
        ReplayReader::Damaged("a segment of the session is missing");
    } else if (header.start) {
        ReplayReader::Damaged("a later segment starts the session again");
    } else {
        snapshot_ = std::move(header.snapshot);
    }
    in_->EndMeansRunningOut();
    current_.clear();
    lastClock_ = 0;
}

void ReplayPlatform::Diverged(const std::string& what) const {
    throw ReplayError(ReplayFault::Diverged, "frame " + std::to_string(frameCalls_) + ": " + what);
}

ReplayTag ReplayPlatform::Next(const char* call) {
    if (in_->AtEnd()) Diverged(std::string("the recording runs out where the game asks for ") + call);
    const auto tag = static_cast<ReplayTag>(in_->Byte());
    if (tag == ReplayTag::SessionCut) {
        cut_ = true;
        throw Stop{};
    }
    return tag;
}

void ReplayPlatform::Expect(ReplayTag tag, const char* call) {
    const ReplayTag got = Next(call);
    if (got != tag) Diverged(std::string("the game asks for ") + call + ", the recording holds " + TagName(got));
}

void ReplayPlatform::OnScreenOpening(const Game& game, Screen screen) {
    if (screen != Screen::Run) return;
    Expect(ReplayTag::SegmentEnd, TagName(ReplayTag::SegmentEnd));
    if (segment_ + 1 >= source_.segments.size()) Diverged("the recording runs out at a run's start");
    EnterSegment(segment_ + 1);
    if (EncodeSnapshot(game) != snapshot_)
        Diverged("the game at the run's start differs from the recording's snapshot");
}

void ReplayPlatform::Play(Game& game) {
    game.screenWatcher = this;
    if (!game.runObserver) game.runObserver = &runRecorder_;
    try {
        if (header_.start) {
            game.state.courseIndex = header_.start->courseIndex;
            game.state.difficulty = header_.start->difficulty;
            PlayGame(game, header_.start->firstScreen);
            const ReplayTag end = Next("the game's end");
            if (end != ReplayTag::SessionEnd)
                Diverged(std::string("the game ends where the recording holds ") + TagName(end));
        } else {
            RestoreSnapshot(game, header_.snapshot);
            game.screen = Screen::Run;
            PlayRun(game);
        }
    } catch (const Stop&) {
    }
    game.screenWatcher = nullptr;
}

uint32_t ReplayPlatform::Now() {
    Expect(ReplayTag::Now, "the clock");
    lastClock_ += static_cast<uint32_t>(static_cast<int32_t>(in_->SVar()));
    return lastClock_;
}

void ReplayPlatform::OnFrameWaitBegin() {
    Expect(ReplayTag::FrameWaitBegin, "a frame wait");
    ++frameCalls_;
}

void ReplayPlatform::Sleep(uint32_t ms) {
    Expect(ReplayTag::Sleep, "a sleep");
    if (in_->Var() != ms) Diverged("the game sleeps for another time than recorded");
    if (forwardSleeps) inner_.Sleep(ms);
}

void ReplayPlatform::Yield(EventSink& sink, YieldKind kind) {
    if (liveSink) inner_.Yield(*liveSink, kind);
    Expect(ReplayTag::YieldBegin, "a yield");
    if (in_->Byte() != static_cast<uint8_t>(kind)) Diverged("the game yields for another reason than recorded");
    for (;;) {
        const ReplayTag tag = Next("a yield's events");
        switch (tag) {
            case ReplayTag::KeyDown: sink.OnKeyDown(static_cast<int>(in_->SVar())); break;
            case ReplayTag::KeyUp: sink.OnKeyUp(static_cast<int>(in_->SVar())); break;
            case ReplayTag::CloseRequest: sink.OnCloseRequest(); break;
            case ReplayTag::YieldEnd: return;
            default: Diverged(std::string("a yield's events hold ") + TagName(tag));
        }
    }
}

void ReplayPlatform::Present(const Image& frame, FrameKind kind) {
    Expect(kind == FrameKind::New ? ReplayTag::PresentNew : ReplayTag::PresentRepeated,
           kind == FrameKind::New ? "a new frame" : "a repeated frame");
    inner_.Present(frame, kind);
}

void ReplayPlatform::SendSound(std::string_view command) {
    Expect(ReplayTag::Sound, "a sound command");
    inner_.SendSound(command);
}

bool ReplayPlatform::OtherInstanceRunning() {
    Expect(ReplayTag::OtherInstance, "the other-copy check");
    return in_->Byte() != 0;
}

void ReplayPlatform::ShowWindow() {
    Expect(ReplayTag::ShowWindow, "showing the window");
    inner_.ShowWindow();
}

uint32_t ReplayPlatform::RandomSeed() {
    Expect(ReplayTag::RandomSeed, "the random seed");
    return static_cast<uint32_t>(in_->Var());
}

std::optional<std::vector<uint8_t>> ReplayPlatform::ReadRecordFile() {
    Expect(ReplayTag::ReadRecords, "a record file read");
    return in_->OptionalBlob();
}

bool ReplayPlatform::WriteRecordFile(const std::vector<uint8_t>& bytes) {
    Expect(ReplayTag::WriteRecords, "a record file write");
    const bool written = in_->Byte() != 0;
    if (forwardRecordWrites) inner_.WriteRecordFile(bytes);
    return written;
}

bool ReplayPlatform::SaveRecordFile(RecordSaver& saver) {
    Expect(ReplayTag::SaveBegin, "a record save");
    ReplayTag tag = Next("a record save");
    if (tag == ReplayTag::SaveMerge) {
        const std::optional<std::vector<uint8_t>> current = in_->OptionalBlob();
        const std::vector<uint8_t> bytes = saver.Merge(current);
        if (forwardRecordWrites) inner_.WriteRecordFile(bytes);
        tag = Next("a record save");
    }
    if (tag != ReplayTag::SaveEnd) Diverged(std::string("a record save holds ") + TagName(tag));
    return in_->Byte() != 0;
}

std::string_view ReplayPlatform::Translate(std::string_view original) {
    if (const auto found = current_.find(original); found != current_.end()) return found->second;
    Expect(ReplayTag::Translate, "a translation");
    const std::string asked = in_->Str();
    if (asked != original) Diverged("the game asks for another text's translation than recorded");
    const std::string_view answer = *answers_.insert(in_->Str()).first;
    current_.emplace(asked, answer);
    return answer;
}

WallTime ReplayPlatform::WallClock() {
    Expect(ReplayTag::WallClock, "the wall clock");
    WallTime time;
    time.unixMs = in_->SVar();
    time.utcOffsetMinutes = static_cast<int32_t>(in_->SVar());
    return time;
}

std::string ReplayPlatform::KeyboardLayoutName() {
    Expect(ReplayTag::LayoutName, "the layout name");
    return in_->Str();
}

void ReplayPlatform::SaveRunHistory(const RunHistory& run) {
    Expect(ReplayTag::SaveRunHistory, "a run history save");
    if (forwardRunHistory) inner_.SaveRunHistory(run);
}

ProgressAggregate ReplayPlatform::ReadProgress(const ProgressQuery&) {
    Expect(ReplayTag::ReadProgress, "the progress figures");
    return ReadProgressAnswer(*in_);
}

KeyLayout ReplayPlatform::TypedKeyLayout() {
    Expect(ReplayTag::TypedKeyLayout, "the key layout");
    KeyLayout layout{};
    for (KeyPlace& place : layout) {
        place.row = static_cast<int8_t>(in_->Byte());
        place.quarterColumn = static_cast<int16_t>(in_->SVar());
    }
    return layout;
}

}  // namespace kelo
