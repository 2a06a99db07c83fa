#pragma once
// Star layers drawn the cheap way. A layer is a pair of planes, colour and mask, each
// filled with one colour and then given single pixels and 2 x 2 blocks; its sketch
// remembers the fills and where the pixels went. A history keeps such layers side by side
// in two wide planes. With the sketches, clearing a layer, storing it in the history and
// laying the history over a view touch only the remembered pixels, with exactly the
// result of the whole-plane operations. A sketch is used only while the planes' stamps
// show that nothing else has written them since; otherwise the whole-plane work is done.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "draw/Image.h"

namespace kelo {

// A pixel, or the 2 x 2 block whose top-left it is, set after the fill, with what it was
// set to. A pixel may be set more than once; its last entry holds what the planes hold.
// Near stars are blocks, and at full warp nearly all stars are near: one entry for the
// block keeps a sketch a quarter the size.
struct SketchedBlock {
    uint16_t x;
    uint16_t y;
    Colour colour;
    Colour mask;
    bool twoByTwo;
};

struct LayerSketch {
    bool valid = false;
    Colour colourFill = 0;
    Colour maskFill = 0;
    std::vector<SketchedBlock> blocks;
    // Whether every pixel's colour and mask give it one result whatever lies below it
    // (its mask covers every bit its colour clears), which composing relies on.
    bool constantPixels = true;
    ImageStamp colourStamp;  // the planes as the sketch last left them
    ImageStamp maskStamp;

    bool Matches(const Image& colour, const Image& mask) const {
        return valid && colour.Stamp() == colourStamp && mask.Stamp() == maskStamp;
    }
};

constexpr int kSketchedSlots = 10;

struct SketchedHistory {
    std::array<LayerSketch, kSketchedSlots> slots;
    ImageStamp colourStamp;
    ImageStamp maskStamp;
};

// The layer pair of the current frame, its sketch, and the history it is stored in.
struct SketchedLayers {
    LayerSketch current;
    SketchedHistory history;
};

// Fills both planes entirely (colour plane with `colourFill`, mask with `maskFill`) and
// starts a new sketch of them.
void ClearLayer(LayerSketch& sketch, Image& colour, Image& mask, Colour colourFill, Colour maskFill);

// Sets one pixel of both planes (nothing outside them) and notes it in the sketch.
void SetLayerPixel(LayerSketch& sketch, Image& colour, Image& mask, int x, int y, Colour colourValue, Colour maskValue);

// SetLayerPixel on (x, y) and, when `twoByTwo`, then on (x + 1, y), (x, y + 1) and
// (x + 1, y + 1), in that order: a star's block.
void SetLayerBlock(LayerSketch& sketch, Image& colour, Image& mask, int x, int y, bool twoByTwo, Colour colourValue,
                   Colour maskValue);

// Records that the planes are drawn: the sketch holds until something else writes them.
void SealLayer(LayerSketch& sketch, const Image& colour, const Image& mask);

// Copies the layer (planes as wide as a slot, as high as the history) into `slot` of
// the history planes, at x = slot * layer width.
void StoreLayer(SketchedHistory& history, int slot, const LayerSketch& sketch, const Image& colour, const Image& mask,
                Image& historyColour, Image& historyMask);

// Lays the history slots `order` (oldest first), then the current layer, over black in
// the top-left layer-sized square of `view`: per pixel, each layer's mask OR'ed in and
// its colour AND'ed. Returns false when the sketches cannot vouch for the planes; the
// square then has to be composed plane by plane.
bool ComposeSketched(Image& view, const SketchedLayers& layers, std::span<const int> order, const Image& colour,
                     const Image& mask, const Image& historyColour, const Image& historyMask);

}  // namespace kelo
