#pragma once
// How the game rounds, divides and saturates, in one place. The conversions that the
// game's results depend on go through these helpers, so that rounding and widths never
// drift apart between the places that compute the same thing.
//
//  - A float converted to an integer rounds to the nearest, halves to even.
//  - Int(v) is the floor of v.
//  - "a \ n" truncates toward zero; when a is a float it is first rounded (halves to even).
//  - Unsigned 8-bit counters never go below 0 or above 255; signed 16-bit values, and
//    the 32-bit and 64-bit sums that could overflow, saturate.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelo {

// Nearest integer, halves to even, saturated to the 32-bit range.
// Changed: the original has no answer for a conversion out of range; these saturate.
// Saturating before rounding gives the same result as after, since both limits are
// whole numbers. Inside the range the processor's own conversion rounds as nearbyint
// does (by the rounding mode, to nearest with halves to even); nearbyint itself is a
// library call on the baseline x86-64 target, and the star field rounds seven times a
// star.
inline int32_t RoundHalfEven(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(v));
#else
    return static_cast<int32_t>(std::nearbyint(v));
#endif
}

inline uint8_t RoundToByte(double v) {
    int32_t r = RoundHalfEven(v);
    if (r > 255) return 255;
    if (r < 0) return 0;
    return static_cast<uint8_t>(r);
}

// A wide sum held to the 16-bit or 32-bit range instead of wrapping.
inline int16_t Saturate16(int64_t v) {
    return static_cast<int16_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}
inline int32_t Saturate32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

inline int16_t RoundToInt16(double v) { return Saturate16(RoundHalfEven(v)); }

// A count added to, held at the limits of its type: counts read from a stored history
// or a replay may be anything.
inline void AddSaturating(int32_t& sum, int64_t add) { sum = Saturate32(int64_t{sum} + Saturate32(add)); }
inline void AddSaturating(int64_t& sum, int64_t add) {
    if (__builtin_add_overflow(sum, add, &sum)) {
        sum = add > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    }
}

// Int(v): the floor.
inline int32_t FloorInt(double v) { return RoundHalfEven(std::floor(v)); }

// a \ n for integers: truncates toward zero.
inline int32_t TruncDiv(int32_t a, int32_t n) { return a / n; }

// u \ n for a float u: rounded first (halves to even), then truncated.
inline int32_t TruncDiv(double u, int32_t n) { return RoundHalfEven(u) / n; }

// An unsigned 8-bit count-down step: never below 0.
inline uint8_t CountDown(uint8_t v, int by = 1) { return v > by ? static_cast<uint8_t>(v - by) : 0; }

// Clock differences are taken modulo 2^32.
inline uint32_t ClockDiff(uint32_t later, uint32_t earlier) { return later - earlier; }

// "0#": at least two digits.  "0000": at least four digits.
std::string FormatMinDigits(long long value, int digits);

// "0##.#0": at least three integer digits with leading zeros and exactly two decimals,
// rounded to the nearest hundredth.
std::string FormatSeconds(double value);

// A value rounded to two decimals (ties to even) in plain decimal notation without
// trailing zeros: 96, 87.5, 93.27.
std::string FormatTwoDecimalsTrimmed(double value);

// Rounds to two decimals, ties to even, as a double (93.275 -> 93.28 only if the tie is exact).
double RoundTwoDecimals(double value);

}  // namespace kelo
