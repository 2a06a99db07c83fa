#include <gtest/gtest.h>

#include "platform/sdl/KeyMap.h"

namespace kelo {
namespace {

TEST(DesktopKeyMap, UsLayoutLettersAndDigitsMatchTheirPositions) {
    for (int i = 0; i < 26; ++i) {
        const auto scancode = static_cast<SDL_Scancode>(SDL_SCANCODE_A + i);
        EXPECT_EQ(VirtualKeyFor(SDLK_a + i, scancode), 'A' + i) << static_cast<char>('a' + i);
    }
    EXPECT_EQ(VirtualKeyFor(SDLK_1, SDL_SCANCODE_1), '1');
    EXPECT_EQ(VirtualKeyFor(SDLK_9, SDL_SCANCODE_9), '9');
    EXPECT_EQ(VirtualKeyFor(SDLK_0, SDL_SCANCODE_0), '0');
}

TEST(DesktopKeyMap, KeysTheGameReadsHaveTheirWindowsNumbers) {
    EXPECT_EQ(VirtualKeyFor(SDLK_COMMA, SDL_SCANCODE_COMMA), 188);
    EXPECT_EQ(VirtualKeyFor(SDLK_PERIOD, SDL_SCANCODE_PERIOD), 190);
    EXPECT_EQ(VirtualKeyFor(SDLK_SPACE, SDL_SCANCODE_SPACE), 32);
    EXPECT_EQ(VirtualKeyFor(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), 27);
    EXPECT_EQ(VirtualKeyFor(SDLK_LEFT, SDL_SCANCODE_LEFT), 37);
    EXPECT_EQ(VirtualKeyFor(SDLK_UP, SDL_SCANCODE_UP), 38);
    EXPECT_EQ(VirtualKeyFor(SDLK_RIGHT, SDL_SCANCODE_RIGHT), 39);
    EXPECT_EQ(VirtualKeyFor(SDLK_DOWN, SDL_SCANCODE_DOWN), 40);
}

TEST(DesktopKeyMap, ControlKeysBothSidesAndKeypad) {
    EXPECT_EQ(VirtualKeyFor(SDLK_LSHIFT, SDL_SCANCODE_LSHIFT), 16);
    EXPECT_EQ(VirtualKeyFor(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT), 16);
    EXPECT_EQ(VirtualKeyFor(SDLK_LCTRL, SDL_SCANCODE_LCTRL), 17);
    EXPECT_EQ(VirtualKeyFor(SDLK_RCTRL, SDL_SCANCODE_RCTRL), 17);
    EXPECT_EQ(VirtualKeyFor(SDLK_LALT, SDL_SCANCODE_LALT), 18);
    EXPECT_EQ(VirtualKeyFor(SDLK_RALT, SDL_SCANCODE_RALT), 18);
    EXPECT_EQ(VirtualKeyFor(SDLK_RETURN, SDL_SCANCODE_RETURN), 13);
    EXPECT_EQ(VirtualKeyFor(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), 13);
    EXPECT_EQ(VirtualKeyFor(SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE), 8);
    EXPECT_EQ(VirtualKeyFor(SDLK_TAB, SDL_SCANCODE_TAB), 9);
    EXPECT_EQ(VirtualKeyFor(SDLK_DELETE, SDL_SCANCODE_DELETE), 46);
    EXPECT_EQ(VirtualKeyFor(SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN), 44);
    EXPECT_EQ(VirtualKeyFor(SDLK_F1, SDL_SCANCODE_F1), 112);
    EXPECT_EQ(VirtualKeyFor(SDLK_F12, SDL_SCANCODE_F12), 123);
    EXPECT_EQ(VirtualKeyFor(SDLK_KP_0, SDL_SCANCODE_KP_0), 96);
    EXPECT_EQ(VirtualKeyFor(SDLK_KP_9, SDL_SCANCODE_KP_9), 105);
    EXPECT_EQ(VirtualKeyFor(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), 0);
}

// On a French keyboard the key at the US Q position types "a", the one at the US M
// position types ",", and the digit row types symbols.
TEST(DesktopKeyMap, AzertyFollowsTheLayoutButKeepsTheDigitRow) {
    EXPECT_EQ(VirtualKeyFor(SDLK_a, SDL_SCANCODE_Q), 'A');
    EXPECT_EQ(VirtualKeyFor(SDLK_q, SDL_SCANCODE_A), 'Q');
    EXPECT_EQ(VirtualKeyFor(SDLK_z, SDL_SCANCODE_W), 'Z');
    EXPECT_EQ(VirtualKeyFor(SDLK_m, SDL_SCANCODE_SEMICOLON), 'M');
    EXPECT_EQ(VirtualKeyFor(SDLK_COMMA, SDL_SCANCODE_M), 188);
    EXPECT_EQ(VirtualKeyFor(SDLK_AMPERSAND, SDL_SCANCODE_1), '1');
    EXPECT_EQ(VirtualKeyFor(0xE9, SDL_SCANCODE_2), '2');  // é
    EXPECT_EQ(VirtualKeyFor(SDLK_MINUS, SDL_SCANCODE_6), '6');
    EXPECT_EQ(VirtualKeyFor(SDLK_QUOTE, SDL_SCANCODE_4), '4');
}

// A Cyrillic layout gives no Latin letters: the key's US position decides.
TEST(DesktopKeyMap, NonLatinLayoutFallsBackToUsPositions) {
    EXPECT_EQ(VirtualKeyFor(0x0444, SDL_SCANCODE_A), 'A');       // ф
    EXPECT_EQ(VirtualKeyFor(0x044F, SDL_SCANCODE_Z), 'Z');       // я
    EXPECT_EQ(VirtualKeyFor(0x0431, SDL_SCANCODE_COMMA), 188);   // б
    EXPECT_EQ(VirtualKeyFor(0x044E, SDL_SCANCODE_PERIOD), 190);  // ю
}

}  // namespace
}  // namespace kelo
