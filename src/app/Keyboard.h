#pragma once
#include <array>
#include <cstdint>

namespace kelo {

// Key polling with the meaning of GetAsyncKeyState: a key reads as pressed when it is
// down now or has been pressed since the previous query of that key. The platform's
// key events feed it while the game yields.
class Keyboard {
public:
    void Down(int vk) {
        if (!Valid(vk)) return;
        down_[vk] = true;
        pressedSinceQuery_[vk] = true;
    }
    void Up(int vk) {
        if (Valid(vk)) down_[vk] = false;
    }
    // Key code 0 never reads as pressed.
    bool Pressed(int vk) {
        if (!Valid(vk) || vk == 0) return false;
        bool pressed = down_[vk] || pressedSinceQuery_[vk];
        pressedSinceQuery_[vk] = false;
        return pressed;
    }
    bool IsDown(int vk) const { return Valid(vk) && down_[vk]; }

    // The whole state, for a replay's snapshot.
    const std::array<bool, 256>& DownKeys() const { return down_; }
    const std::array<bool, 256>& PressedSinceQuery() const { return pressedSinceQuery_; }
    void Restore(const std::array<bool, 256>& down, const std::array<bool, 256>& pressedSinceQuery) {
        down_ = down;
        pressedSinceQuery_ = pressedSinceQuery;
    }

private:
    static bool Valid(int vk) { return vk >= 0 && vk < 256; }
    std::array<bool, 256> down_{};
    std::array<bool, 256> pressedSinceQuery_{};
};

// Virtual-key codes the game names.
namespace vk {
constexpr int Backspace = 8, Tab = 9, Enter = 13, Shift = 16, Ctrl = 17, Alt = 18;
constexpr int Escape = 27, Space = 32, Left = 37, Up = 38, Right = 39, Down = 40;
constexpr int PrintScreen = 44, Delete = 46, Comma = 188, Period = 190;
}  // namespace vk

}  // namespace kelo
