// The progress screen's pieces: the heatmap's colours and the wrong-key arrows against
// figures the test computes itself, the practice weighting drawn many times, and the
// weakest-keys line.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>

#include "app/Random.h"
#include "draw/Helpers.h"
#include "platform/common/Png.h"
#include "platform/common/TextRendering.h"
#include "screens/ProgressScreen.h"

namespace kelo {
namespace {

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

TEST(ProgressPreview, WritesPng) {
    const char* out = std::getenv("KELO_PROGRESS_PREVIEW");
    if (out == nullptr) GTEST_SKIP();
    std::string error;
    auto font = CreateTextRenderer(error);
    ASSERT_NE(font, nullptr) << error;
    const ProgressSummary summary = KnownSummary();
    Surface s(400, 300, kBlack, kWhite);
    ProgressView view;
    view.course = 4;
    view.summary = &summary;
    DrawProgressFrame(s, *font, view);
    SavePng(s.image, std::string(out) + "-miss.png");
    view.heat = HeatView::Reaction;
    view.course = -1;
    DrawProgressFrame(s, *font, view);
    SavePng(s.image, std::string(out) + "-reaction.png");
    ProgressSummary empty;
    empty.unreadable = true;
    view.summary = &empty;
    view.course = 0;
    DrawProgressFrame(s, *font, view);
    SavePng(s.image, std::string(out) + "-empty.png");
}

}  // namespace
}  // namespace kelo
