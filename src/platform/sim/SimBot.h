#pragma once
#include <cstdint>
#include <optional>
#include <random>

#include "app/Game.h"

namespace kelo {

// The simulator's player. Once a frame (when the frame wait yields) it may choose one
// key to tap: the simulator delivers its key-down at once and its key-up at the next
// frame. On the title and course select it taps Space every few frames; during a run it
// types the current target of a hand that may score, at most `keysPerSecond` taps a
// second of virtual time, sometimes a wrong letter of that hand instead; once the run
// can be left with Space it taps Space. It reads the game state directly and draws on
// a random generator of its own, so the game's random numbers stay untouched.
class SimBot {
public:
    SimBot(double keysPerSecond, double missChance, uint32_t seed);

    std::optional<int> ChooseTap(const Game& game, uint32_t clock);

    // On course select, pages to `course` and switches to `difficulty` before taking
    // Space, as far as the open courses and the clear marks allow.
    void AimAt(int course, Difficulty difficulty) { aim_ = Aim{course, difficulty}; }

private:
    struct Aim {
        int course;
        Difficulty difficulty;
    };
    std::optional<int> ChooseMenuTap(const Game& game);
    int MenuKey(const Game& game) const;
    std::optional<int> ChooseRunTap(const Game& game);
    std::optional<int> ChooseLetter(const Game& game);
    bool HandMayScore(const Game& game, int hand, bool needFreeLatch) const;
    int WrongLetterKey(const Game& game, int hand);
    std::optional<int> Tapped(int vk);
    bool Chance(double probability);

    double tapInterval_;
    double missChance_;
    std::mt19937 random_;
    int64_t now_ = 0;  // virtual ms since the bot first looked
    std::optional<uint32_t> lastClock_;
    std::optional<int64_t> lastTapTime_;
    int64_t framesSinceTap_ = 0;
    std::optional<bool> nextIsMiss_;  // decided once per tap, kept until it is made
    std::optional<Aim> aim_;
};

}  // namespace kelo
