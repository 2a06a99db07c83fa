#pragma once
#include <algorithm>
#include <cstdint>

namespace kelo {

// A 24-bit colour packed as red + 256 * green + 65536 * blue. Block copies in OR and
// AND mode combine these packed values directly.
using Colour = uint32_t;

// Builds a colour from channel values; a channel above 255 counts as 255 (screens add
// offsets such as 120 or 220 to a course's base colour and rely on this), below 0 as 0.
constexpr Colour Rgb(int red, int green, int blue) {
    auto cap = [](int c) { return static_cast<uint32_t>(c < 0 ? 0 : (c > 255 ? 255 : c)); };
    return cap(red) | (cap(green) << 8) | (cap(blue) << 16);
}

constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kWhite = Rgb(255, 255, 255);

}  // namespace kelo
