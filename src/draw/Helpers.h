#pragma once
// Drawing helpers shared by every screen. They draw on the surface they are given; the
// game always gives them its back buffer, PicBack (the Game overloads in app/Game.h).

#include <cstdint>
#include <span>
#include <string_view>

#include "draw/Painter.h"
#include "draw/Text.h"

namespace kelo {

// Prints `text` with its top-left at (x, y) in `colour` at `size` points. The
// foreground colour stays set afterwards, so a later line drawn in the foreground
// colour takes the colour of the latest text.
void PrintText(Surface& surface, TextRenderer& font, std::string_view text, int16_t x, int16_t y, Colour colour,
               uint8_t size);

// PrintText for each copy in turn, all at `size` points: a bold or shadowed text.
void PrintTextCopies(Surface& surface, TextRenderer& font, std::string_view text, uint8_t size,
                     std::span<const TextCopy> copies);

// Horizontal correction, in pixels, that centres one target letter in its column.
int16_t GlyphOffset(std::string_view letter);

// Blackens the even rows from the left edge to x = width and the odd rows from
// x = 400 - width to the right edge (0 changes nothing, 400 blacks out the frame).
void DrawWipe(Surface& surface, int16_t width);

// On a tie both return their first argument.
inline float MaxSingle(float a, float b) { return a >= b ? a : b; }
inline float MinSingle(float a, float b) { return a > b ? b : a; }

}  // namespace kelo
