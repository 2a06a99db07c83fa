#include "platform/sdl/KeyMap.h"

namespace kelo {

namespace {

struct KeyPair {
    SDL_Keycode key;
    int vk;
};

// Printable characters other than letters and digits (VK_OEM_*).
// clang-format off
constexpr KeyPair kPunctuation[] = {
    {SDLK_SPACE, 32},      {SDLK_SEMICOLON, 186},    {SDLK_EQUALS, 187},       {SDLK_PLUS, 187},
    {SDLK_COMMA, 188},     {SDLK_MINUS, 189},        {SDLK_PERIOD, 190},       {SDLK_SLASH, 191},
    {SDLK_BACKQUOTE, 192}, {SDLK_LEFTBRACKET, 219},  {SDLK_BACKSLASH, 220},    {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},     {SDLK_LESS, 226},
    // Where ":" is a key's own character (French), it is not the period key beside it.
    {SDLK_COLON, 186},
};
// clang-format on

// Keys that produce no character; their keycodes do not depend on the layout.
// clang-format off
constexpr KeyPair kFunctionKeys[] = {
    {SDLK_BACKSPACE, 8},     {SDLK_TAB, 9},           {SDLK_CLEAR, 12},       {SDLK_RETURN, 13},
    {SDLK_KP_ENTER, 13},     {SDLK_RETURN2, 13},      {SDLK_LSHIFT, 16},      {SDLK_RSHIFT, 16},
    {SDLK_LCTRL, 17},        {SDLK_RCTRL, 17},        {SDLK_LALT, 18},        {SDLK_RALT, 18},
    {SDLK_PAUSE, 19},        {SDLK_CAPSLOCK, 20},     {SDLK_ESCAPE, 27},      {SDLK_PAGEUP, 33},
    {SDLK_PAGEDOWN, 34},     {SDLK_END, 35},          {SDLK_HOME, 36},        {SDLK_LEFT, 37},
    {SDLK_UP, 38},           {SDLK_RIGHT, 39},        {SDLK_DOWN, 40},        {SDLK_SELECT, 41},
    {SDLK_EXECUTE, 43},      {SDLK_PRINTSCREEN, 44},  {SDLK_INSERT, 45},      {SDLK_DELETE, 46},
    {SDLK_HELP, 47},         {SDLK_LGUI, 91},         {SDLK_RGUI, 92},        {SDLK_APPLICATION, 93},
    {SDLK_SLEEP, 95},        {SDLK_KP_0, 96},         {SDLK_KP_1, 97},        {SDLK_KP_2, 98},
    {SDLK_KP_3, 99},         {SDLK_KP_4, 100},        {SDLK_KP_5, 101},       {SDLK_KP_6, 102},
    {SDLK_KP_7, 103},        {SDLK_KP_8, 104},        {SDLK_KP_9, 105},       {SDLK_KP_MULTIPLY, 106},
    {SDLK_KP_PLUS, 107},     {SDLK_KP_MINUS, 109},    {SDLK_KP_PERIOD, 110},  {SDLK_KP_DECIMAL, 110},
    {SDLK_KP_DIVIDE, 111},   {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145}, {SDLK_KP_EQUALS, 146},
    {SDLK_AC_BACK, 166},     {SDLK_AC_FORWARD, 167},  {SDLK_AC_REFRESH, 168}, {SDLK_AC_STOP, 169},
    {SDLK_AC_SEARCH, 170},   {SDLK_AC_BOOKMARKS, 171}, {SDLK_AC_HOME, 172},   {SDLK_MUTE, 173},
    {SDLK_VOLUMEDOWN, 174},  {SDLK_VOLUMEUP, 175},    {SDLK_AUDIONEXT, 176},  {SDLK_AUDIOPREV, 177},
    {SDLK_AUDIOSTOP, 178},   {SDLK_AUDIOPLAY, 179},   {SDLK_MAIL, 180},       {SDLK_MEDIASELECT, 181},
    {SDLK_CRSEL, 247},       {SDLK_EXSEL, 248},
};
// clang-format on

// US positions of the character keys, for layouts that put no Latin character there.
struct ScancodePair {
    SDL_Scancode scancode;
    int vk;
};

// clang-format off
constexpr ScancodePair kUsPunctuationPositions[] = {
    {SDL_SCANCODE_SPACE, 32},        {SDL_SCANCODE_SEMICOLON, 186},    {SDL_SCANCODE_EQUALS, 187},
    {SDL_SCANCODE_COMMA, 188},       {SDL_SCANCODE_MINUS, 189},        {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},       {SDL_SCANCODE_GRAVE, 192},        {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_BACKSLASH, 220},   {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_NONUSBACKSLASH, 226}, {SDL_SCANCODE_NONUSHASH, 220},
};
// clang-format on

template <typename Pair, typename Code, size_t N>
int Lookup(const Pair (&table)[N], Code code) {
    for (const Pair& pair : table) {
        if (pair.key == code) return pair.vk;
    }
    return 0;
}

int LookupScancode(SDL_Scancode scancode) {
    for (const ScancodePair& pair : kUsPunctuationPositions) {
        if (pair.scancode == scancode) return pair.vk;
    }
    return 0;
}

int FunctionKeyVk(SDL_Keycode key) {
    if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24) return 124 + (key - SDLK_F13);
    return Lookup(kFunctionKeys, key);
}

int LayoutCharacterVk(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    return Lookup(kPunctuation, key);
}

int UsPositionVk(SDL_Scancode scancode) {
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    return LookupScancode(scancode);
}

bool IsDigitRow(SDL_Scancode scancode) { return scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_0; }

bool IsLatinLetter(SDL_Keycode key) { return key >= SDLK_a && key <= SDLK_z; }

}  // namespace

void LayoutPunctuation::Set(SDL_Scancode scancode, int vk) {
    if (scancode <= SDL_SCANCODE_UNKNOWN || scancode >= SDL_NUM_SCANCODES) return;
    if (vks_[scancode] == 0) ++count_;
    vks_[scancode] = static_cast<uint8_t>(vk);
}

int LayoutPunctuation::For(SDL_Scancode scancode) const {
    if (scancode <= SDL_SCANCODE_UNKNOWN || scancode >= SDL_NUM_SCANCODES) return 0;
    return vks_[scancode];
}

int VirtualKeyFor(SDL_Keycode key, SDL_Scancode scancode, const LayoutPunctuation& layout) {
    if (int vk = FunctionKeyVk(key)) return vk;
    if (int vk = layout.For(scancode)) return vk;
    // The digit row keeps its digits where the layout puts symbols on it (the French row
    // types "&", "é", "\"", ...), as it does on Windows.
    if (IsDigitRow(scancode) && !IsLatinLetter(key)) return UsPositionVk(scancode);
    if (int vk = LayoutCharacterVk(key)) return vk;
    return UsPositionVk(scancode);
}

}  // namespace kelo
