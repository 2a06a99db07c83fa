#include "platform/sdl/WindowIcon.h"

#include <cstdint>
#include <cstdlib>

#include <SDL_syswm.h>

#include "platform/sdl/X11WindowManager.h"

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

// The design's pixel at grid position (x, y).
uint32_t DesignPixel(int x, int y) {
    if (const uint32_t craft = CraftPixel(x, y)) return craft;
    for (const auto& star : kStars) {
        if (star[0] == x && star[1] == y) return kWhite;
    }
    return kNavy;
}

}  // namespace

std::vector<uint32_t> WindowIconPixels(int size) {
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) pixels[y * size + x] = DesignPixel(x * kIconSize / size, y * kIconSize / size);
    }
    return pixels;
}

void SetWindowIcon(SDL_Window* window) {
    const std::vector<uint32_t> pixels = WindowIconPixels(kIconSize);
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels.data()), kIconSize, kIconSize,
                                                           32, kIconSize * 4, SDL_PIXELFORMAT_ARGB8888);
    if (icon == nullptr) return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    std::vector<uint32_t> sizes;
    for (int size : {16, 32, 48, 64}) {
        const std::vector<uint32_t> drawn = WindowIconPixels(size);
        sizes.push_back(static_cast<uint32_t>(size));
        sizes.push_back(static_cast<uint32_t>(size));
        sizes.insert(sizes.end(), drawn.begin(), drawn.end());
    }
    X11SetWindowIcons(static_cast<uint32_t>(info.info.x11.window), sizes);
}

}  // namespace kelo
