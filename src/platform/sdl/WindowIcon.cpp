#include "platform/sdl/WindowIcon.h"

#include <cstdint>
#include <cstdlib>

namespace kelo {

namespace {

constexpr int kIconSize = 32;
constexpr uint32_t kNavy = 0xFF000080, kWhite = 0xFFFFFFFF, kYellow = 0xFFFFFF00, kRed = 0xFFFF0000, kCyan = 0xFF00FFFF;

constexpr int kStars[][2] = {{3, 4}, {27, 2}, {12, 8}, {24, 13}, {5, 19}, {29, 24}, {9, 28}, {20, 30}, {15, 2}};

// The craft: a triangle with its nose at the top centre, a red canopy and a cyan flame.
uint32_t CraftPixel(int x, int y) {
    const int halfWidth = (y - 6) / 2;
    if (y >= 6 && y <= 24 && std::abs(x - 16) <= halfWidth) {
        return (y >= 13 && y <= 16 && std::abs(x - 16) <= 1) ? kRed : kYellow;
    }
    if (y > 24 && y <= 28 && std::abs(x - 16) <= 28 - y) return kCyan;
    return 0;
}

}  // namespace

void SetWindowIcon(SDL_Window* window) {
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormat(0, kIconSize, kIconSize, 32, SDL_PIXELFORMAT_ARGB8888);
    if (icon == nullptr) return;
    auto* pixels = static_cast<uint32_t*>(icon->pixels);
    const int stride = icon->pitch / 4;
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) pixels[y * stride + x] = kNavy;
    }
    for (const auto& star : kStars) pixels[star[1] * stride + star[0]] = kWhite;
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            if (uint32_t colour = CraftPixel(x, y)) pixels[y * stride + x] = colour;
        }
    }
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

}  // namespace kelo
