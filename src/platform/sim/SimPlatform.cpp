#include "platform/sim/SimPlatform.h"

#include <cstdio>

namespace kelo {

SimPlatform::SimPlatform(SimPlatformSettings settings, const std::vector<ScriptEvent>& script, TextRenderer& text)
    : settings_(std::move(settings)), text_(text), records_(settings_.recordsDir), clock_(settings_.clockStart) {
    for (const ScriptEvent& event : script) pending_.emplace(event.frame, event);
    records_.notice = [](const std::string& line) { std::fprintf(stderr, "kelo-sim: %s\n", line.c_str()); };
}

uint32_t SimPlatform::Now() {
    ChargeDrawingCost();
    return clock_;
}

void SimPlatform::ChargeDrawingCost() {
    if (!drawingCostDue_) return;
    drawingCostDue_ = false;
    clock_ += settings_.frameCost;
}

void SimPlatform::OnFrameWaitBegin() {
    // A wait that no presented frame followed (a pause) drew nothing.
    drawingCostDue_ = false;
    NoteScreen();
    if (settings_.frameLimit && frameCalls_ >= *settings_.frameLimit) throw SimStop{SimEnd::FrameLimit, ""};
    if (!settings_.frameLimit && frameCalls_ >= settings_.safetyFrameLimit)
        throw SimStop{SimEnd::SafetyLimit, "stopped at the safety limit of " + std::to_string(frameCalls_) +
                                               " frames (use --frames for longer simulations)"};
    ++frameCalls_;
}

void SimPlatform::Yield(EventSink& sink, YieldKind kind) {
    NoteScreen();
    if (kind != YieldKind::KeyWait) emptyKeyWaits_ = 0;
    switch (kind) {
        case YieldKind::FrameWait:
            drawingCostDue_ = true;
            DeliverUpTo(sink, frameCalls_);
            LetBotPlay(sink);
            break;
        case YieldKind::KeyWait: DeliverNextPendingFrame(sink); break;
        case YieldKind::Extra: break;
    }
}

void SimPlatform::DeliverUpTo(EventSink& sink, int64_t frame) {
    while (!pending_.empty() && pending_.begin()->first <= frame) {
        ScriptEvent event = pending_.begin()->second;
        pending_.erase(pending_.begin());
        Deliver(sink, event);
    }
}

// A key wait passes no frame, so only an event brought forward can end it. A key that
// went down and up since the last query reads as pressed once more, so the wait is
// given up only at its second empty yield in a row.
void SimPlatform::DeliverNextPendingFrame(EventSink& sink) {
    if (!pending_.empty()) {
        emptyKeyWaits_ = 0;
        DeliverUpTo(sink, pending_.begin()->first);
        return;
    }
    if (++emptyKeyWaits_ >= 2)
        throw SimStop{SimEnd::Stalled, "frame " + std::to_string(frameCalls_) +
                                           ": the game waits for a key to change and no event is left"};
}

void SimPlatform::Deliver(EventSink& sink, const ScriptEvent& event) {
    switch (event.kind) {
        case ScriptEvent::Kind::Down: sink.OnKeyDown(event.vk); break;
        case ScriptEvent::Kind::Up: sink.OnKeyUp(event.vk); break;
        case ScriptEvent::Kind::Close: sink.OnCloseRequest(); break;
    }
}

void SimPlatform::LetBotPlay(EventSink& sink) {
    if (!bot_ || !game_) return;
    std::optional<int> key = bot_->ChooseTap(*game_, clock_);
    if (!key) return;
    sink.OnKeyDown(*key);
    pending_.emplace(frameCalls_ + 1, ScriptEvent{frameCalls_ + 1, ScriptEvent::Kind::Up, *key});
}

// A run has been left when the dispatcher moves from the run to course select.
void SimPlatform::NoteScreen() {
    if (!game_) return;
    Screen now = game_->screen;
    if (lastScreen_ == Screen::Run && now == Screen::Select) {
        ++runsCompleted_;
        if (settings_.runLimit && runsCompleted_ >= *settings_.runLimit) {
            lastScreen_ = now;
            throw SimStop{SimEnd::RunLimit, ""};
        }
    }
    lastScreen_ = now;
}

void SimPlatform::Present(const Image& frame, FrameKind) {
    NoteScreen();
    ChargeDrawingCost();
    if (onPresent) onPresent(frame);
}

void SimPlatform::SendSound(std::string_view command) {
    NoteScreen();
    if (onSound) onSound(command);
}

std::optional<std::vector<uint8_t>> SimPlatform::ReadRecordFile() { return records_.Read(); }

bool SimPlatform::WriteRecordFile(const std::vector<uint8_t>& bytes) { return SaidFailure(records_.Write(bytes)); }

bool SimPlatform::SaveRecordFile(RecordSaver& saver) { return SaidFailure(records_.Save(saver)); }

bool SimPlatform::SaidFailure(bool saved) {
    if (saved) return true;
    ++failedSaves_;
    std::fprintf(stderr, "kelo-sim: frame %lld: %s\n", static_cast<long long>(frameCalls_),
                 records_.LastError().c_str());
    return false;
}

}  // namespace kelo

namespace kelo {

namespace {
constexpr int64_t kSimWallClockEpochMs = 1767225600000;  // 2026-01-01 00:00 UTC
}

// Reads the clock without charging a frame's drawing cost, so that keeping a history
// moves the virtual clock exactly as playing without one.
WallTime SimPlatform::WallClock() {
    return {kSimWallClockEpochMs + static_cast<uint32_t>(clock_ - settings_.clockStart), 0};
}

void SimPlatform::SaveRunHistory(const RunHistory& run) {
    if (history_) history_->Submit(run);
}

ProgressAggregate SimPlatform::ReadProgress(const ProgressQuery& query) {
    return history_ ? history_->ReadProgress(query) : ProgressAggregate{};
}

}  // namespace kelo
