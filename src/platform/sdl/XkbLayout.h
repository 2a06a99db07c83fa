#pragma once
// Reads which keys type "," and "." from an XKB keymap: the X server's own for the game,
// or one compiled from layout names for the tests.

#include <xkbcommon/xkbcommon.h>

#include <string>

#include "app/KeyLayout.h"
#include "platform/sdl/KeyMap.h"

namespace kelo {

// The SDL scancode of an XKB keycode on a server with evdev keycodes (every current
// X server on Linux); SDL_SCANCODE_UNKNOWN for keys outside the character block.
SDL_Scancode ScancodeOfXkbKey(xkb_keycode_t keycode);

// The keys of `keymap` whose first or second level in layout `group` is "," or ".".
// Where one key carries both, its first level wins.
LayoutPunctuation PunctuationOf(xkb_keymap* keymap, xkb_layout_index_t group);

// The same for the X server at $DISPLAY in its current layout group; empty when the
// server cannot be reached or has no XKB. `layoutName`, when given, receives that
// group's name ("English (US)", ...).
LayoutPunctuation ReadX11Punctuation(std::string* layoutName = nullptr);

// Where `keymap` in layout `group` puts the typed keys (by their first, else second
// level). US QWERTY when it lacks any of them, a layout without Latin letters say.
KeyLayout TypedKeyLayoutOf(xkb_keymap* keymap, xkb_layout_index_t group);

// The same for the X server at $DISPLAY; US QWERTY when it cannot be read.
KeyLayout ReadX11TypedKeyLayout();

}  // namespace kelo
