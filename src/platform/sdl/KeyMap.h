#pragma once
// Translation of SDL key events into the Windows virtual-key numbers the game polls.

#include <SDL_keycode.h>
#include <SDL_scancode.h>

#include <array>
#include <cstdint>

namespace kelo {

// The keys that type "," or "." on the player's layout, unshifted or with Shift, by
// position. SDL reports only a key's unshifted character, so a French player's ";" key,
// whose Shift level types ".", would otherwise never count as the period key.
class LayoutPunctuation {
public:
    // `vk` is 188 (",") or 190 (".").
    void Set(SDL_Scancode scancode, int vk);
    // 188 or 190 for a key that types "," or "."; 0 for any other key.
    int For(SDL_Scancode scancode) const;
    bool Empty() const { return count_ == 0; }

private:
    std::array<uint8_t, SDL_NUM_SCANCODES> vks_{};
    int count_ = 0;
};

// The virtual-key number of a key, or 0 for a key the game has no number for.
// Letters, digits and punctuation follow the keyboard layout (`key`), so an AZERTY
// player's A key is A; where the layout gives no Latin character for them (a Cyrillic
// layout, say), the key's position on a US keyboard (`scancode`) decides.
// A key that `layout` knows to type "," or "." is 188 or 190 whatever its unshifted
// character.
int VirtualKeyFor(SDL_Keycode key, SDL_Scancode scancode, const LayoutPunctuation& layout = {});

}  // namespace kelo
