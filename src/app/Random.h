#pragma once
#include <cstdint>
#include <random>

namespace kelo {

// The game's one random generator, seeded once at start-up. Rnd() is uniform in
// [0, 1) with 24-bit resolution, so every value is exact as a single float too.
class Random {
public:
    void Seed(uint32_t seed) { engine_.seed(seed); }
    double Rnd() { return static_cast<double>(engine_() >> 8) * (1.0 / 16777216.0); }
    // An index into n choices: floor(n * Rnd).
    int Index(int n) { return static_cast<int>(n * Rnd()); }

private:
    std::mt19937 engine_{1};
};

}  // namespace kelo
