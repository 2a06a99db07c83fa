#include "platform/sim/SimPlatform.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace kelo {

namespace {
constexpr const char* kRecordFileName = "kelodt.hsc";
}

SimPlatform::SimPlatform(SimPlatformSettings settings, const std::vector<ScriptEvent>& script, TextRenderer& text)
    : settings_(std::move(settings)), text_(text), clock_(settings_.clockStart) {
    for (const ScriptEvent& event : script) pending_.emplace(event.frame, event);
}

void SimPlatform::OnFrameWaitBegin() {
    NoteScreen();
    if (settings_.frameLimit && frameCalls_ >= *settings_.frameLimit)
        throw SimStop{SimEnd::FrameLimit, ""};
    if (!settings_.frameLimit && frameCalls_ >= settings_.safetyFrameLimit)
        throw SimStop{SimEnd::SafetyLimit, "stopped at the safety limit of " + std::to_string(frameCalls_) +
                                               " frames (use --frames for longer simulations)"};
    ++frameCalls_;
}

void SimPlatform::Yield(EventSink& sink, YieldKind kind) {
    NoteScreen();
    switch (kind) {
        case YieldKind::FrameWait:
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

// A key wait passes no frame, so only an event brought forward can end it.
void SimPlatform::DeliverNextPendingFrame(EventSink& sink) {
    if (pending_.empty())
        throw SimStop{SimEnd::Stalled, "frame " + std::to_string(frameCalls_) +
                                           ": the game waits for a key to change and no event is left"};
    DeliverUpTo(sink, pending_.begin()->first);
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

void SimPlatform::Present(const Image& frame) {
    NoteScreen();
    if (onPresent) onPresent(frame);
    clock_ += settings_.frameCost;
}

void SimPlatform::SendSound(std::string_view command) {
    NoteScreen();
    if (onSound) onSound(command);
}

std::optional<std::vector<uint8_t>> SimPlatform::ReadRecordFile() {
    std::ifstream in(std::filesystem::path(settings_.recordsDir) / kRecordFileName, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SimPlatform::WriteRecordFile(const std::vector<uint8_t>& bytes) {
    namespace fs = std::filesystem;
    const fs::path target = fs::path(settings_.recordsDir) / kRecordFileName;
    const fs::path temporary = fs::path(settings_.recordsDir) / (std::string(kRecordFileName) + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) return false;
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    return !error;
}

}  // namespace kelo
