#pragma once
// Where the player's keyboard puts the 28 keys the game types (A to Z, "," and "."):
// the progress screen draws its keyboard from it.

#include <array>
#include <cstdint>
#include <string_view>

namespace kelo {

inline constexpr int kTypedKeyCount = 28;

// Index of a typed key: 0..25 for A..Z, 26 for ",", 27 for "."; -1 for any other char.
constexpr int TypedKeyIndex(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c == ',') return 26;
    if (c == '.') return 27;
    return -1;
}
constexpr char TypedKeyChar(int index) { return index < 26 ? static_cast<char>('A' + index) : index == 26 ? ',' : '.'; }

// A key's place on the three letter rows: row 0 upper, 1 home, 2 lower; the column in
// quarters of a key from the left end of the upper row, staggering included. A row of
// -1 means the layout has no such key.
struct KeyPlace {
    int8_t row = -1;
    int16_t quarterColumn = 0;
    bool operator==(const KeyPlace&) const = default;
};

using KeyLayout = std::array<KeyPlace, kTypedKeyCount>;

// Places the keys of three rows given as the characters they type, left to right, each
// row starting `stagger` quarters right of the upper row's first key.
constexpr KeyLayout LayoutFromRows(std::string_view upper, std::string_view home, std::string_view lower) {
    KeyLayout layout{};
    const std::string_view rows[3] = {upper, home, lower};
    constexpr int kStagger[3] = {0, 1, 3};
    for (int r = 0; r < 3; ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const int index = TypedKeyIndex(rows[r][c]);
            if (index >= 0) layout[index] = {static_cast<int8_t>(r), static_cast<int16_t>(kStagger[r] + 4 * c)};
        }
    }
    return layout;
}

inline constexpr KeyLayout kUsQwerty = LayoutFromRows("QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM,.");

}  // namespace kelo
