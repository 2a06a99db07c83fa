#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

namespace kelo {

// The icon at `size` x `size`, ARGB, row after row: a craft flying up through a star
// field, drawn in a handful of flat colours on a 32 x 32 grid and scaled to the size.
std::vector<uint32_t> WindowIconPixels(int size);

// Gives the window its icon: 32 x 32 through SDL, and on X11 also 16, 48 and 64 so that
// task bars and window switchers need not scale it.
void SetWindowIcon(SDL_Window* window);

}  // namespace kelo
