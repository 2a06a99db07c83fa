#pragma once
// The headless platform: a virtual millisecond clock, scripted key events, sound
// commands passed to a listener, frames passed to a listener, no window and no lock.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/Game.h"
#include "platform/Platform.h"
#include "platform/common/MessageCatalogue.h"
#include "platform/common/HistoryWriter.h"
#include "platform/common/RecordStore.h"
#include "platform/sim/SimBot.h"
#include "platform/sim/SimScript.h"

namespace kelo {

enum class SimEnd { GameEnded, FrameLimit, RunLimit, SafetyLimit, Stalled };

// Thrown from inside the game's calls to stop the simulation where it stands; the
// runner catches it. Nothing of the game runs after it (no close handling, no saving).
struct SimStop {
    SimEnd reason;
    std::string message;
};

struct SimPlatformSettings {
    uint32_t clockStart = 100000;
    uint32_t frameCost = 0;
    std::optional<int64_t> frameLimit;  // stop at call frameLimit + 1 of WaitFrame
    int64_t safetyFrameLimit = 0;       // used when there is no frameLimit
    std::optional<int> runLimit;
    uint32_t seed = 1;
    std::string recordsDir = ".";
    MessageCatalogue catalogue;  // empty: the original texts
};

class SimPlatform : public Platform {
public:
    SimPlatform(SimPlatformSettings settings, const std::vector<ScriptEvent>& script, TextRenderer& text);

    // The game whose screens the platform watches (runs, the bot). Set before Form_Load.
    void Attach(const Game& game) { game_ = &game; }
    void SetBot(std::optional<SimBot> bot) { bot_ = std::move(bot); }
    std::function<void(const Image& frame)> onPresent;
    std::function<void(std::string_view command)> onSound;

    int64_t FrameCalls() const { return frameCalls_; }
    int RunsCompleted() const { return runsCompleted_; }
    // Saves of the record file that failed; each was said in one line on stderr.
    int FailedSaves() const { return failedSaves_; }
    // The folder the record file is saved to (--records-dir).
    const std::filesystem::path& RecordFolder() const { return records_.MainFolder(); }

    uint32_t Now() override;
    void OnFrameWaitBegin() override;
    void Sleep(uint32_t ms) override { clock_ += ms; }
    void Yield(EventSink& sink, YieldKind kind) override;
    void Present(const Image& frame, FrameKind kind) override;
    void SendSound(std::string_view command) override;
    bool OtherInstanceRunning() override { return false; }
    uint32_t RandomSeed() override { return settings_.seed; }
    TextRenderer& Text() override { return text_; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override;
    bool WriteRecordFile(const std::vector<uint8_t>& bytes) override;
    bool SaveRecordFile(RecordSaver& saver) override;
    std::string_view Translate(std::string_view original) override { return settings_.catalogue.Translate(original); }

    // Where finished runs go; none by default. The writer must outlive the game.
    void SetHistory(HistoryWriter* history) { history_ = history; }
    // The virtual clock's time since its start, counted from 2026-01-01 00:00 UTC, in UTC.
    WallTime WallClock() override;
    std::string KeyboardLayoutName() override { return "us"; }
    void SaveRunHistory(const RunHistory& run) override;
    ProgressAggregate ReadProgress(const ProgressQuery& query) override;

private:
    bool SaidFailure(bool saved);
    void DeliverUpTo(EventSink& sink, int64_t frame);
    void DeliverNextPendingFrame(EventSink& sink);
    void Deliver(EventSink& sink, const ScriptEvent& event);
    void LetBotPlay(EventSink& sink);
    void NoteScreen();
    void ChargeDrawingCost();

    SimPlatformSettings settings_;
    TextRenderer& text_;
    // The --records-dir folder only: the simulator never falls back to the user's data.
    RecordStore records_;
    std::multimap<int64_t, ScriptEvent> pending_;
    const Game* game_ = nullptr;
    std::optional<SimBot> bot_;
    uint32_t clock_;
    int64_t frameCalls_ = 0;
    int runsCompleted_ = 0;
    int failedSaves_ = 0;
    int emptyKeyWaits_ = 0;
    // A frame's drawing time is charged on the first clock reading after its frame wait
    // (so a run measures it inside the frame) or, failing that, when it is presented.
    bool drawingCostDue_ = false;
    Screen lastScreen_ = Screen::None;
    HistoryWriter* history_ = nullptr;
    uint32_t wallClockBase_ = 0;
};

}  // namespace kelo
