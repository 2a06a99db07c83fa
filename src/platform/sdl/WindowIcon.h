#pragma once
#include <SDL.h>

namespace kelo {

// Gives the window its 32 x 32 icon: a craft flying up through a star field, drawn in
// a handful of flat colours.
void SetWindowIcon(SDL_Window* window);

}  // namespace kelo
