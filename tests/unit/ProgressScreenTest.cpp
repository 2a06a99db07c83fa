// The progress screen's pieces: the heatmap's colours and the wrong-key arrows against
// figures the test computes itself, the practice weighting drawn many times, and the
// weakest-keys line.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>

#include "RunTestPlatform.h"
#include "app/Random.h"
#include "draw/Helpers.h"
#include "platform/NullPlatform.h"
#include "run/Typing.h"
#include "screens/ProgressScreen.h"

namespace kelo {
namespace {

using testing::RunTestPlatform;

// A summary with known figures: key k hit 40 times and missed k % 7 * 3 times,
// reacting in 300 + 10 k ms; three wrong-key pairs; 12 runs getting faster.
ProgressSummary KnownSummary() {
    ProgressSummary s;
    s.runs = 12;
    s.practisedMs = 754000;
    for (int k = 0; k < kTypedKeyCount; ++k) {
        s.keys[k].hits = 40;
        s.keys[k].misses = k % 7 * 3;
        s.keys[k].reactions = 40;
        s.keys[k].reactionMsTotal = 40 * (300 + 10 * k);
    }
    s.wrongPairs = {{TypedKeyIndex('F'), TypedKeyIndex('D'), 9},
                    {TypedKeyIndex('J'), TypedKeyIndex('H'), 6},
                    {TypedKeyIndex('Q'), TypedKeyIndex('P'), 2}};
    for (int r = 0; r < 12; ++r) s.recent.push_back({60.0 + 7 * r, 0.8 + 0.015 * r, r % 4 != 1, r == 9});
    return s;
}

// The practice draw spends exactly one generator value per letter like the plain draw,
// picks the same letter when all weights are equal, and follows the weights: over
// 60000 letters each key's share stays within four standard deviations of its weight's.
TEST(PracticeDraw, SpendsOneDrawPerLetterAndFollowsTheWeights) {
    RunTestPlatform platform;
    Game plain{platform}, practice{platform};
    plain.state.keyPoolSize = practice.state.keyPoolSize = {15, 13};
    plain.random.Seed(5);
    practice.random.Seed(5);
    std::array<float, kTypedKeyCount> equal{};
    equal.fill(2.5f);
    practice.practiceWeights = equal;
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(DrawLetter(plain, i % 2), DrawLetter(practice, i % 2)) << i;

    std::array<float, kTypedKeyCount> weights{};
    for (int k = 0; k < kTypedKeyCount; ++k) weights[k] = 1.0f + static_cast<float>(k % 5) * 2.0f;
    practice.practiceWeights = weights;
    practice.state.keyPoolSize = {9, 13};
    constexpr int kDraws = 60000;
    for (int hand = 0; hand < 2; ++hand) {
        const std::string_view pool = HandKeys(hand).substr(0, practice.state.keyPoolSize[hand]);
        std::map<char, int> counts;
        for (int i = 0; i < kDraws; ++i) ++counts[DrawLetter(practice, hand)];
        double total = 0;
        for (char c : pool) total += weights[TypedKeyIndex(c)];
        for (char c : pool) {
            const double p = weights[TypedKeyIndex(c)] / total;
            const double sigma = std::sqrt(kDraws * p * (1 - p));
            EXPECT_NEAR(counts[c], kDraws * p, 4 * sigma) << "hand " << hand << " key " << c;
        }
        EXPECT_EQ(counts.size(), pool.size()) << "a letter outside the pool, or one never drawn";
    }
}

// The documented weighting: floor 1, 8 per unit of miss rate, 4 per unit of slowness
// against the mean of all keys, capped at 10.
TEST(PracticeWeighting, FollowsMissRateAndSlownessWithFloorAndCap) {
    ProgressSummary s;
    const auto set = [&](char c, int hits, int misses, int meanMs) {
        KeyProgress& k = s.keys[TypedKeyIndex(c)];
        k.hits = hits;
        k.misses = misses;
        k.reactions = hits;
        k.reactionMsTotal = static_cast<int64_t>(hits) * meanMs;
    };
    set('A', 90, 30, 400);  // a miss in four, at the mean
    set('S', 100, 0, 600);  // clean but 1.5 times the mean
    set('D', 100, 0, 200);  // faster than the mean: no bonus
    set('F', 10, 90, 400);  // capped
    // The mean over all timed hits: (90*400 + 100*600 + 100*200 + 10*400) / 300 = 400.
    const std::array<float, kTypedKeyCount> w = PracticeWeights(s);
    EXPECT_FLOAT_EQ(w[TypedKeyIndex('A')], 3.0f);
    EXPECT_FLOAT_EQ(w[TypedKeyIndex('S')], 3.0f);
    EXPECT_FLOAT_EQ(w[TypedKeyIndex('D')], 1.0f);
    EXPECT_FLOAT_EQ(w[TypedKeyIndex('F')], 8.2f);
    EXPECT_FLOAT_EQ(w[TypedKeyIndex('Q')], 1.0f);  // no data
    set('F', 0, 100, 400);
    EXPECT_FLOAT_EQ(PracticeWeights(s)[TypedKeyIndex('F')], 9.0f);
    set('F', 1, 100, 2000);
    EXPECT_FLOAT_EQ(PracticeWeights(s)[TypedKeyIndex('F')], 10.0f);
}

// Each key of the course is painted in the colour of its own miss rate (or mean
// reaction), computed here from the figures; keys outside the course stay dim and
// never take a heat colour.
TEST(ProgressHeatmap, PaintsEachKeyByItsOwnFigures) {
    ProgressSummary s = KnownSummary();
    NullText font;
    for (const HeatView heat : {HeatView::MissRate, HeatView::Reaction}) {
        for (const int course : {0, 4}) {
            Surface surface(400, 300, kBlack, kWhite);
            const ProgressView view{course, Difficulty::Normal, heat, kUsQwerty, &s};
            DrawProgressFrame(surface, font, view);
            const std::array<bool, kTypedKeyCount> inCourse = CourseKeys(course);
            int coloured = 0;
            for (int k = 0; k < kTypedKeyCount; ++k) {
                const KeyBox box = KeyBoxOf(kUsQwerty, k);
                // The bottom-right corner: clear of the letter and of the arrows' ends.
                const Colour shown = surface.image.At(box.x2, box.y2);
                const KeyProgress& key = s.keys[k];
                const double value =
                    heat == HeatView::MissRate
                        ? std::min(1.0, static_cast<double>(key.misses) / (key.hits + key.misses) / 0.40)
                        : std::clamp((static_cast<double>(key.reactionMsTotal) / key.reactions - 250) / 500, 0.0, 1.0);
                if (inCourse[k]) {
                    EXPECT_EQ(shown, HeatColour(value)) << TypedKeyChar(k) << " course " << course;
                    ++coloured;
                } else {
                    EXPECT_EQ(shown, surface.image.At(KeyBoxOf(kUsQwerty, TypedKeyIndex('Q')).x2, 28 + 18))
                        << TypedKeyChar(k) << " is outside course " << course << " and should be dim";
                }
            }
            EXPECT_EQ(coloured, course == 0 ? 9 : 28);  // course 1 widens to the home row
        }
    }
    // The scale's ends and middle.
    EXPECT_EQ(HeatColour(0), Rgb(40, 110, 220));
    EXPECT_EQ(HeatColour(0.5), Rgb(235, 210, 50));
    EXPECT_EQ(HeatColour(1), Rgb(225, 40, 30));
    EXPECT_EQ(HeatColour(7), HeatColour(1));
}

// An arrow starts inside the target key and ends inside the typed key, pointing from the
// one to the other, on any layout; it is drawn in its rank's colour.
TEST(ProgressArrows, RunFromTheTargetKeyToTheTypedKey) {
    const KeyLayout azerty = LayoutFromRows("AZERTYUIOP", "QSDFGHJKLM", "WXCVBN,.");
    const auto inside = [](const KeyBox& b, double x, double y) {
        return x >= b.x1 && x <= b.x2 && y >= b.y1 && y <= b.y2;
    };
    for (const KeyLayout* layout : {&kUsQwerty, &azerty}) {
        for (const auto& [from, to] : {std::pair{'F', 'D'}, {'Q', 'P'}, {'Z', '.'}, {'M', 'A'}, {'J', 'U'}}) {
            const KeyMixUp pair{TypedKeyIndex(from), TypedKeyIndex(to), 3};
            for (const int lane : {-1, 0, 1}) {
                const Arrow a = WrongKeyArrow(*layout, pair, lane);
                const KeyBox target = KeyBoxOf(*layout, pair.target), typed = KeyBoxOf(*layout, pair.typed);
                EXPECT_TRUE(inside(target, a.x1, a.y1)) << from << "->" << to;
                EXPECT_TRUE(inside(typed, a.x2, a.y2)) << from << "->" << to;
                EXPECT_GT((a.x2 - a.x1) * (typed.CentreX() - target.CentreX()) +
                              (a.y2 - a.y1) * (typed.CentreY() - target.CentreY()),
                          0)
                    << from << "->" << to;
            }
        }
    }
    ProgressSummary s = KnownSummary();
    NullText font;
    Surface surface(400, 300, kBlack, kWhite);
    DrawProgressFrame(surface, font, ProgressView{4, Difficulty::Normal, HeatView::MissRate, kUsQwerty, &s});
    const Colour rankColours[] = {Rgb(255, 255, 255), Rgb(255, 160, 60), Rgb(220, 130, 255)};
    for (int i = 0; i < 3; ++i) {
        const Arrow a = WrongKeyArrow(kUsQwerty, s.wrongPairs[i], ArrowLane(i));
        EXPECT_EQ(surface.image.At(static_cast<int>(std::lround(a.x1)), static_cast<int>(std::lround(a.y1))),
                  rankColours[i])
            << "arrow " << i;
    }
}

// The figures line names the key with the highest miss rate and the one slowest against
// the mean, among keys with at least five targets.
TEST(ProgressFigures, NameTheWeakestKeys) {
    ProgressSummary s = KnownSummary();
    // G (index 6) misses 18 in 58: 31 %; "." (index 27) reacts in 570 ms against a mean
    // of 435 ms over all keys.
    EXPECT_EQ(WeakestKeysText(s), "G 31 % · . +135 ms");
    s.keys[TypedKeyIndex('X')] = {1, 3, 1, 5000};  // too few targets to count
    EXPECT_EQ(WeakestKeysText(s).substr(0, 6), "G 31 %");
    EXPECT_EQ(WeakestKeysText(ProgressSummary{}), "");
    EXPECT_EQ(FormatDuration(754000), "12:34");
    EXPECT_EQ(FormatDuration(3600000 + 65000), "1:01:05");
}

}  // namespace
}  // namespace kelo
