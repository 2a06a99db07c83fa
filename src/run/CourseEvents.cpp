#include "run/CourseEvents.h"

#include <algorithm>
#include <optional>
#include <span>

#include "base/Numeric.h"

namespace kelo {

namespace {

// A road sign raised while the craft is inside [from, to] and no sign is showing.
struct SignWindow {
    int from;
    int to;
    SignKind kind;
};

constexpr SignKind kStraight = SignKind::StraightOn, kLeft = SignKind::LeftCurve, kRight = SignKind::RightCurve;

// offset + (d - origin) / divisor in double, stored as a single; divisor 0 means the
// constant offset. A negative divisor gives the falling ramp "offset - (d - origin) / |divisor|"
// bit for bit, since negating a quotient is exact.
struct Ramp {
    double offset = 0;
    double origin = 0;
    double divisor = 0;

    float At(float d) const {
        if (divisor == 0) return static_cast<float>(offset);
        return static_cast<float>(offset + (d - origin) / divisor);
    }
};

constexpr Ramp Constant(double value) { return {value, 0, 0}; }

// What a range writes while from <= d <= to. A period or pool of 0 leaves that value alone.
struct RangeRule {
    int from;
    int to;
    std::optional<Ramp> curve = std::nullopt;
    uint8_t periodLeft = 0;
    uint8_t periodRight = 0;
    uint8_t poolLeft = 0;
    uint8_t poolRight = 0;
    void (*extra)(GameState&) = nullptr;
};

struct CourseScript {
    std::span<const SignWindow> signs;
    void (*continuous)(GameState&);
    std::span<const RangeRule> ranges;
};

bool Within(double d, double from, double to) { return from <= d && d <= to; }

void RaiseSigns(GameState& s, std::span<const SignWindow> windows) {
    for (const SignWindow& w : windows) {
        if (s.signTimer == 0 && Within(s.distance, w.from, w.to)) {
            s.signTimer = 50;
            s.signKind = w.kind;
        }
    }
}

// Kept: as in the original, a distance between two ranges (1099.5 after 1000-1099) falls
// in none and changes nothing.
void ApplyRanges(GameState& s, std::span<const RangeRule> rules) {
    for (const RangeRule& r : rules) {
        if (!Within(s.distance, r.from, r.to)) continue;
        if (r.curve) s.curveRate = r.curve->At(s.distance);
        if (r.periodLeft) s.handPeriodTarget[0] = r.periodLeft;
        if (r.periodRight) s.handPeriodTarget[1] = r.periodRight;
        if (r.poolLeft) s.keyPoolSize[0] = r.poolLeft;
        if (r.poolRight) s.keyPoolSize[1] = r.poolRight;
        if (r.extra) r.extra(s);
    }
}

// Both hands type freely, one letter every 80 pixels.
void FreeHands(GameState& s) {
    s.letterSpacingTarget = {80, 80};
    s.handPeriodTarget = {1, 1};
    s.handWait = {0, 0};
}

void NoContinuousRule(GameState&) {}

// ---- Course 0: straight, home row, the blue fades to black -------------------------

constexpr SignWindow kSigns0[] = {{2, 20, kStraight}};

void Continuous0(GameState& s) {
    const double d = s.distance;
    if (d > 10000) return;
    s.backColour[1] = RoundToByte(TruncDiv(10000 - d, 500));
    s.backColour[2] = RoundToByte(TruncDiv(10000 - d, 100));
    s.starTint[0] = s.starTint[1] = Ramp{1, 0, -100000}.At(s.distance);
    s.starTint[2] = Ramp{1, 0, 10000}.At(s.distance);
}

const RangeRule kRanges0[] = {
    {.from = 0, .to = 299, .curve = Constant(0)},
    {.from = 300, .to = 4999, .poolLeft = 5, .poolRight = 4},
    {.from = 5000, .to = 9999, .poolLeft = 5, .poolRight = 4, .extra = FreeHands},
};

// ---- Course 1: a gentle right and a gentle left curve, the star band slides down ----

constexpr SignWindow kSigns1[] = {{800, 830, kRight}, {2200, 2230, kLeft}, {3500, 3530, kStraight}};

void Continuous1(GameState& s) {
    const double d = std::min<double>(s.distance, s.courseLength);
    s.starBand[1] = RoundHalfEven((d - 3000) * (10000.0 / 3000.0));
}

const RangeRule kRanges1[] = {
    {.from = 0, .to = 999, .curve = Constant(0), .periodLeft = 1},
    {.from = 1000, .to = 1099, .curve = Ramp{0, 1000, 4000}, .periodLeft = 1},
    {.from = 1100, .to = 1199, .curve = Ramp{0, 1000, 4000}, .periodLeft = 2},
    {.from = 1200, .to = 2199, .curve = Constant(0.05), .periodLeft = 2},
    {.from = 2200, .to = 2299, .curve = Ramp{0.05, 2200, -4000}, .periodLeft = 2},
    {.from = 2300, .to = 2399, .curve = Ramp{0.05, 2200, -4000}, .periodLeft = 1},
    {.from = 2400, .to = 2499, .curve = Ramp{0, 2400, -4000}, .periodRight = 1},
    {.from = 2500, .to = 2599, .curve = Ramp{0, 2400, -4000}, .periodRight = 2},
    {.from = 2600, .to = 3599, .curve = Constant(-0.05), .periodRight = 2},
    {.from = 3600, .to = 3699, .curve = Ramp{-0.05, 3600, 4000}, .periodRight = 2},
    {.from = 3700, .to = 3799, .curve = Ramp{-0.05, 3600, 4000}, .periodRight = 1},
    {.from = 3800, .to = 5999, .curve = Constant(0), .periodLeft = 1, .periodRight = 1},
};

// ---- Course 2: opening right curve, sharp left curve, steady left curve -------------

constexpr SignWindow kSigns2[] = {{2, 20, kRight}, {7800, 7830, kStraight}, {10200, 10230, kLeft}};

// The sharp left curve narrows the outside (right) hand to J and gives the inside hand
// its home row.
const RangeRule kRanges2[] = {
    {.from = 0, .to = 6999, .curve = Constant(0.12), .periodLeft = 4},
    {.from = 8000, .to = 10399, .curve = Ramp{0.12, 5000, -10000}, .periodLeft = 1, .poolLeft = 5, .poolRight = 1},
    {.from = 10400, .to = 19999, .curve = Constant(-0.12), .periodRight = 4},
};

// ---- Course 3: straight, alternating hands, colour change around the middle ---------

constexpr SignWindow kSigns3[] = {{2, 20, kStraight}};

void Continuous3(GameState& s) {
    const double d = s.distance;
    if (Within(d, 7500, 12500)) {
        s.backColour[0] = RoundToByte(TruncDiv(d - 7500, 100));
        s.backColour[1] = RoundToByte(TruncDiv(12500 - d, 100));
    }
    if (Within(d, 10000, 20000)) {
        s.starTint[0] = Ramp{1, 10000, 10000}.At(s.distance);
        s.starTint[1] = Ramp{1, 10000, -100000}.At(s.distance);
        s.starTint[2] = Ramp{1, 10000, -10000}.At(s.distance);
    }
}

const RangeRule kRanges3[] = {
    {.from = 0, .to = 9999, .curve = Constant(0)},
    {.from = 10000, .to = 19999, .curve = Constant(0), .poolLeft = 15, .poolRight = 13},
};

// ---- Course 4: straight, all keys ----------------------------------------------------

constexpr SignWindow kSigns4[] = {{2, 20, kStraight}};

const RangeRule kRanges4[] = {
    {.from = 0, .to = 9999, .curve = Constant(0), .periodLeft = 1},
};

// ---- Course 5: the mirror of course 2, with a colour change around 9000 --------------

constexpr SignWindow kSigns5[] = {{2, 20, kLeft}, {7800, 7830, kStraight}, {10200, 10230, kRight}};

void Continuous5(GameState& s) {
    const double d = s.distance;
    if (8000 < d && d < 9000) {
        s.backColour[0] = RoundToByte(40 - (d - 8000) * 0.04);
        s.backColour[2] = RoundToByte(20 - (d - 8000) * 0.02);
    }
    if (Within(d, 9000, 10000)) {
        s.backColour[0] = RoundToByte((d - 9000) * 0.02);
        s.backColour[2] = RoundToByte((d - 9000) * 0.04);
        s.starTint[0] = Ramp{1, 9000, -5000}.At(s.distance);
        s.starTint[1] = Ramp{1, 9000, 1000}.At(s.distance);
        s.starTint[2] = Ramp{1, 9000, -3000}.At(s.distance);
    }
}

// Mirroring course 2: the sharp right curve narrows the outside (left) hand to F, and
// the inside (right) hand keeps its home row J H K L. Changed: the original's script
// gives the right hand a pool of 5 here (J H K L Y) and leaves the left hand all its
// keys, unlike its twin course 2.
const RangeRule kRanges5[] = {
    {.from = 0, .to = 6999, .curve = Constant(-0.12), .periodRight = 4},
    {.from = 8000, .to = 10399, .curve = Ramp{-0.12, 5000, 10000}, .periodRight = 1, .poolLeft = 1, .poolRight = 4},
    {.from = 10400, .to = 19999, .curve = Constant(0.12), .periodLeft = 4},
};

// ---- Course 6: long gentle curves with periods up to 3 --------------------------------

constexpr SignWindow kSigns6[] = {
    {300, 330, kRight}, {12100, 12130, kStraight}, {17800, 17830, kLeft}, {29600, 29630, kStraight}};

const RangeRule kRanges6[] = {
    {.from = 0, .to = 499, .curve = Constant(0), .periodLeft = 1},
    {.from = 500, .to = 699, .curve = Ramp{0, 500, 50000}, .periodLeft = 1},
    {.from = 700, .to = 5499, .curve = Ramp{0, 500, 50000}, .periodLeft = 2},
    {.from = 5500, .to = 7499, .curve = Constant(0.1), .periodLeft = 3},
    {.from = 7500, .to = 12299, .curve = Ramp{0.1, 7500, -50000}, .periodLeft = 2},
    {.from = 12300, .to = 12499, .curve = Ramp{0.1, 7500, -50000}, .periodLeft = 1},
    {.from = 12500, .to = 17999, .curve = Constant(0), .periodLeft = 1, .periodRight = 1},
    {.from = 18000, .to = 18199, .curve = Ramp{0, 18000, -50000}, .periodRight = 1},
    {.from = 18200, .to = 22999, .curve = Ramp{0, 18000, -50000}, .periodRight = 2},
    {.from = 23000, .to = 24999, .curve = Constant(-0.1), .periodRight = 3},
    {.from = 25000, .to = 29799, .curve = Ramp{-0.1, 25000, 50000}, .periodRight = 2},
    {.from = 29800, .to = 29999, .curve = Ramp{-0.1, 25000, 50000}, .periodRight = 1},
    {.from = 30000, .to = 35999, .curve = Constant(0), .periodLeft = 1, .periodRight = 1},
};

// ---- Course 7: straight; warm stars below the horizon, then above, then everywhere ----

constexpr SignWindow kSigns7[] = {{2, 20, kStraight}};

void Continuous7(GameState& s) {
    const double d = s.distance;
    if (d > 20000) {
        s.starBand[0] = RoundHalfEven(120000 - 2 * d);
        s.starBand[1] = RoundHalfEven(d - 60000);
    }
    if (d < 40000) {
        s.backColour[0] = RoundToByte(50 - d / 4000 * 3);
        s.backColour[1] = RoundToByte(40 - d / 4000);
        s.backColour[2] = RoundToByte(d / 800 + 20);
    }
}

void FreeHandsStarsAbove(GameState& s) {
    FreeHands(s);
    s.starBand[1] = -20300;
}

void FullStarBand(GameState& s) { s.starBand = {80000, -40000}; }

const RangeRule kRanges7[] = {
    {.from = 0, .to = 9999, .curve = Constant(0)},
    {.from = 10000, .to = 19999, .extra = FreeHandsStarsAbove},
    {.from = 20000, .to = 39999, .poolLeft = 15, .poolRight = 13, .extra = FullStarBand},
};

// ---- Course 8: a long left and a long right curve around a calm stretch on F and J ----

constexpr SignWindow kSigns8[] = {
    {1000, 1030, kLeft}, {14500, 14530, kStraight}, {23000, 23030, kRight}, {36700, 36730, kStraight}};

void Continuous8(GameState& s) {
    const double d = s.distance;
    if (15000 < d && d < 19999) {
        s.backColour[1] = RoundToByte((20000 - d) / 500 + 10);
        s.backColour[2] = RoundToByte((20000 - d) / 250 + 30);
        s.starTint[0] = s.starTint[1] = Ramp{1, 15000, -25000}.At(s.distance);
    }
}

const RangeRule kRanges8[] = {
    {.from = 0, .to = 999, .curve = Constant(0), .periodLeft = 1, .periodRight = 1},
    {.from = 1000, .to = 1299, .curve = Ramp{0, 1000, -50000}, .periodRight = 1},
    {.from = 1300, .to = 3999, .curve = Ramp{0, 1000, -50000}, .periodRight = 2},
    {.from = 4000, .to = 6999, .curve = Ramp{0, 1000, -50000}, .periodRight = 3},
    {.from = 7000, .to = 8999, .curve = Constant(-0.12), .periodRight = 4},
    {.from = 9000, .to = 11999, .curve = Ramp{-0.12, 9000, 50000}, .periodRight = 3},
    {.from = 12000, .to = 14699, .curve = Ramp{-0.12, 9000, 50000}, .periodRight = 2},
    {.from = 14700, .to = 14999, .curve = Ramp{-0.12, 9000, 50000}, .periodRight = 1},
    {.from = 15000, .to = 17999, .curve = Constant(0), .poolLeft = 1, .poolRight = 1},
    {.from = 18000, .to = 22999, .curve = Constant(0), .poolLeft = 15, .poolRight = 13},
    {.from = 23000, .to = 23299, .curve = Ramp{0, 23000, 50000}, .periodLeft = 1},
    {.from = 23300, .to = 25999, .curve = Ramp{0, 23000, 50000}, .periodLeft = 2},
    {.from = 26000, .to = 28999, .curve = Ramp{0, 23000, 50000}, .periodLeft = 3},
    {.from = 29000, .to = 30999, .curve = Constant(0.12), .periodLeft = 4},
    {.from = 31000, .to = 33999, .curve = Ramp{0.12, 31000, -50000}, .periodLeft = 3},
    {.from = 34000, .to = 36699, .curve = Ramp{0.12, 31000, -50000}, .periodLeft = 2},
    {.from = 36700, .to = 36999, .curve = Ramp{0.12, 31000, -50000}, .periodLeft = 1},
    {.from = 37000, .to = 42999, .curve = Constant(0)},
};

const CourseScript kScripts[kCourseCount] = {
    {kSigns0, Continuous0, kRanges0},      {kSigns1, Continuous1, kRanges1},      {kSigns2, NoContinuousRule, kRanges2},
    {kSigns3, Continuous3, kRanges3},      {kSigns4, NoContinuousRule, kRanges4}, {kSigns5, Continuous5, kRanges5},
    {kSigns6, NoContinuousRule, kRanges6}, {kSigns7, Continuous7, kRanges7},      {kSigns8, Continuous8, kRanges8},
};

}  // namespace

void RunCourseEvents(GameState& state) {
    if (state.courseIndex >= kCourseCount) return;
    const CourseScript& script = kScripts[state.courseIndex];
    RaiseSigns(state, script.signs);
    // Kept: the range rules come after the continuous ones and overwrite what they set,
    // as in the original (course 7's star band from 20000 on).
    script.continuous(state);
    ApplyRanges(state, script.ranges);
}

PerHand<uint8_t> LargestScriptedPools(int course) {
    PerHand<uint8_t> largest{};
    if (course < 0 || course >= kCourseCount) return largest;
    for (const RangeRule& r : kScripts[course].ranges) {
        largest[0] = std::max(largest[0], r.poolLeft);
        largest[1] = std::max(largest[1], r.poolRight);
    }
    return largest;
}

}  // namespace kelo
