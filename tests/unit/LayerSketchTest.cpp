#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "draw/LayerSketch.h"
#include "draw/Painter.h"

namespace kelo {
namespace {

constexpr int kWidth = 7, kHeight = 5;

// The layers drawn twice: through the sketches, and plane by plane as reference.
struct Layers {
    Image colour{kWidth, kHeight}, mask{kWidth, kHeight};
    Image history{kWidth * kSketchedSlots, kHeight}, historyMask{kWidth * kSketchedSlots, kHeight};
    SketchedLayers sketches;
    Image refColour{kWidth, kHeight}, refMask{kWidth, kHeight};
    Image refHistory{kWidth * kSketchedSlots, kHeight}, refHistoryMask{kWidth * kSketchedSlots, kHeight};

    void Draw(std::mt19937& random, Colour maskFill, int slot) {
        ClearLayer(sketches.current, colour, mask, kWhite, maskFill);
        refColour.Fill(kWhite);
        refMask.Fill(maskFill);
        const int count = static_cast<int>(random() % 6);
        for (int i = 0; i < count; ++i) {
            // Some pixels or blocks fall outside, wholly or partly; some land twice.
            const int x = static_cast<int>(random() % (kWidth + 2)) - 1,
                      y = static_cast<int>(random() % (kHeight + 2)) - 1;
            const Colour star = random() & 0xFFFFFF;
            const bool block = random() % 2 == 0;
            SetLayerBlock(sketches.current, colour, mask, x, y, block, star, kWhite);
            for (int d = 0; d < (block ? 4 : 1); ++d) {
                SetPixelV(refColour, x + d % 2, y + d / 2, star);
                SetPixelV(refMask, x + d % 2, y + d / 2, kWhite);
            }
        }
        SealLayer(sketches.current, colour, mask);
        StoreLayer(sketches.history, slot, sketches.current, colour, mask, history, historyMask);
        BitBlt(refHistory, slot * kWidth, 0, kWidth, kHeight, refColour, 0, 0, BlitMode::Copy);
        BitBlt(refHistoryMask, slot * kWidth, 0, kWidth, kHeight, refMask, 0, 0, BlitMode::Copy);
    }

    Image Reference(const std::vector<int>& order) const {
        Image view(kWidth + 3, kHeight + 1, Rgb(1, 2, 3));
        FillRect(view, 0, 0, kWidth, kHeight, kBlack);
        for (int slot : order) {
            BitBlt(view, 0, 0, kWidth, kHeight, refHistoryMask, slot * kWidth, 0, BlitMode::Or);
            BitBlt(view, 0, 0, kWidth, kHeight, refHistory, slot * kWidth, 0, BlitMode::And);
        }
        BitBlt(view, 0, 0, kWidth, kHeight, refMask, 0, 0, BlitMode::Or);
        BitBlt(view, 0, 0, kWidth, kHeight, refColour, 0, 0, BlitMode::And);
        return view;
    }
};

// Frame after frame, with the background changing now and then and a varying number of
// history slots laid under the current layer, the planes, the history and the composed
// view equal the plane-by-plane results exactly.
TEST(LayerSketch, ClearingStoringAndComposingMatchWholePlaneWork) {
    std::mt19937 random(7);
    Layers layers;
    Colour background = Rgb(10, 40, 140);
    for (int frame = 0; frame < 400; ++frame) {
        if (frame % 37 == 0) background = random() & 0xFFFFFF;
        const int slot = frame % kSketchedSlots;
        layers.Draw(random, background, slot);
        ASSERT_EQ(layers.colour.Pixels(), layers.refColour.Pixels()) << frame;
        ASSERT_EQ(layers.mask.Pixels(), layers.refMask.Pixels()) << frame;
        ASSERT_EQ(layers.history.Pixels(), layers.refHistory.Pixels()) << frame;
        ASSERT_EQ(layers.historyMask.Pixels(), layers.refHistoryMask.Pixels()) << frame;

        std::vector<int> order;
        const int streaks = std::min(frame, static_cast<int>(random() % kSketchedSlots));
        for (int k = streaks; k >= 1; --k) order.push_back((slot + kSketchedSlots - k) % kSketchedSlots);
        Image view(kWidth + 3, kHeight + 1, Rgb(1, 2, 3));
        const bool sketched = ComposeSketched(view, layers.sketches, order, layers.colour, layers.mask, layers.history,
                                              layers.historyMask);
        if (frame >= kSketchedSlots) {
            ASSERT_TRUE(sketched) << frame;
        }
        if (sketched) {
            ASSERT_EQ(view.Pixels(), layers.Reference(order).Pixels()) << frame;
        }
    }
}

// A pixel written into the history or the current planes behind the sketches' back
// makes them step aside, and the next stores bring the history back in line.
TEST(LayerSketch, WritesElsewhereAreNoticed) {
    std::mt19937 random(3);
    Layers layers;
    for (int slot = 0; slot < kSketchedSlots; ++slot) layers.Draw(random, kBlack, slot);
    const std::vector<int> order = {8, 9};
    Image view(kWidth + 3, kHeight + 1, Rgb(1, 2, 3));
    ASSERT_TRUE(
        ComposeSketched(view, layers.sketches, order, layers.colour, layers.mask, layers.history, layers.historyMask));

    SetPixelV(layers.history, 9 * kWidth + 2, 2, Rgb(5, 5, 5));
    SetPixelV(layers.refHistory, 9 * kWidth + 2, 2, Rgb(5, 5, 5));
    EXPECT_FALSE(
        ComposeSketched(view, layers.sketches, order, layers.colour, layers.mask, layers.history, layers.historyMask));
    for (int slot = 0; slot < kSketchedSlots; ++slot) {
        layers.Draw(random, kBlack, slot);
        ASSERT_EQ(layers.history.Pixels(), layers.refHistory.Pixels()) << slot;
    }
    ASSERT_TRUE(
        ComposeSketched(view, layers.sketches, order, layers.colour, layers.mask, layers.history, layers.historyMask));
    EXPECT_EQ(view.Pixels(), layers.Reference(order).Pixels());

    layers.mask.Fill(Rgb(9, 9, 9));
    EXPECT_FALSE(
        ComposeSketched(view, layers.sketches, order, layers.colour, layers.mask, layers.history, layers.historyMask));
    layers.refMask.Fill(Rgb(9, 9, 9));
    layers.Draw(random, kBlack, 0);
    EXPECT_EQ(layers.mask.Pixels(), layers.refMask.Pixels());
}

}  // namespace
}  // namespace kelo
