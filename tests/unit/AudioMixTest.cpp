// The mixer's inner loops against SDL's own mixing and a plain scan, at the edges of the
// 16-bit range and at every length around the eight-sample steps.

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/sdl/AudioMix.h"

namespace kelo {
namespace {

constexpr int16_t kEdges[] = {-32768, -32767, -16385, -1, 0, 1, 16384, 32766, 32767};

// Samples of `count` drawn from the edges and from anywhere, the same for a given seed.
std::vector<int16_t> Samples(int count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<int16_t> samples(static_cast<size_t>(count));
    for (int16_t& s : samples) {
        const auto draw = random();
        s = draw % 2 ? kEdges[draw / 2 % std::size(kEdges)] : static_cast<int16_t>(draw >> 16);
    }
    return samples;
}

TEST(AudioMix, SumsAsSdlMixesAtFullVolume) {
    for (int count = 0; count <= 35; ++count) {
        for (unsigned seed = 0; seed < 40; ++seed) {
            const std::vector<int16_t> from = Samples(count, seed);
            std::vector<int16_t> ours = Samples(count, seed + 1000);
            std::vector<int16_t> sdls = ours;
            MixSaturating(ours.data(), from.data(), count);
            SDL_MixAudioFormat(reinterpret_cast<Uint8*>(sdls.data()), reinterpret_cast<const Uint8*>(from.data()),
                               AUDIO_S16SYS, static_cast<Uint32>(count * sizeof(int16_t)), SDL_MIX_MAXVOLUME);
            ASSERT_EQ(ours, sdls) << count << " samples, seed " << seed;
        }
    }
}

TEST(AudioMix, LoudestIsTheLargestMagnitudeWhereverItLies) {
    for (int count = 0; count <= 35; ++count) {
        for (unsigned seed = 0; seed < 40; ++seed) {
            const std::vector<int16_t> samples = Samples(count, seed);
            int expected = 0;
            for (int16_t s : samples) expected = std::max(expected, std::abs(static_cast<int>(s)));
            ASSERT_EQ(LoudestOf(samples.data(), count), expected) << count << " samples, seed " << seed;
        }
    }
}

}  // namespace
}  // namespace kelo
