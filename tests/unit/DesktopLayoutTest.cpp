// The keyboard across layouts: keymaps are compiled from xkb-data's layout names, and
// each key is fed to VirtualKeyFor the way SDL reports it on X11 (its unshifted
// character and its position).

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/sdl/KeyMap.h"
#include "platform/sdl/XkbLayout.h"

namespace kelo {
namespace {

struct Keymap {
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    ~Keymap() {
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }
};

std::unique_ptr<Keymap> Compile(const char* layout, const char* variant) {
    auto result = std::make_unique<Keymap>();
    result->context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    const xkb_rule_names names{"evdev", "pc105", layout, variant, nullptr};
    result->keymap = xkb_keymap_new_from_names(result->context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    return result->keymap != nullptr ? std::move(result) : nullptr;
}

// What SDL reports for a key: its first level's character, or for keys without one the
// key named by its position.
SDL_Keycode SdlKeycodeOf(xkb_keymap* keymap, xkb_keycode_t keycode, SDL_Scancode scancode) {
    const xkb_keysym_t* symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, 0, &symbols) == 1) {
        if (const uint32_t character = xkb_keysym_to_utf32(symbols[0])) return static_cast<SDL_Keycode>(character);
    }
    return SDL_SCANCODE_TO_KEYCODE(scancode);
}

// The virtual-key number of every character key of a layout, by its first level's
// character ("a", ";", " ", "\x1b", ...); keys whose first level is no character are
// listed by position ("@SDL_SCANCODE n").
std::multimap<std::string, int> VirtualKeys(const char* layout, const char* variant) {
    std::unique_ptr<Keymap> compiled = Compile(layout, variant);
    EXPECT_NE(compiled, nullptr) << layout << " " << variant;
    std::multimap<std::string, int> keys;
    if (!compiled) return keys;
    const LayoutPunctuation punctuation = PunctuationOf(compiled->keymap, 0);
    for (xkb_keycode_t keycode = 8; keycode < 256; ++keycode) {
        const SDL_Scancode scancode = ScancodeOfXkbKey(keycode);
        if (scancode == SDL_SCANCODE_UNKNOWN) continue;
        const SDL_Keycode key = SdlKeycodeOf(compiled->keymap, keycode, scancode);
        const int vk = VirtualKeyFor(key, scancode, punctuation);
        const std::string name = key < 0x80 ? std::string(1, static_cast<char>(key)) : "U+" + std::to_string(key);
        keys.emplace(name, vk);
    }
    return keys;
}

int CountOf(const std::multimap<std::string, int>& keys, int vk) {
    int count = 0;
    for (const auto& [name, value] : keys) count += value == vk ? 1 : 0;
    return count;
}

int VkOf(const std::multimap<std::string, int>& keys, const std::string& character) {
    const auto found = keys.find(character);
    return found == keys.end() ? -1 : found->second;
}

struct Layout {
    const char* name;
    const char* variant;
    const char* periodKeyCharacter;  // the first level of the key that types "."
    const char* commaKeyCharacter;   // the first level of the key that types ","
};

// The letters the courses use, Space, Escape, "," and "." each reach the game as
// exactly one key, whichever layout the player has.
TEST(DesktopLayouts, EveryKeyTheGameReadsIsReachableOnce) {
    const Layout layouts[] = {
        {"us", "", ".", ","}, {"fr", "", ";", ","}, {"de", "", ".", ","}, {"us", "dvorak", ".", ","},
        {"jp", "", ".", ","}, {"gb", "", ".", ","}, {"be", "", ";", ","},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(std::string(layout.name) + " " + layout.variant);
        const auto keys = VirtualKeys(layout.name, layout.variant);
        ASSERT_FALSE(keys.empty());
        for (char letter = 'a'; letter <= 'z'; ++letter) {
            EXPECT_EQ(VkOf(keys, std::string(1, letter)), letter - 'a' + 'A') << letter;
            EXPECT_EQ(CountOf(keys, letter - 'a' + 'A'), 1) << letter;
        }
        EXPECT_EQ(VkOf(keys, " "), 32);
        EXPECT_EQ(VkOf(keys, "\x1b"), 27);
        EXPECT_EQ(VkOf(keys, layout.periodKeyCharacter), 190);
        EXPECT_EQ(VkOf(keys, layout.commaKeyCharacter), 188);
        EXPECT_EQ(CountOf(keys, 190), 1);
        EXPECT_EQ(CountOf(keys, 188), 1);
    }
}

TEST(DesktopLayouts, FrenchPunctuationKeysByPosition) {
    std::unique_ptr<Keymap> fr = Compile("fr", "");
    ASSERT_NE(fr, nullptr);
    const LayoutPunctuation punctuation = PunctuationOf(fr->keymap, 0);
    // ";" with "." on Shift sits where a US keyboard has ","; "," sits on the US M key.
    EXPECT_EQ(VirtualKeyFor(SDLK_SEMICOLON, SDL_SCANCODE_COMMA, punctuation), 190);
    EXPECT_EQ(VirtualKeyFor(SDLK_COMMA, SDL_SCANCODE_M, punctuation), 188);
    EXPECT_NE(VirtualKeyFor(SDLK_COLON, SDL_SCANCODE_PERIOD, punctuation), 190);
    EXPECT_EQ(punctuation.For(SDL_SCANCODE_PERIOD), 0);
    EXPECT_EQ(punctuation.For(SDL_SCANCODE_M), 188);
}

TEST(DesktopLayouts, SecondLayoutGroupIsReadWhenActive) {
    auto compiled = std::make_unique<Keymap>();
    compiled->context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    const xkb_rule_names names{"evdev", "pc105", "us,fr", ",", nullptr};
    compiled->keymap = xkb_keymap_new_from_names(compiled->context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_NE(compiled->keymap, nullptr);
    EXPECT_EQ(PunctuationOf(compiled->keymap, 0).For(SDL_SCANCODE_PERIOD), 190);
    EXPECT_EQ(PunctuationOf(compiled->keymap, 1).For(SDL_SCANCODE_PERIOD), 0);
    EXPECT_EQ(PunctuationOf(compiled->keymap, 1).For(SDL_SCANCODE_COMMA), 190);
}

}  // namespace
}  // namespace kelo

namespace kelo {
namespace {

// The drawn keyboard follows the layout's letters; a layout without Latin letters
// falls back to US QWERTY rather than leaving keys out.
TEST(DesktopTypedKeyLayout, PlacesTheLayoutsLetters) {
    struct Case {
        const char* layout;
        KeyLayout expected;
    };
    const Case cases[] = {
        {"us", kUsQwerty},
        {"de", LayoutFromRows("QWERTZUIOP", "ASDFGHJKL", "YXCVBNM,.")},
        {"ru", kUsQwerty},
    };
    for (const Case& c : cases) {
        std::unique_ptr<Keymap> compiled = Compile(c.layout, "");
        ASSERT_NE(compiled, nullptr) << c.layout;
        EXPECT_EQ(TypedKeyLayoutOf(compiled->keymap, 0), c.expected) << c.layout;
    }
    // French: A and Z swap with Q and W, M moves to the home row, "," and "." share keys
    // with "?" and ";" (the period on the second level).
    std::unique_ptr<Keymap> fr = Compile("fr", "");
    ASSERT_NE(fr, nullptr);
    const KeyLayout azerty = TypedKeyLayoutOf(fr->keymap, 0);
    EXPECT_EQ(azerty[TypedKeyIndex('A')], (KeyPlace{0, 0}));
    EXPECT_EQ(azerty[TypedKeyIndex('Q')], (KeyPlace{1, 1}));
    EXPECT_EQ(azerty[TypedKeyIndex('M')], (KeyPlace{1, 37}));
    EXPECT_EQ(azerty[TypedKeyIndex('W')], (KeyPlace{2, 3}));
    EXPECT_EQ(azerty[TypedKeyIndex(',')], (KeyPlace{2, 27}));
    EXPECT_EQ(azerty[TypedKeyIndex('.')], (KeyPlace{2, 31}));
}

}  // namespace
}  // namespace kelo

namespace kelo {
namespace {

// Reads the keymap of the X server at $DISPLAY, as the game does. Run by
// tests/e2e/desktop_layout.sh under a private X server with the US layout (it sets
// KELO_TEST_X11_LAYOUT=us); skipped elsewhere.
TEST(DesktopX11Layout, PunctuationKeysOfTheServersLayout) {
    const char* layout = std::getenv("KELO_TEST_X11_LAYOUT");
    if (layout == nullptr || std::string(layout) != "us") GTEST_SKIP() << "needs an X server with the US layout";
    const LayoutPunctuation punctuation = ReadX11Punctuation();
    EXPECT_EQ(punctuation.For(SDL_SCANCODE_COMMA), 188);
    EXPECT_EQ(punctuation.For(SDL_SCANCODE_PERIOD), 190);
    EXPECT_EQ(punctuation.For(SDL_SCANCODE_M), 0);
    EXPECT_EQ(punctuation.For(SDL_SCANCODE_SEMICOLON), 0);
}

}  // namespace
}  // namespace kelo
