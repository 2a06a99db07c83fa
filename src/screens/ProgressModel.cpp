#include "screens/ProgressModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Numeric.h"
#include "run/Course.h"
#include "run/CourseEvents.h"
#include "run/Typing.h"

namespace kelo {

namespace {

// A key needs this many targets (hits and misses) before it can be named weakest.
constexpr int32_t kWeakKeyMinimumSamples = 5;

constexpr double kMissRateScale = 0.40;
constexpr double kReactionFloorMs = 250, kReactionCeilingMs = 750;

constexpr float kWeightFloor = 1.0f, kWeightCap = 10.0f;
constexpr double kMissWeight = 8.0, kSlownessWeight = 4.0;

// The mean reaction over all keys' timed hits.
std::optional<double> OverallMeanReaction(const ProgressSummary& summary) {
    int64_t count = 0, total = 0;
    for (const KeyProgress& key : summary.keys) {
        count += key.reactions;
        AddSaturating(total, key.reactionMsTotal);
    }
    if (count == 0) return std::nullopt;
    return static_cast<double>(total) / static_cast<double>(count);
}

int Lerp(int a, int b, double t) { return static_cast<int>(std::lround(a + (b - a) * t)); }

std::string KeyLabel(int index) { return std::string(1, TypedKeyChar(index)); }

}  // namespace

std::array<bool, kTypedKeyCount> CourseKeys(int course) {
    PerHand<uint8_t> pools{15, 13};
    if (course >= 0 && course < kCourseCount) {
        GameState probe;
        probe.courseIndex = static_cast<uint8_t>(course);
        ResetRun(probe);
        const PerHand<uint8_t> scripted = LargestScriptedPools(course);
        for (int h = 0; h < 2; ++h) pools[h] = std::max(probe.keyPoolSize[h], scripted[h]);
    }
    std::array<bool, kTypedKeyCount> keys{};
    for (int h = 0; h < 2; ++h) {
        const std::string_view hand = HandKeys(h);
        const size_t pool = std::min<size_t>(pools[h], hand.size());
        for (size_t i = 0; i < pool; ++i) keys[TypedKeyIndex(hand[i])] = true;
    }
    return keys;
}

std::optional<double> HeatValue(const KeyProgress& key, HeatView view) {
    if (view == HeatView::MissRate) {
        if (key.Targets() == 0) return std::nullopt;
        return std::clamp(key.MissRate() / kMissRateScale, 0.0, 1.0);
    }
    const std::optional<double> mean = key.MeanReactionMs();
    if (!mean) return std::nullopt;
    return std::clamp((*mean - kReactionFloorMs) / (kReactionCeilingMs - kReactionFloorMs), 0.0, 1.0);
}

Colour HeatColour(double value) {
    const double v = std::clamp(value, 0.0, 1.0);
    // Blue (40, 110, 220) to yellow (235, 210, 50) over the first half, yellow to red
    // (225, 40, 30) over the second.
    if (v <= 0.5) {
        const double t = v / 0.5;
        return Rgb(Lerp(40, 235, t), Lerp(110, 210, t), Lerp(220, 50, t));
    }
    const double t = (v - 0.5) / 0.5;
    return Rgb(Lerp(235, 225, t), Lerp(210, 40, t), Lerp(50, 30, t));
}

std::string WeakestKeysText(const ProgressSummary& summary) {
    int worstMiss = -1, slowest = -1;
    double worstRate = 0, slowestExcess = 0;
    const std::optional<double> overall = OverallMeanReaction(summary);
    for (int k = 0; k < kTypedKeyCount; ++k) {
        const KeyProgress& key = summary.keys[k];
        if (key.Targets() < kWeakKeyMinimumSamples) continue;
        if (key.misses > 0 && key.MissRate() > worstRate) {
            worstRate = key.MissRate();
            worstMiss = k;
        }
        const std::optional<double> mean = key.MeanReactionMs();
        if (overall && mean && *mean - *overall > slowestExcess) {
            slowestExcess = *mean - *overall;
            slowest = k;
        }
    }
    std::string text;
    if (worstMiss >= 0) text = KeyLabel(worstMiss) + " " + std::to_string(std::lround(worstRate * 100)) + " %";
    const long excess = std::lround(slowestExcess);
    if (slowest >= 0 && excess > 0) {
        if (!text.empty()) text += " · ";
        text += KeyLabel(slowest) + " +" + std::to_string(excess) + " ms";
    }
    return text;
}

std::string FormatDuration(int64_t ms) {
    const int64_t seconds = std::max<int64_t>(ms, 0) / 1000;
    char buffer[32];
    if (seconds >= 3600) {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    }
    return buffer;
}

std::array<float, kTypedKeyCount> PracticeWeights(const ProgressSummary& summary) {
    std::array<float, kTypedKeyCount> weights{};
    const std::optional<double> overall = OverallMeanReaction(summary);
    for (int k = 0; k < kTypedKeyCount; ++k) {
        const KeyProgress& key = summary.keys[k];
        double w = kWeightFloor + kMissWeight * key.MissRate();
        const std::optional<double> mean = key.MeanReactionMs();
        if (overall && mean && *overall > 0) w += kSlownessWeight * std::max(0.0, *mean / *overall - 1.0);
        weights[k] = std::min(static_cast<float>(w), kWeightCap);
    }
    return weights;
}

}  // namespace kelo
