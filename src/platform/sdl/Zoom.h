#pragma once
// How the 400 x 300 picture fills a window of any size: scaled by a whole number with
// nearest-neighbour pixels, centred on black. Pure functions; the presenter applies them
// to SDL's window surface. Changed: the original's window is exactly 400 x 300 and never
// changes size; the picture itself is still 400 x 300, only shown larger.

#include <cstdint>
#include <vector>

#include "draw/Image.h"

namespace kelo {

inline constexpr int kPictureWidth = 400;
inline constexpr int kPictureHeight = 300;

// The zoom a new window starts with: the largest whole number whose window is at most
// 60 % of the usable height of the display (and fits its usable width); at least 1.
// Sizes are in real pixels.
int DefaultZoom(int usableWidth, int usableHeight);

// The zoom keys: Ctrl+Plus, Ctrl+Minus and Ctrl+0.
enum class ZoomKey { In, Out, Reset };

// The window's zoom after a zoom key: one step up or down, kept from 1 to `largest` (the
// largest that fits the display), or back to `defaultZoom`.
int ZoomAfterKey(ZoomKey key, int current, int defaultZoom, int largest);

// Where the picture goes in a window of `width` x `height` pixels: the largest whole
// zoom that fits (at least 1), centred. x and y are negative when even zoom 1 does not
// fit, and the picture is then cut at the window's edges.
struct Placement {
    int x = 0;
    int y = 0;
    int zoom = 1;
    int Width() const { return kPictureWidth * zoom; }
    int Height() const { return kPictureHeight * zoom; }
};
Placement PlacePicture(int width, int height);

// A 32-bit pixel layout: where each 8-bit channel sits.
struct ChannelShifts {
    int red = 16;
    int green = 8;
    int blue = 0;
    bool operator==(const ChannelShifts&) const = default;
};

// A block of 32-bit pixels to draw into; `pitch` counts pixels, not bytes.
struct PixelTarget {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
};

// Picture rows [first, end).
struct PictureRows {
    int first = 0;
    int end = kPictureHeight;
    bool Empty() const { return first >= end; }
    bool operator==(const PictureRows&) const = default;
};

// Brings `picture` up to date with `frame`: the 400 x 300 picture of `frame` (its
// top-left part; black where it is smaller) as 32-bit pixels laid out as `shifts` says,
// row after row. Returns the rows that changed: all of them when `picture` held no
// picture before, none when it already showed this frame in this layout.
PictureRows ConvertPicture(const Image& frame, const ChannelShifts& shifts, std::vector<uint32_t>& picture);

// The same with the picture kept at zoom 1 in `target`, its top-left pixel at (x, y),
// all of it inside: the target's pixels there are the picture to bring up to date.
// With `fresh` every row is written and counted as changed.
PictureRows ConvertPictureOnto(const Image& frame, const ChannelShifts& shifts, const PixelTarget& target, int x, int y,
                               bool fresh);

// Draws `rows` of a converted picture into `target` at `placement`, each picture pixel
// becoming a zoom x zoom block. Pixels outside those rows are untouched.
void DrawZoomed(const std::vector<uint32_t>& picture, const Placement& placement, const PixelTarget& target,
                PictureRows rows = {});

// Paints the whole target black.
void FillBlack(const PixelTarget& target);

}  // namespace kelo
