#include "draw/StarField.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "base/Numeric.h"
#include "draw/Painter.h"

namespace kelo {

namespace {

constexpr int kCentre = 150;
constexpr int kFarLimit = 80000;
constexpr int kNearLimit = 30000;

// b * tint + back, to the nearest integer (halves to even); the product of a whole
// brightness and a single-precision tint is exact in double precision.
int StarChannel(int brightness, float tint, uint8_t back) {
    return RoundToInt16(static_cast<double>(brightness) * static_cast<double>(tint) + back);
}

Colour StarColour(int brightness, const StarPalette& palette) {
    return Rgb(StarChannel(brightness, palette.starTint[0], palette.backColour[0]),
               StarChannel(brightness, palette.starTint[1], palette.backColour[1]),
               StarChannel(brightness, palette.starTint[2], palette.backColour[2]));
}

// One screen coordinate, at most the far limit. Changed: the original lets a star far
// enough off to one side overflow here; a replayed run may start from any state, so the
// sum is taken wide and also held at minus the far limit, where no star is drawn either way.
int32_t ScreenOffset(float along, int32_t depth) {
    const int64_t offset = int64_t{TruncDiv(RoundHalfEven(along), depth)} + kCentre;
    return static_cast<int32_t>(std::clamp<int64_t>(offset, -kFarLimit, kFarLimit));
}

}  // namespace

Colour StarColours::Of(int brightness) {
    if (brightness < 0 || brightness >= static_cast<int>(colours_.size())) return StarColour(brightness, palette_);
    if (!known_[brightness]) {
        colours_[brightness] = StarColour(brightness, palette_);
        known_[brightness] = true;
    }
    return colours_[brightness];
}

ProjectedStar ProjectStar(const Star& star, StarColours& colours) {
    const int32_t depth = TruncDiv(std::max(star.z, 0), 160) + 1;
    ProjectedStar p;
    p.sx = ScreenOffset(star.x, depth);
    p.sy = ScreenOffset(star.y, depth);
    p.colour = colours.Of(std::min(250 - TruncDiv(star.z, 320), 255));
    p.near = star.z <= kNearLimit;
    return p;
}

ProjectedStar ProjectStar(const Star& star, const StarPalette& palette) {
    StarColours colours(palette);
    return ProjectStar(star, colours);
}

void DrawStarField(Image& back, std::span<const Star> stars, const StarPalette& palette) {
    StarColours colours(palette);
    for (const Star& star : stars) {
        const ProjectedStar p = ProjectStar(star, colours);
        // Kept: the original tests only the vertical position here; a star off to the side
        // is simply clipped.
        if (std::abs(static_cast<int64_t>(p.sy) - kCentre) > kCentre) continue;
        SetPixelV(back, p.sx, p.sy, p.colour);
        if (p.near) {
            SetPixelV(back, p.sx + 1, p.sy, p.colour);
            SetPixelV(back, p.sx, p.sy + 1, p.colour);
            SetPixelV(back, p.sx + 1, p.sy + 1, p.colour);
        }
    }
}

}  // namespace kelo
