#pragma once
// The one record of game state shared by every screen and every frame.
//
// Every field keeps the width the game's arithmetic depends on: unsigned 8-bit counters,
// signed 16- and 32-bit values, and single-precision floats for the values the game
// computes in single precision. Counting down an unsigned counter always stops at 0
// (see Numeric.h for the helpers).

#include <array>
#include <cstdint>
#include <string>

#include "draw/StarField.h"

namespace kelo {

constexpr int kCourseCount = 9;
constexpr int kPlaceCount = 5;
constexpr int kStageCount = 4;
constexpr int kStarCount = 1000;
constexpr int kHitFlashSlots = 3;  // hit discs per hand, used in turn

// One value for each hand: index 0 is the left hand, 1 the right hand.
template <typename T>
using PerHand = std::array<T, 2>;

// Best five goal runs of one course. A time of 0 marks an empty place.
struct CourseRecord {
    std::array<int32_t, kPlaceCount> times{};   // run time in ms, place 1st..5th
    std::array<int32_t, kPlaceCount> speeds{};  // typing speed, hundredths of keys/min
};

// How far a course has been cleared. Other values can come from a damaged record file:
// they count as cleared on Normal and never change.
enum class ClearMark : uint8_t { NotCleared = 0, Cleared = 1, ClearedOnHard = 2 };

// The difficulty a course is played on; Hard is open once the course has been cleared.
enum class Difficulty : uint8_t { Normal = 0, Hard = 1 };

// A run that reached the goal, as the record table ranks it.
struct FinishedRun {
    uint8_t course = 0;
    Difficulty difficulty = Difficulty::Normal;
    int32_t time = 0;   // ms
    int32_t speed = 0;  // hundredths of keys per minute
};

// A run's correct keys (touches) and wrong keys (misses) of each hand.
struct KeyTally {
    PerHand<int16_t> touches{};
    PerHand<int16_t> misses{};
    bool operator==(const KeyTally&) const = default;
};

// The shake offsets of one hand's letter column: 2 at rest, 0..4 while it shakes.
struct ColumnJitter {
    uint8_t x = 0;
    uint8_t y = 0;
};

// The road sign the course raises at the start and around its curves.
enum class SignKind : uint8_t { StraightOn = 0, LeftCurve = 1, RightCurve = 2 };

// The run's key latch, which makes a held key count once and keeps auto-repeat from
// counting at all: while it is not Free, key-down events are neither hits nor misses.
enum class KeyLatch : uint8_t {
    Free = 0,
    CorrectKeyHeld = 1,  // freed once the run loop sees that key released; also set at run start
    WrongKeyHeld = 2,    // freed by any key going up
};

struct GameState {
    // Shell
    uint8_t quitRequested = 0;
    int32_t lastFrameTime = 0;
    int16_t loopIndex = 0;

    // Selection, progress and records
    uint8_t courseIndex = 0;
    Difficulty difficulty = Difficulty::Normal;
    uint8_t openCourses = 2;
    std::array<ClearMark, kCourseCount> clearMark{};
    std::array<CourseRecord, kCourseCount> courseRecords{};
    // [course][line], UTF-8. No "{}": clang 14 crashes on it for nested arrays of strings
    // (the fuzz targets build with clang); the strings start empty either way.
    std::array<std::array<std::string, 2>, kCourseCount> courseNotes;

    // Course parameters (loaded by ResetRun, changed by the course event script)
    int32_t courseLength = 0;
    std::array<int32_t, kStageCount> checkpointDistance{};
    std::array<int32_t, kStageCount> stageTime{};
    uint8_t difficultyRating = 0;
    std::array<uint8_t, 3> backColour{};  // red, green, blue
    std::array<float, 3> starTint{};
    std::array<int32_t, 2> starBand{};  // height, lowest y
    uint8_t bgmIndex = 0;
    PerHand<uint8_t> keyPoolSize{};
    PerHand<uint8_t> handPeriodTarget{};
    float curveRate = 0;
    SignKind signKind = SignKind::StraightOn;
    uint8_t signTimer = 0;

    // Run progress
    float distance = 0;
    float speed = 0;
    int32_t elapsedTime = 0;
    int32_t stageIndex = 0;
    uint8_t countdown = 0;
    uint8_t extendTimer = 0;
    int32_t frameStartTime = 0;
    int32_t frameEndTime = 0;
    std::array<int16_t, 2> fpsSum{};
    int16_t fpsFrames = 0;

    // Typing
    PerHand<std::string> targetQueue{};
    PerHand<uint8_t> targetKey{};
    KeyLatch keyLatch = KeyLatch::Free;
    PerHand<uint8_t> handPeriod{};
    PerHand<uint8_t> handWait{};
    KeyTally keyTally{};
    PerHand<uint8_t> missShake{};
    PerHand<ColumnJitter> queueJitter{};
    PerHand<std::array<uint8_t, kHitFlashSlots>> hitFlash{};  // [hand][slot]
    PerHand<uint8_t> hitFlashSlot{};
    PerHand<int16_t> letterSpacing{};
    PerHand<int16_t> letterSpacingTarget{};
    PerHand<int16_t> queueScroll{};

    // World
    std::array<Star, kStarCount> stars{};
    int16_t warpCharge = 0;
    int16_t warpLevel = 0;
};

// The course's colours as the stars take them.
inline StarPalette StarPaletteOf(const GameState& state) { return {state.backColour, state.starTint}; }

// Values that live for one call of PlayRun only. They sit beside the game state so
// that the simulator's trace can show them; PlayRun zeroes them on entry.
struct RunLocals {
    int16_t endTimer = 0;
    int32_t frameTime = 0;
    uint8_t loadLevel = 0;
    uint8_t ringSlot = 0;
    uint8_t newRank = 0;
    uint8_t heldKey = 0;
    // A practice run: places nothing in the records and says so.
    bool practice = false;
};

}  // namespace kelo
