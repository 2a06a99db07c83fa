#pragma once
// The stars and their projection, shared by the front-end screens' resting star field
// and the run's moving one.

#include <array>
#include <bitset>
#include <cstdint>
#include <span>

#include "draw/Image.h"

namespace kelo {

struct Star {
    float x = 0;    // lateral, positive to the right
    float y = 0;    // vertical, positive downward
    int32_t z = 0;  // depth ahead of the viewer; alive while 1 <= z <= 80000
};

// What the course lends its stars' colour: each channel is the star's brightness times
// the tint, plus the back colour.
struct StarPalette {
    std::array<uint8_t, 3> backColour{};  // red, green, blue
    std::array<float, 3> starTint{};
};

struct ProjectedStar {
    int sx = 0;
    int sy = 0;
    Colour colour = 0;
    bool near = false;  // drawn as a 2 x 2 block (z <= 30000)
};

// The star colours of one palette, each brightness (0 to 255) worked out when first
// asked for: a frame's stars share a few hundred brightnesses.
class StarColours {
public:
    explicit StarColours(const StarPalette& palette) : palette_(palette) {}
    Colour Of(int brightness);

private:
    StarPalette palette_;
    std::array<Colour, 256> colours_;
    std::bitset<256> known_;
};

// Screen position around the centre (150, 150) and colour of one star. Visibility is
// the caller's test.
ProjectedStar ProjectStar(const Star& star, const StarPalette& palette);
ProjectedStar ProjectStar(const Star& star, StarColours& colours);

// Draws resting stars into `back`: the title's and course select's star field.
void DrawStarField(Image& back, std::span<const Star> stars, const StarPalette& palette);

}  // namespace kelo
