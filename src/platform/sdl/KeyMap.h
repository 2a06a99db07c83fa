#pragma once
// Translation of SDL key events into the Windows virtual-key numbers the game polls.

#include <SDL_keycode.h>
#include <SDL_scancode.h>

namespace kelo {

// The virtual-key number of a key, or 0 for a key the game has no number for.
// Letters, digits and punctuation follow the keyboard layout (`key`), so an AZERTY
// player's A key is A; where the layout gives no Latin character for them (a Cyrillic
// layout, say), the key's position on a US keyboard (`scancode`) decides.
int VirtualKeyFor(SDL_Keycode key, SDL_Scancode scancode);

}  // namespace kelo
