#include "draw/LayerSketch.h"

#include <algorithm>
#include <array>

#include "draw/Painter.h"

namespace kelo {

namespace {

bool SameSize(const Image& a, const Image& b) { return a.Width() == b.Width() && a.Height() == b.Height(); }

// Per bit, x -> (x | mask) & colour is one of: always 0, always 1, x itself. Kept in
// that normal form (set bits always 1 within keep, bits outside keep always 0), such
// functions compose into one of the same kind.
struct BitFunction {
    Colour set = 0;
    Colour keep = ~Colour{0};

    static BitFunction Layer(Colour mask, Colour colour) { return {mask & colour, colour}; }
    Colour operator()(Colour x) const { return (x | set) & keep; }
    // This function applied after `first`.
    BitFunction After(const BitFunction& first) const {
        const Colour passes = keep & ~set;
        return {set | (first.set & passes), (keep & ~passes) | (first.keep & passes)};
    }
};

bool IsConstant(Colour mask, Colour colour) { return (mask | ~colour) == ~Colour{0}; }

// Calls write(offset) for each pixel of `block`, by its offset in planes `stride` wide,
// in the order the block's pixels were set.
template <typename Write>
[[gnu::always_inline]] inline void ForEachPixelOf(const SketchedBlock& block, size_t stride, Write write) {
    const size_t at = block.y * stride + block.x;
    write(at);
    if (block.twoByTwo) {
        write(at + 1);
        write(at + stride);
        write(at + stride + 1);
    }
}

}  // namespace

void ClearLayer(LayerSketch& sketch, Image& colour, Image& mask, Colour colourFill, Colour maskFill) {
    const bool onlyPixels =
        sketch.Matches(colour, mask) && sketch.colourFill == colourFill && sketch.maskFill == maskFill;
    if (onlyPixels && !sketch.blocks.empty()) {
        Colour* colourOut = colour.Row(0);
        Colour* maskOut = mask.Row(0);
        const size_t stride = static_cast<size_t>(colour.Width());
        for (const SketchedBlock& b : sketch.blocks) {
            ForEachPixelOf(b, stride, [&](size_t at) {
                colourOut[at] = colourFill;
                maskOut[at] = maskFill;
            });
        }
    } else if (!onlyPixels) {
        FillRect(colour, 0, 0, colour.Width(), colour.Height(), colourFill);
        FillRect(mask, 0, 0, mask.Width(), mask.Height(), maskFill);
    }
    sketch.valid = SameSize(colour, mask);
    sketch.colourFill = colourFill;
    sketch.maskFill = maskFill;
    sketch.blocks.clear();
    sketch.constantPixels = true;
}

void SetLayerPixel(LayerSketch& sketch, Image& colour, Image& mask, int x, int y, Colour colourValue,
                   Colour maskValue) {
    SetPixelV(colour, x, y, colourValue);
    SetPixelV(mask, x, y, maskValue);
    if (sketch.valid && colour.Contains(x, y)) {
        sketch.blocks.push_back({static_cast<uint16_t>(x), static_cast<uint16_t>(y), colourValue, maskValue, false});
        sketch.constantPixels = sketch.constantPixels && IsConstant(maskValue, colourValue);
    }
}

void SetLayerBlock(LayerSketch& sketch, Image& colour, Image& mask, int x, int y, bool twoByTwo, Colour colourValue,
                   Colour maskValue) {
    const int size = twoByTwo ? 2 : 1;
    const bool inside =
        x >= 0 && y >= 0 && x + size <= colour.Width() && y + size <= colour.Height() && SameSize(colour, mask);
    if (!inside) {
        SetLayerPixel(sketch, colour, mask, x, y, colourValue, maskValue);
        if (!twoByTwo) return;
        SetLayerPixel(sketch, colour, mask, x + 1, y, colourValue, maskValue);
        SetLayerPixel(sketch, colour, mask, x, y + 1, colourValue, maskValue);
        SetLayerPixel(sketch, colour, mask, x + 1, y + 1, colourValue, maskValue);
        return;
    }
    // The whole block lies in both planes: no pixel needs its own clipping, and the
    // planes' stamps move once for it.
    const size_t stride = static_cast<size_t>(colour.Width());
    const size_t at = static_cast<size_t>(y) * stride + static_cast<size_t>(x);
    Colour* colourOut = colour.Row(0) + at;
    Colour* maskOut = mask.Row(0) + at;
    colourOut[0] = colourValue, maskOut[0] = maskValue;
    if (twoByTwo) {
        colourOut[1] = colourValue, maskOut[1] = maskValue;
        colourOut[stride] = colourValue, maskOut[stride] = maskValue;
        colourOut[stride + 1] = colourValue, maskOut[stride + 1] = maskValue;
    }
    if (!sketch.valid) return;
    sketch.blocks.push_back({static_cast<uint16_t>(x), static_cast<uint16_t>(y), colourValue, maskValue, twoByTwo});
    sketch.constantPixels = sketch.constantPixels && IsConstant(maskValue, colourValue);
}

void SealLayer(LayerSketch& sketch, const Image& colour, const Image& mask) {
    sketch.colourStamp = colour.Stamp();
    sketch.maskStamp = mask.Stamp();
}

void StoreLayer(SketchedHistory& history, int slot, const LayerSketch& sketch, const Image& colour, const Image& mask,
                Image& historyColour, Image& historyMask) {
    const int width = colour.Width(), height = colour.Height();
    const int x0 = slot * width;
    if (historyColour.Stamp() != history.colourStamp || historyMask.Stamp() != history.maskStamp) {
        for (LayerSketch& stored : history.slots) stored.valid = false;
    }
    LayerSketch& stored = history.slots[slot];
    const bool fits =
        SameSize(historyColour, historyMask) && historyColour.Height() == height && historyColour.Width() >= x0 + width;
    const bool onlyPixels = fits && stored.valid && sketch.Matches(colour, mask) &&
                            stored.colourFill == sketch.colourFill && stored.maskFill == sketch.maskFill;
    if (onlyPixels) {
        const size_t stride = static_cast<size_t>(historyColour.Width());
        Colour* colourOut = historyColour.Row(0) + x0;
        Colour* maskOut = historyMask.Row(0) + x0;
        for (const SketchedBlock& b : stored.blocks) {
            ForEachPixelOf(b, stride, [&](size_t at) {
                colourOut[at] = stored.colourFill;
                maskOut[at] = stored.maskFill;
            });
        }
        for (const SketchedBlock& b : sketch.blocks) {
            ForEachPixelOf(b, stride, [&](size_t at) {
                colourOut[at] = b.colour;
                maskOut[at] = b.mask;
            });
        }
    } else {
        BitBlt(historyColour, x0, 0, width, height, colour, 0, 0, BlitMode::Copy);
        BitBlt(historyMask, x0, 0, width, height, mask, 0, 0, BlitMode::Copy);
    }
    stored.valid = fits && sketch.Matches(colour, mask);
    stored.colourFill = sketch.colourFill;
    stored.maskFill = sketch.maskFill;
    stored.blocks.assign(sketch.blocks.begin(), sketch.blocks.end());
    stored.constantPixels = sketch.constantPixels;
    history.colourStamp = historyColour.Stamp();
    history.maskStamp = historyMask.Stamp();
}

bool ComposeSketched(Image& view, const SketchedLayers& layers, std::span<const int> order, const Image& colour,
                     const Image& mask, const Image& historyColour, const Image& historyMask) {
    const int width = colour.Width(), height = colour.Height();
    if (!layers.current.Matches(colour, mask) || view.Width() < width || view.Height() < height) return false;
    if (historyColour.Stamp() != layers.history.colourStamp || historyMask.Stamp() != layers.history.maskStamp)
        return false;
    // The layers, oldest first; the planes hold what their sketches say.
    if (order.size() > kSketchedSlots) return false;
    std::array<const LayerSketch*, kSketchedSlots + 1> stack;
    size_t count = 0;
    for (int slot : order) {
        if (!layers.history.slots[slot].valid) return false;
        stack[count++] = &layers.history.slots[slot];
    }
    stack[count++] = &layers.current;
    for (size_t j = 0; j < count; ++j) {
        if (!stack[j]->constantPixels) return false;
    }

    // after[j]: what the fills of the layers above layer j do to a pixel.
    std::array<BitFunction, kSketchedSlots + 1> after{};
    for (size_t j = count - 1; j > 0; --j) {
        after[j - 1] = after[j].After(BitFunction::Layer(stack[j]->maskFill, stack[j]->colourFill));
    }
    const Colour background = after[0].After(BitFunction::Layer(stack[0]->maskFill, stack[0]->colourFill))(kBlack);
    FillRect(view, 0, 0, width, height, background);

    // A sketched pixel sets colour and mask so that the layer's result there is the same
    // whatever lies below; the layers above then apply only their fills. The planes hold
    // what the sketches say (their stamps vouch for it), so they are not read.
    Colour* out = view.Row(0);
    const size_t viewStride = static_cast<size_t>(view.Width());
    for (size_t j = 0; j < count; ++j) {
        const BitFunction above = after[j];
        for (const SketchedBlock& b : stack[j]->blocks) {
            const Colour result = above(b.mask & b.colour);
            ForEachPixelOf(b, viewStride, [&](size_t at) { out[at] = result; });
        }
    }
    return true;
}

}  // namespace kelo
