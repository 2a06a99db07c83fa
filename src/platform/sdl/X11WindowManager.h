#pragma once
// Whether the X server at $DISPLAY runs a window manager that can make windows
// fullscreen (one that announces itself the EWMH way). Without one, asking SDL for a
// fullscreen window changes nothing on the screen, so the game fills the display itself.

#include <cstdint>
#include <vector>

namespace kelo {

bool X11HasWindowManager();

// Sets the window's _NET_WM_ICON: `icons` holds, for each size, its width, its height and
// its ARGB pixels row after row.
void X11SetWindowIcons(uint32_t window, const std::vector<uint32_t>& icons);

}  // namespace kelo
