#pragma once
#include <cstdint>
#include <random>

namespace kelo {

// The game's one random generator, seeded once at start-up. Rnd() is uniform in
// [0, 1) with 24-bit resolution, so every value is exact as a single float too.
class Random {
public:
    void Seed(uint32_t seed) {
        engine_.seed(seed);
        seed_ = seed;
        draws_ = 0;
    }
    double Rnd() {
        ++draws_;
        return static_cast<double>(engine_() >> 8) * (1.0 / 16777216.0);
    }
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

    // The generator's whole state is its seed and the draws since: a replay snapshot
    // keeps these two and Restore() winds a fresh generator forward to them.
    uint32_t SeedValue() const { return seed_; }
    uint64_t Draws() const { return draws_; }
    void Restore(uint32_t seed, uint64_t draws) {
        Seed(seed);
        engine_.discard(draws);
        draws_ = draws;
    }

private:
    std::mt19937 engine_{1};
    uint32_t seed_ = 1;
    uint64_t draws_ = 0;
};

}  // namespace kelo
