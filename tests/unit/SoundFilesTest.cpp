// The shipped effects are plain 16-bit PCM waves of the lengths the game's moments need.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kelo {
namespace {

struct Wave {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int format = 0;
    std::vector<int16_t> samples;

    double Seconds() const { return static_cast<double>(samples.size()) / channels / rate; }
    int Peak() const {
        int peak = 0;
        for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
        return peak;
    }
};

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | b[at + i];
    return value;
}

Wave ReadWave(const std::string& name) {
    std::ifstream in(std::string(KELO_SOURCE_DIR) + "/snd/" + name, std::ios::binary);
    std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Wave wave;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        return wave;
    }
    for (size_t at = 12; at + 8 <= b.size();) {
        uint32_t size = Le(b, at + 4, 4);
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0 && size >= 16) {
            wave.format = static_cast<int>(Le(b, at + 8, 2));
            wave.channels = static_cast<int>(Le(b, at + 10, 2));
            wave.rate = static_cast<int>(Le(b, at + 12, 4));
            wave.bits = static_cast<int>(Le(b, at + 22, 2));
        } else if (std::memcmp(b.data() + at, "data", 4) == 0 && at + 8 + size <= b.size()) {
            wave.samples.resize(size / 2);
            std::memcpy(wave.samples.data(), b.data() + at + 8, wave.samples.size() * 2);
        }
        at += 8 + size + (size & 1);
    }
    return wave;
}

TEST(SoundFiles, EffectsAreAudibleWavesOfFittingLength) {
    struct Expected {
        const char* file;
        double shortest, longest;
    };
    const Expected effects[] = {
        {"tap.wav", 0.02, 0.079}, {"sel.wav", 0.05, 0.4},  {"dec.wav", 0.15, 1.2},
        {"extend.wav", 0.5, 2.5}, {"start.wav", 0.3, 2.0}, {"goal.wav", 1.0, 4.0},
    };
    for (const Expected& e : effects) {
        SCOPED_TRACE(e.file);
        Wave wave = ReadWave(e.file);
        EXPECT_EQ(wave.format, 1);  // PCM
        EXPECT_EQ(wave.bits, 16);
        EXPECT_EQ(wave.rate, 44100);
        ASSERT_GT(wave.channels, 0);
        EXPECT_GE(wave.Seconds(), e.shortest);
        EXPECT_LE(wave.Seconds(), e.longest);
        // Loud enough to hear over the music, never clipped.
        EXPECT_GT(wave.Peak(), 32767 / 4);
        EXPECT_LT(wave.Peak(), 32767);
    }
}

}  // namespace
}  // namespace kelo
