#include "platform/sim/SimBot.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "app/Keyboard.h"
#include "base/Numeric.h"
#include "run/Typing.h"

namespace kelo {

namespace {

// Frames between Space taps on the title and course select: long enough for the
// screens to see Space released in between.
constexpr int64_t kMenuTapGap = 5;
constexpr int64_t kLeaveTapGap = 3;
constexpr int kLeaveRunEndTimer = 180;

}  // namespace

SimBot::SimBot(double keysPerSecond, double missChance, uint32_t seed)
    : tapInterval_(1000.0 / keysPerSecond), missChance_(missChance), random_(seed ^ 0x6b656c6fu) {}

std::optional<int> SimBot::ChooseTap(const Game& game, uint32_t clock) {
    if (lastClock_) now_ += ClockDiff(clock, *lastClock_);
    lastClock_ = clock;
    ++framesSinceTap_;
    switch (game.screen) {
        case Screen::Title:
        case Screen::Select:
        case Screen::Progress: return ChooseMenuTap(game);
        case Screen::Run: return ChooseRunTap(game);
        case Screen::None: break;
    }
    return std::nullopt;
}

std::optional<int> SimBot::ChooseMenuTap(const Game& game) {
    const int key = MenuKey(game);
    if (framesSinceTap_ < kMenuTapGap || game.keyboard.IsDown(key)) return std::nullopt;
    return Tapped(key);
}

int SimBot::MenuKey(const Game& game) const {
    const GameState& s = game.state;
    if (!aim_ || game.screen != Screen::Select) return vk::Space;
    if (aim_->course < s.openCourses && s.courseIndex != aim_->course) return vk::Right;
    if (s.difficulty != aim_->difficulty && s.clearMark[s.courseIndex] != ClearMark::NotCleared) return vk::Up;
    return vk::Space;
}

std::optional<int> SimBot::ChooseRunTap(const Game& game) {
    if (game.run.endTimer >= kLeaveRunEndTimer) {
        if (framesSinceTap_ < kLeaveTapGap || game.keyboard.IsDown(vk::Space)) return std::nullopt;
        return Tapped(vk::Space);
    }
    if (lastTapTime_ && now_ - *lastTapTime_ < tapInterval_) return std::nullopt;
    return ChooseLetter(game);
}

std::optional<int> SimBot::ChooseLetter(const Game& game) {
    if (!nextIsMiss_) nextIsMiss_ = Chance(missChance_);
    // A wrong key counts only while the latch is free; a hit may follow the release of
    // the previous hit's key in the same frame, since the run tests the release first.
    std::vector<int> hands;
    for (int hand = 0; hand < 2; ++hand)
        if (HandMayScore(game, hand, *nextIsMiss_)) hands.push_back(hand);
    if (hands.empty()) return std::nullopt;
    int hand = hands[std::uniform_int_distribution<size_t>(0, hands.size() - 1)(random_)];
    int key = *nextIsMiss_ ? WrongLetterKey(game, hand) : game.state.targetKey[hand];
    if (game.keyboard.IsDown(key)) return std::nullopt;
    nextIsMiss_.reset();
    lastTapTime_ = now_;
    return Tapped(key);
}

bool SimBot::HandMayScore(const Game& game, int hand, bool needFreeLatch) const {
    const GameState& s = game.state;
    if (s.handWait[hand] != 0 || s.countdown > 20 || s.distance >= static_cast<float>(s.courseLength)) return false;
    if (s.targetKey[hand] == 0) return false;
    if (s.keyLatch == KeyLatch::Free) return true;
    const int held = game.run.heldKey;
    bool latchWillOpen =
        s.keyLatch == KeyLatch::CorrectKeyHeld && !game.keyboard.IsDown(held) && s.targetKey[hand] != held;
    return latchWillOpen && !needFreeLatch;
}

int SimBot::WrongLetterKey(const Game& game, int hand) {
    const std::string_view keys = HandKeys(hand);
    size_t pool = std::min<size_t>(std::max<int>(game.state.keyPoolSize[hand], 1), keys.size());
    if (pool < 2) pool = keys.size();
    std::vector<int> wrong;
    for (char letter : keys.substr(0, pool))
        if (TargetKeyCode(letter) != game.state.targetKey[hand]) wrong.push_back(TargetKeyCode(letter));
    return wrong[std::uniform_int_distribution<size_t>(0, wrong.size() - 1)(random_)];
}

std::optional<int> SimBot::Tapped(int vk) {
    framesSinceTap_ = 0;
    return vk;
}

bool SimBot::Chance(double probability) {
    if (probability <= 0) return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < probability;
}

}  // namespace kelo
