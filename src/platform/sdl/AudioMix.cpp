#include "platform/sdl/AudioMix.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelo {

void MixSaturating(int16_t* to, const int16_t* from, int count) {
    int i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= count; i += 8) {
        const __m128i sum = _mm_adds_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i)),
                                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), sum);
    }
#endif
    for (; i < count; ++i) to[i] = static_cast<int16_t>(std::clamp(to[i] + from[i], -32768, 32767));
}

// The larger of the highest sample and minus the lowest, so that eight are compared at a
// time in 16 bits, where -32768 has no opposite.
int LoudestOf(const int16_t* samples, int count) {
    int highest = 0;
    int lowest = 0;
    int i = 0;
#if defined(__SSE2__)
    __m128i highs = _mm_setzero_si128();
    __m128i lows = _mm_setzero_si128();
    for (; i + 8 <= count; i += 8) {
        const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i));
        highs = _mm_max_epi16(highs, eight);
        lows = _mm_min_epi16(lows, eight);
    }
    alignas(16) int16_t high[8];
    alignas(16) int16_t low[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(high), highs);
    _mm_store_si128(reinterpret_cast<__m128i*>(low), lows);
    highest = *std::max_element(high, high + 8);
    lowest = *std::min_element(low, low + 8);
#endif
    for (; i < count; ++i) {
        highest = std::max(highest, static_cast<int>(samples[i]));
        lowest = std::min(lowest, static_cast<int>(samples[i]));
    }
    return std::max(highest, -lowest);
}

}  // namespace kelo
