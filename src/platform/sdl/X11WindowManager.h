#pragma once
// Whether the X server at $DISPLAY runs a window manager that can make windows
// fullscreen (one that announces itself the EWMH way). Without one, asking SDL for a
// fullscreen window changes nothing on the screen, so the game fills the display itself.

namespace kelo {

bool X11HasWindowManager();

}  // namespace kelo
