#include "draw/Helpers.h"

#include <array>

namespace kelo {

void PrintText(Surface& surface, TextRenderer& font, std::string_view text, int16_t x, int16_t y, Colour colour,
               uint8_t size) {
    surface.currentX = x;
    surface.currentY = y;
    surface.foreColour = colour;
    surface.fontSize = size;
    Print(surface, font, text);
}

void PrintTextCopies(Surface& surface, TextRenderer& font, std::string_view text, uint8_t size,
                     std::span<const TextCopy> copies) {
    surface.fontSize = size;
    PrintCopies(surface, font, text, copies);
}

namespace {

struct OffsetRow {
    std::array<std::string_view, 6> letters;
    int16_t offset;
};

// First matching row wins; the comparison is exact and case-sensitive.
// clang-format off
constexpr OffsetRow kGlyphOffsets[] = {
    {{"I", ",", "."}, 10},
    {{"W"}, -5},
    {{"M", "O", "Q"}, -4},
    {{"C", "N", "R", "A", "G", "H"}, -3},
    {{"S", "Y", "V", "D", "T"}, -2},
};
// clang-format on

}  // namespace

int16_t GlyphOffset(std::string_view letter) {
    if (letter.empty()) return 0;
    for (const OffsetRow& row : kGlyphOffsets) {
        for (std::string_view candidate : row.letters) {
            if (candidate == letter) return row.offset;
        }
    }
    return 0;
}

void DrawWipe(Surface& surface, int16_t width) {
    for (int i = 0; i <= 149; ++i) {
        Line(surface, 0, 2 * i, width, 2 * i, kBlack);
        Line(surface, 400 - width, 2 * i + 1, 400, 2 * i + 1, kBlack);
    }
}

}  // namespace kelo
