#include "run/Typing.h"

#include <algorithm>
#include <array>
#include <string>

#include "base/Numeric.h"
#include "draw/Helpers.h"
#include "history/RunObserver.h"

namespace kelo {

namespace {

constexpr uint8_t kMissShakeFrames = 10;
constexpr uint8_t kRestingJitter = 2;
constexpr uint8_t kHitFlashStart = 50;
constexpr int kHitFlashFade = 4;
constexpr int16_t kWarpChargePerHit = 16;
constexpr int16_t kWarpChargeMax = 120;
constexpr uint8_t kCountdownAcceptsKeys = 20;

bool Contains(std::string_view keys, int vk) {
    return vk > 0 && vk < 128 && keys.find(static_cast<char>(vk)) != std::string_view::npos;
}

// One step of the rhythm counter: (period - 1 + wait) mod period.
uint8_t RhythmStep(uint8_t period, uint8_t wait) {
    // Changed: a period of 0 would divide by zero in the original; no course sets one.
    if (period == 0) return 0;
    return static_cast<uint8_t>((period - 1 + wait) % period);
}

void StartRunClock(Game& game) {
    GameState& s = game.state;
    s.elapsedTime = 1;
    s.keyTally.misses = {0, 0};
    game.SendSound("play wavGop notify from 0");
    game.SendSound("play midBGM" + std::to_string(s.bgmIndex + 1) + " from 0");
}

void ConsumeTarget(Game& game, int hand) {
    GameState& s = game.state;
    std::string& queue = s.targetQueue[hand];
    if (!queue.empty()) queue.erase(0, 1);
    char letter = DrawLetter(game, hand);
    while (!queue.empty() && letter == queue.back() && s.keyPoolSize[hand] != 1) letter = DrawLetter(game, hand);
    queue += letter;
    s.queueScroll[hand] = s.letterSpacing[hand];
    s.targetKey[hand] = TargetKeyCode(queue.front());
}

void AdvanceRhythm(GameState& s, int hand) {
    const int other = 1 - hand;
    s.handWait[hand] = RhythmStep(s.handPeriod[hand], s.handWait[hand]);
    if (s.handWait[other] != 0) s.handWait[other] = RhythmStep(s.handPeriod[other], s.handWait[other]);
}

void StartHitFlash(GameState& s, int hand) {
    uint8_t& slot = s.hitFlashSlot[hand];
    s.hitFlash[hand][slot] = kHitFlashStart;
    slot = static_cast<uint8_t>((slot + 1) % kHitFlashSlots);
}

void ShakeColumn(Game& game, int hand) {
    GameState& s = game.state;
    ColumnJitter& jitter = s.queueJitter[hand];
    if (s.missShake[hand] > 0) {
        --s.missShake[hand];
        jitter.x = static_cast<uint8_t>(game.random.Index(5));
        jitter.y = static_cast<uint8_t>(game.random.Index(5));
    } else {
        s.missShake[hand] = 0;
        jitter.x = kRestingJitter;
        jitter.y = kRestingJitter;
    }
}

void AdoptRhythmPeriod(GameState& s, int hand) {
    if (s.handPeriod[hand] == s.handPeriodTarget[hand]) return;
    s.handPeriod[hand] = s.handPeriodTarget[hand];
    s.letterSpacingTarget[hand] = static_cast<int16_t>(s.handPeriod[hand] * 80);
}

void FadeHitFlashes(GameState& s, int hand) {
    for (uint8_t& flash : s.hitFlash[hand]) flash = CountDown(flash, kHitFlashFade);
}

// Swallows the keys that are not wrong keys: anything while a key is latched, and a
// free hand's own target, which its poll scores.
bool IgnoredKeyDown(const GameState& s, int vk) {
    if (s.keyLatch != KeyLatch::Free) return true;
    for (int h = 0; h < 2; ++h) {
        if (vk == s.targetKey[h] && s.handWait[h] == 0) return true;
    }
    return false;
}

void PrintLetter(Game& game, const std::string& letter, int x, int y) {
    const int16_t left = static_cast<int16_t>(x + GlyphOffset(letter));
    PrintText(game, letter, left, RoundToInt16(y), kBlack, 48);
    PrintText(game, letter, left, RoundToInt16(y + 2), kBlack, 48);
    PrintText(game, letter, left, RoundToInt16(y + 1), kWhite, 48);
}

}  // namespace

std::string_view HandKeys(int hand) { return hand == 0 ? kLeftHandKeys : kRightHandKeys; }

uint8_t TargetKeyCode(char letter) {
    if (letter == ',') return vk::Comma;
    if (letter == '.') return vk::Period;
    return static_cast<uint8_t>(letter);
}

char DrawLetter(Game& game, int hand) {
    const std::string_view keys = HandKeys(hand);
    // Changed: the pool is kept within the hand's keys, where the original would read
    // past its string; the course data keeps it there anyway.
    const int pool = std::clamp<int>(game.state.keyPoolSize[hand], 1, static_cast<int>(keys.size()));
    if (!game.practiceWeights) return keys[game.random.Index(pool)];
    // Changed: a practice run (not in the original) spends the same one draw of the
    // generator by weight, so the player's weak keys come more often.
    std::array<float, 15> weights{};
    for (int i = 0; i < pool; ++i) weights[i] = (*game.practiceWeights)[TypedKeyIndex(keys[i])];
    return keys[game.random.WeightedIndex(weights.data(), pool)];
}

void FillTargetQueues(Game& game) {
    GameState& s = game.state;
    for (int p = 0; p < kQueueLength; ++p) {
        for (int h = 0; h < 2; ++h) {
            std::string& queue = s.targetQueue[h];
            for (;;) {
                queue.resize(p);
                queue += DrawLetter(game, h);
                if (p == 0 || queue[p] != queue[p - 1] || s.keyPoolSize[h] == 1) break;
            }
        }
    }
    for (int h = 0; h < 2; ++h) s.targetKey[h] = TargetKeyCode(s.targetQueue[h].front());
}

void ReleaseHeldKey(Game& game) {
    const bool held = game.KeyPressed(game.run.heldKey);
    if (!held && game.state.keyLatch == KeyLatch::CorrectKeyHeld) game.state.keyLatch = KeyLatch::Free;
}

void HandStep(Game& game, int hand) {
    GameState& s = game.state;
    ShakeColumn(game, hand);
    AdoptRhythmPeriod(s, hand);
    FadeHitFlashes(s, hand);
    // The target key is queried every frame, whatever else holds, so that a press made
    // while the hand could not score does not linger as pressed-since-last-query.
    const bool pressed = game.KeyPressed(s.targetKey[hand]);
    if (pressed && s.distance < s.courseLength && s.handWait[hand] == 0 && s.keyLatch == KeyLatch::Free &&
        s.countdown <= kCountdownAcceptsKeys) {
        ScoreHit(game, hand);
    }
}

void ScoreHit(Game& game, int hand) {
    GameState& s = game.state;
    const bool startsClock = s.elapsedTime == 0;
    if (startsClock) StartRunClock(game);
    game.SendSound("play wavTip notify from 0");
    s.keyLatch = KeyLatch::CorrectKeyHeld;
    game.run.heldKey = s.targetKey[hand];
    const char letter = s.targetQueue[hand].empty() ? '\0' : s.targetQueue[hand].front();
    ConsumeTarget(game, hand);
    AdvanceRhythm(s, hand);
    int16_t& touches = s.keyTally.touches[hand];
    touches = static_cast<int16_t>(std::min<int>(touches + 1, 32767));
    StartHitFlash(s, hand);
    s.speed = SpeedAfterHit(s.speed);
    s.warpCharge = static_cast<int16_t>(std::min<int>(s.warpCharge + kWarpChargePerHit, kWarpChargeMax));
    if (game.runObserver) game.runObserver->OnHit(game, hand, letter, startsClock);
}

// Kept: the original tests whether the key code's character is in the hand's string, so
// key codes 44 and 46 ("," and ".") count for the right hand as 188 and 190 do, and a
// key of neither hand (Space, Escape, Shift) still costs speed in PicMain_KeyDown.
int MissedHand(int key) {
    if (Contains(kLeftHandKeys, key)) return 0;
    if (Contains(kRightHandKeys, key) || key == vk::Comma || key == vk::Period) return 1;
    return -1;
}

void PicMain_KeyDown(Game& game, int vk) {
    GameState& s = game.state;
    if (IgnoredKeyDown(s, vk)) return;
    const int hand = MissedHand(vk);
    if (hand >= 0) {
        s.missShake[hand] = kMissShakeFrames;
        // Changed: the original's 16-bit tallies would overflow past 32767; they saturate.
        int16_t& misses = s.keyTally.misses[hand];
        misses = static_cast<int16_t>(std::min<int>(misses + 1, 32767));
    }
    s.speed = SpeedAfterMiss(s.speed);
    s.keyLatch = KeyLatch::WrongKeyHeld;
    if (game.runObserver) game.runObserver->OnWrongKey(game, vk, hand);
}

void PicMain_KeyUp(Game& game, int) {
    if (game.state.keyLatch == KeyLatch::WrongKeyHeld) game.state.keyLatch = KeyLatch::Free;
}

float SpeedAfterMiss(float s) {
    if (s >= 0 && s <= 5) return std::max(s - 0.5f, 0.0f);
    if (s > 5 && s <= 10) return s - 1.0f;
    if (s > 10 && s <= 15) return s - 1.5f;
    if (s > 15 && s <= 20) return s - 2.0f;
    return std::max(s - 2.5f, 0.0f);
}

float SpeedAfterHit(float s) {
    if (s >= 0 && s <= 5) return s + 1.0f;
    return static_cast<float>(s + 1.05 - 0.01 * s);
}

void DrawLetterColumns(Game& game) {
    const GameState& s = game.state;
    const int columnX[2] = {86 + s.queueJitter[0].x, 180 + s.queueJitter[1].x};
    for (int i = 0; i < kQueueLength; ++i) {
        for (int h = 0; h < 2; ++h) {
            const std::string& queue = s.targetQueue[h];
            if (i >= static_cast<int>(queue.size())) continue;
            const int y = 177 - s.letterSpacing[h] * i - s.queueScroll[h] + s.queueJitter[h].y;
            PrintLetter(game, std::string(1, queue[i]), columnX[h], y);
        }
    }
}

}  // namespace kelo
