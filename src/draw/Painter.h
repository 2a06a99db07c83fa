#pragma once
// The whole drawing API. Every primitive clips once at its entry: drawing outside a
// surface's image is silently dropped. Coordinates are pixels, origin top left;
// fractional coordinates are rounded to the nearest pixel (halves to even).
//
// Conventions shared by the primitives:
//  - Lines paint their start pixel and every pixel up to, but not including, the end
//    pixel; a zero-length line paints nothing. After any line, box or filled box the
//    surface's current position is its (second) end point; circles, arcs and text
//    leave it where it was.
//  - Coordinates beyond +-2^28 are pulled in to that limit (nothing there is visible).
//  - Boxes and filled boxes cover both corner pixels.
//  - Angles are radians, 0 at three o'clock, increasing counter-clockwise as seen on
//    screen. A negative angle means its absolute value and also draws the radius from
//    the centre to that end of the arc; -0.0 counts as negative, so a sector edge at
//    three o'clock is written -0.0. Equal ends (0 and 2 pi included) mean the whole turn.
//  - Fills (box interiors, full circles, arcs closed by both radii) use the surface's
//    fill colour while its fill style is solid.

#include <span>
#include <string_view>

#include "draw/Image.h"
#include "draw/Text.h"

namespace kelo {

enum class FillStyle { Solid, Transparent };

// A picture surface: a persistent pixel image with its drawing state.
struct Surface {
    Surface() = default;
    Surface(int width, int height, Colour background, Colour foreground)
        : image(width, height, background), foreColour(foreground) {}

    Image image;
    Colour foreColour = kBlack;
    Colour fillColour = kBlack;
    FillStyle fillStyle = FillStyle::Solid;
    int fontSize = 12;
    double currentX = 0;
    double currentY = 0;
};

enum class BlitMode { Copy, Or, And };

// Lines. The second form takes the foreground colour; the third starts at the current
// position (the end point of the previous line).
void Line(Surface& s, double x1, double y1, double x2, double y2, Colour colour);
void Line(Surface& s, double x1, double y1, double x2, double y2);
void LineTo(Surface& s, double x2, double y2, Colour colour);
void LineTo(Surface& s, double x2, double y2);

// Rectangle outline in `colour`; its interior takes the fill colour while solid.
void Box(Surface& s, double x1, double y1, double x2, double y2, Colour colour);
// Rectangle painted entirely in `colour`.
void FilledBox(Surface& s, double x1, double y1, double x2, double y2, Colour colour);

// Full circle with outline `colour`, filled while the fill style is solid.
void Circle(Surface& s, double cx, double cy, double radius, Colour colour);
// Arc from `start` to `end` (counter-clockwise); negative angles add their radius.
void Arc(Surface& s, double cx, double cy, double radius, Colour colour, double start, double end);

void SetPixelV(Surface& s, int x, int y, Colour colour);
inline void SetPixelV(Image& image, int x, int y, Colour colour) {
    if (image.Contains(x, y)) image.At(x, y) = colour;
}

// Copies the w x h rectangle at (sx, sy) of `src` to (dx, dy) of `dest`, combining each
// packed colour by copy, OR or AND. Clipped against both images.
void BitBlt(Image& dest, int dx, int dy, int w, int h, const Image& src, int sx, int sy, BlitMode mode);

// Fills the rectangle [x, x + w) x [y, y + h) with one colour (clipped).
void FillRect(Image& dest, int x, int y, int w, int h, Colour colour);

// Prints text with its top-left at the current position, in the foreground colour at
// the surface's font size. Only the glyphs are blended in, never a background box.
void Print(Surface& s, TextRenderer& text, std::string_view utf8);

// One of several prints of one text: its top-left and colour.
struct TextCopy {
    int16_t x;
    int16_t y;
    Colour colour;
};

// Prints `utf8` at each copy's place in its colour, in order, at the surface's font size:
// exactly the pixels of one Print per copy. The surface is left at the last copy's
// position and colour.
void PrintCopies(Surface& s, TextRenderer& text, std::string_view utf8, std::span<const TextCopy> copies);

}  // namespace kelo
