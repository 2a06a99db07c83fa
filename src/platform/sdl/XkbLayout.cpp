#include "platform/sdl/XkbLayout.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <memory>

#include "app/Keyboard.h"

namespace kelo {

namespace {

// Linux input codes are XKB keycodes minus 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

struct EvdevKey {
    int code;
    SDL_Scancode scancode;
};

// The keys that can type a character, by Linux input code.
// clang-format off
constexpr EvdevKey kCharacterKeys[] = {
    {1, SDL_SCANCODE_ESCAPE},        {2, SDL_SCANCODE_1},           {3, SDL_SCANCODE_2},
    {4, SDL_SCANCODE_3},             {5, SDL_SCANCODE_4},           {6, SDL_SCANCODE_5},
    {7, SDL_SCANCODE_6},             {8, SDL_SCANCODE_7},           {9, SDL_SCANCODE_8},
    {10, SDL_SCANCODE_9},            {11, SDL_SCANCODE_0},          {12, SDL_SCANCODE_MINUS},
    {13, SDL_SCANCODE_EQUALS},       {16, SDL_SCANCODE_Q},          {17, SDL_SCANCODE_W},
    {18, SDL_SCANCODE_E},            {19, SDL_SCANCODE_R},          {20, SDL_SCANCODE_T},
    {21, SDL_SCANCODE_Y},            {22, SDL_SCANCODE_U},          {23, SDL_SCANCODE_I},
    {24, SDL_SCANCODE_O},            {25, SDL_SCANCODE_P},          {26, SDL_SCANCODE_LEFTBRACKET},
    {27, SDL_SCANCODE_RIGHTBRACKET}, {30, SDL_SCANCODE_A},          {31, SDL_SCANCODE_S},
    {32, SDL_SCANCODE_D},            {33, SDL_SCANCODE_F},          {34, SDL_SCANCODE_G},
    {35, SDL_SCANCODE_H},            {36, SDL_SCANCODE_J},          {37, SDL_SCANCODE_K},
    {38, SDL_SCANCODE_L},            {39, SDL_SCANCODE_SEMICOLON},  {40, SDL_SCANCODE_APOSTROPHE},
    {41, SDL_SCANCODE_GRAVE},        {43, SDL_SCANCODE_BACKSLASH},  {44, SDL_SCANCODE_Z},
    {45, SDL_SCANCODE_X},            {46, SDL_SCANCODE_C},          {47, SDL_SCANCODE_V},
    {48, SDL_SCANCODE_B},            {49, SDL_SCANCODE_N},          {50, SDL_SCANCODE_M},
    {51, SDL_SCANCODE_COMMA},        {52, SDL_SCANCODE_PERIOD},     {53, SDL_SCANCODE_SLASH},
    {57, SDL_SCANCODE_SPACE},        {86, SDL_SCANCODE_NONUSBACKSLASH}, {89, SDL_SCANCODE_INTERNATIONAL1},
    {124, SDL_SCANCODE_INTERNATIONAL3},
};
// clang-format on

// vk::Comma or vk::Period when `keysym` is "," or "."; 0 otherwise.
int PunctuationVk(xkb_keysym_t keysym) {
    if (keysym == XKB_KEY_comma) return vk::Comma;
    if (keysym == XKB_KEY_period) return vk::Period;
    return 0;
}

xkb_keysym_t KeysymAt(xkb_keymap* keymap, xkb_keycode_t keycode, xkb_layout_index_t group, xkb_level_index_t level) {
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, keycode, group, level, &symbols);
    return count == 1 ? symbols[0] : XKB_KEY_NoSymbol;
}

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
struct KeymapUnref {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateUnref {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
struct ContextUnref {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};

}  // namespace

SDL_Scancode ScancodeOfXkbKey(xkb_keycode_t keycode) {
    for (const EvdevKey& key : kCharacterKeys) {
        if (static_cast<xkb_keycode_t>(key.code) + kEvdevOffset == keycode) return key.scancode;
    }
    return SDL_SCANCODE_UNKNOWN;
}

LayoutPunctuation PunctuationOf(xkb_keymap* keymap, xkb_layout_index_t group) {
    LayoutPunctuation layout;
    for (const EvdevKey& key : kCharacterKeys) {
        const xkb_keycode_t keycode = static_cast<xkb_keycode_t>(key.code) + kEvdevOffset;
        const xkb_layout_index_t keyGroup = group < xkb_keymap_num_layouts_for_key(keymap, keycode) ? group : 0;
        int vk = PunctuationVk(KeysymAt(keymap, keycode, keyGroup, 0));
        if (vk == 0) vk = PunctuationVk(KeysymAt(keymap, keycode, keyGroup, 1));
        if (vk != 0) layout.Set(key.scancode, vk);
    }
    return layout;
}

namespace {

// Runs `read` on the X server's keymap in its current layout group; `fallback` when the
// server cannot be reached or has no XKB.
template <typename Result, typename Read>
Result ReadX11Keymap(Result fallback, Read read) {
    std::unique_ptr<xcb_connection_t, XcbDisconnect> connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get())) return fallback;
    if (!xkb_x11_setup_xkb_extension(connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
        return fallback;
    }
    const int32_t device = xkb_x11_get_core_keyboard_device_id(connection.get());
    if (device < 0) return fallback;
    std::unique_ptr<xkb_context, ContextUnref> context(xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES));
    if (!context) return fallback;
    std::unique_ptr<xkb_keymap, KeymapUnref> keymap(
        xkb_x11_keymap_new_from_device(context.get(), connection.get(), device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) return fallback;
    std::unique_ptr<xkb_state, StateUnref> state(xkb_x11_state_new_from_device(keymap.get(), connection.get(), device));
    const xkb_layout_index_t group = state ? xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    return read(keymap.get(), group);
}

// The character keys of the three letter rows by Linux input code, left to right; the
// lower row starts with the ISO key left of Z.
constexpr int kUpperRowCodes[] = {16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27};
constexpr int kHomeRowCodes[] = {30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40};
constexpr int kLowerRowCodes[] = {86, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53};

// The typed key (TypedKeyIndex) a keysym stands for, -1 for others.
int TypedKeyOfKeysym(xkb_keysym_t keysym) {
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) return static_cast<int>(keysym - XKB_KEY_a);
    if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) return static_cast<int>(keysym - XKB_KEY_A);
    if (keysym == XKB_KEY_comma) return TypedKeyIndex(',');
    if (keysym == XKB_KEY_period) return TypedKeyIndex('.');
    return -1;
}

}  // namespace

LayoutPunctuation ReadX11Punctuation(std::string* layoutName) {
    return ReadX11Keymap(LayoutPunctuation{}, [layoutName](xkb_keymap* keymap, xkb_layout_index_t group) {
        if (layoutName) {
            const char* name = xkb_keymap_layout_get_name(keymap, group);
            *layoutName = name ? name : "";
        }
        return PunctuationOf(keymap, group);
    });
}

KeyLayout TypedKeyLayoutOf(xkb_keymap* keymap, xkb_layout_index_t group) {
    KeyLayout layout{};
    int placed = 0;
    // The lower row's ISO key sits a key left of Z; quarters count from the upper row.
    const struct {
        const int* codes;
        size_t count;
        int firstQuarter;
    } rows[3] = {{kUpperRowCodes, std::size(kUpperRowCodes), 0},
                 {kHomeRowCodes, std::size(kHomeRowCodes), 1},
                 {kLowerRowCodes, std::size(kLowerRowCodes), -1}};
    for (int r = 0; r < 3; ++r) {
        for (size_t c = 0; c < rows[r].count; ++c) {
            const xkb_keycode_t keycode = static_cast<xkb_keycode_t>(rows[r].codes[c]) + kEvdevOffset;
            const xkb_layout_index_t keyGroup = group < xkb_keymap_num_layouts_for_key(keymap, keycode) ? group : 0;
            int index = TypedKeyOfKeysym(KeysymAt(keymap, keycode, keyGroup, 0));
            if (index < 0) index = TypedKeyOfKeysym(KeysymAt(keymap, keycode, keyGroup, 1));
            if (index < 0 || layout[index].row >= 0) continue;
            layout[index] = {static_cast<int8_t>(r), static_cast<int16_t>(rows[r].firstQuarter + 4 * c)};
            ++placed;
        }
    }
    return placed == kTypedKeyCount ? layout : kUsQwerty;
}

KeyLayout ReadX11TypedKeyLayout() { return ReadX11Keymap(kUsQwerty, TypedKeyLayoutOf); }

}  // namespace kelo
