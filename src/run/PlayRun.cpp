#include "run/PlayRun.h"

#include <algorithm>

#include "app/Timing.h"
#include "base/Numeric.h"
#include "draw/Helpers.h"
#include "history/RunRecorder.h"
#include "records/Ranking.h"
#include "records/RecordFile.h"
#include "run/Course.h"
#include "run/CourseEvents.h"
#include "run/RunDisplay.h"
#include "run/RunMessages.h"
#include "run/Typing.h"
#include "run/World.h"

namespace kelo {

namespace {

constexpr int32_t kLastGameSecond = 999;
constexpr int16_t kEndTimerMax = 999;
constexpr int16_t kSpaceLeavesFrom = 180;
constexpr int32_t kSlowFrameMs = 38;
constexpr int kFpsGroup = 30;
constexpr uint8_t kCountdownStart = 80;
constexpr uint8_t kCountdownWaiting = 20;
constexpr uint8_t kCurtainUntil = 60;
constexpr uint8_t kExtendFrames = 50;

// Returns false when the window was asked to close meanwhile.
bool StartRun(Game& game) {
    GameState& s = game.state;
    // Keys going down before the first frame are neither hits nor misses; that frame's
    // release test frees the latch, since heldKey 0 never reads as pressed.
    s.keyLatch = KeyLatch::CorrectKeyHeld;
    ResetRun(s);
    s.stageIndex = 0;
    s.distance = 1.0f;
    // Kept: as in the original, the frame rate reads 30000 FPS until the run's first group
    // of 30 frames is complete, and fpsFrames and fpsSum(0) carry on from the last run.
    s.fpsSum[1] = 1;
    FillTargetQueues(game);
    // Changed: the run history watches the run through this observer; the original
    // remembers nothing but the records. Without one (the default) nothing is called.
    if (game.runObserver) game.runObserver->OnRunStart(game, game.run.practice);
    s.countdown = kCountdownStart;
    game.SendSound("play midChime notify from 0");
    // The first wait also clears an Escape press left over from course select. Kept: the
    // original waits twice.
    return game.WaitForKey(vk::Escape, false) && game.WaitForKey(vk::Escape, false);
}

float DecayedSpeed(float speed) {
    if (speed >= 0 && speed <= 2) return std::max(speed - 0.01f, 0.0f);
    return speed - speed / 200;
}

void GoalMoment(Game& game) {
    game.SendSound("play wavGoal notify from 0");
    // Changed: a practice run, which the original does not have, places nothing.
    if (game.run.practice) return;
    InsertRunRecord(game);
    SaveRecords(game);
}

// The stage's time is spent first; a checkpoint needs time left after that.
void FlyClocks(Game& game) {
    GameState& s = game.state;
    int32_t& stageLeft = s.stageTime[s.stageIndex];
    s.countdown = CountDown(s.countdown);
    // Changed: both clocks saturate where the original would overflow; only a replayed
    // run's starting state or its clock answers can take them that far.
    s.elapsedTime = Saturate32(int64_t{s.elapsedTime} + game.run.frameTime);
    stageLeft = std::max(Saturate32(int64_t{stageLeft} - game.run.frameTime), 0);
    // Changed: the original trusts the course table never to put a checkpoint before the
    // goal in the last stage; the guard keeps stageIndex within the four stages regardless.
    const bool lastStage = s.stageIndex + 1 >= kStageCount;
    if (s.distance >= s.checkpointDistance[s.stageIndex] && stageLeft >= 1 && !lastStage) {
        game.SendSound("play wavExtend notify from 0");
        ++s.stageIndex;
        s.stageTime[s.stageIndex] = Saturate32(int64_t{s.stageTime[s.stageIndex]} + s.stageTime[s.stageIndex - 1]);
        s.extendTimer = kExtendFrames;
    }
}

void RaiseEndTimer(Game& game, int by) {
    game.run.endTimer = static_cast<int16_t>(std::min<int>(game.run.endTimer + by, kEndTimerMax));
}

bool RunOngoing(const GameState& s) { return s.distance < s.courseLength && s.stageTime[s.stageIndex] > 0; }

void DrawRunFrame(Game& game) {
    DrawWorld(game);
    for (int hand = 0; hand < 2; ++hand) {
        UpdateLetterColumns(game, hand);
        DrawHitFlashes(game, hand);
    }
    if (RunOngoing(game.state)) {
        DrawRunOverlay(game);
        DrawLetterColumns(game);
        DrawStartMessages(game);
    } else {
        DrawResultPanel(game);
    }
    DrawStageProgress(game);
    DrawExtendMessage(game);
    DrawRightPanel(game);
    if (game.run.practice) DrawPracticeMark(game);
}

// Tells the history how the run ended, once, as its screen closes.
void EndRun(Game& game, bool windowClosed) {
    if (game.runObserver) game.runObserver->OnRunEnd(game, OutcomeOfClosingRun(game.state, windowClosed));
}

// The closing curtain of 21 steps, then the pause before course select. Closing the
// window stops it at once: no pause and no next screen.
Screen LeaveRun(Game& game) {
    EndRun(game, false);
    for (int width = 0; width <= 400; width += 20) {
        game.state.loopIndex = static_cast<int16_t>(width);
        game.WaitFrame(kFrameMs);
        if (game.Quitting()) return Screen::None;
        DrawWipe(game, game.state.loopIndex);
        game.PresentFrame();
    }
    game.WaitFrame(kHandOverPauseMs);
    return Screen::Select;
}

Screen FlyRun(Game& game);

}  // namespace

void AdvanceRun(Game& game) {
    GameState& s = game.state;
    RunLocals& run = game.run;
    s.speed = DecayedSpeed(s.speed);
    s.distance += s.speed;
    run.ringSlot = static_cast<uint8_t>((run.ringSlot + 1) % 10);
    s.extendTimer = CountDown(s.extendTimer);
    // Changed: the original ends the run only at exactly 999 game seconds; a frame slow
    // enough to jump over it would let the run go on.
    if (TruncDiv(s.elapsedTime, kMsPerGameSecond) >= kLastGameSecond) s.stageTime[s.stageIndex] = 0;

    const bool finished = s.distance >= s.courseLength || s.elapsedTime == 0;
    if (!finished && s.stageTime[s.stageIndex] != 0) {
        FlyClocks(game);
    } else if (s.elapsedTime == 0) {
        s.countdown = std::max<uint8_t>(CountDown(s.countdown), kCountdownWaiting);
    } else if (s.distance >= s.courseLength) {
        // Kept: as in the original, a run that timed out and then crosses the line has a
        // running endTimer, so it is neither ranked nor saved.
        if (run.endTimer == 0) GoalMoment(game);
        RaiseEndTimer(game, 1);
    }
    if (s.stageTime[s.stageIndex] == 0) RaiseEndTimer(game, 3);
}

void MeasureFrame(Game& game) {
    GameState& s = game.state;
    RunLocals& run = game.run;
    s.frameEndTime = static_cast<int32_t>(game.platform.Now());
    const auto frameMs =
        static_cast<int32_t>(ClockDiff(static_cast<uint32_t>(s.frameEndTime), static_cast<uint32_t>(s.frameStartTime)));
    // Changed: the original's 16-bit sum overflows when a group of 30 frames lasts over
    // 32.767 s; it saturates instead.
    s.fpsSum[0] = Saturate16(int64_t{s.fpsSum[0]} + frameMs);
    run.frameTime = frameMs;

    if (run.loadLevel < 10 && frameMs > kSlowFrameMs) {
        run.loadLevel += 1;
    } else if (run.loadLevel < 111 && frameMs > kSlowFrameMs) {
        run.loadLevel += 5;
    } else if (run.loadLevel > 0 && frameMs <= kSlowFrameMs) {
        run.loadLevel -= 1;
    }

    if (++s.fpsFrames >= kFpsGroup) {
        s.fpsSum[1] = s.fpsSum[0];
        s.fpsSum[0] = 0;
        s.fpsFrames = 0;
    }
}

namespace {

// The run's frames from the start to the hand-over.
Screen FlyRun(Game& game) {
    if (!StartRun(game)) {
        EndRun(game, true);
        return Screen::None;
    }

    GameState& s = game.state;
    for (;;) {
        s.frameStartTime = static_cast<int32_t>(game.platform.Now());
        game.WaitFrame(kFrameMs);
        if (game.KeyPressed(vk::Escape)) return LeaveRun(game);
        if (game.Quitting()) {
            EndRun(game, true);
            return Screen::None;
        }
        game.YieldEvents();

        AdvanceRun(game);
        RunCourseEvents(s);
        // Space is queried every frame so that an early press is not kept for later.
        const bool space = game.KeyPressed(vk::Space);
        // Kept: as in the original, Space leaves from endTimer 180, one frame before the
        // result panel first shows "Press Space Key" (above 180).
        if (space && game.run.endTimer >= kSpaceLeavesFrom) return LeaveRun(game);
        ReleaseHeldKey(game);
        HandStep(game, 0);
        HandStep(game, 1);
        if (game.runObserver) game.runObserver->OnFrame(game);

        DrawRunFrame(game);
        MeasureFrame(game);
        DrawFrameRate(game);
        if (s.countdown > kCurtainUntil) DrawWipe(game, static_cast<int16_t>((s.countdown - kCurtainUntil) * 20));
        // The frame copy is 700 x 300 wide; only the 400 x 300 image is shown.
        game.PresentFrame();
    }
}

}  // namespace

Screen PlayRun(Game& game) {
    game.picMainKeys = {PicMain_KeyDown, PicMain_KeyUp};
    game.run = RunLocals{};
    game.run.practice = game.practiceWeights.has_value();
    const Screen next = FlyRun(game);
    game.practiceWeights.reset();
    return next;
}

}  // namespace kelo
