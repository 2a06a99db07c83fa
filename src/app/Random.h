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

    // An index into `count` choices in proportion to their weights, from one Rnd.
    int WeightedIndex(const float* weights, int count) { return PickByWeight(weights, count, Rnd()); }

    // The pick for a uniform u in [0, 1): the first i whose running weight sum exceeds
    // u times the total.
    static int PickByWeight(const float* weights, int count, double u) {
        double total = 0;
        for (int i = 0; i < count; ++i) total += weights[i];
        const double x = u * total;
        double cumulative = 0;
        for (int i = 0; i < count; ++i) {
            cumulative += weights[i];
            if (x < cumulative) return i;
        }
        return count - 1;
    }

private:
    std::mt19937 engine_{1};
};

}  // namespace kelo
