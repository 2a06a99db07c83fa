#include "draw/Helpers.h"
namespace kelo {
// Not built yet.
void PrintText(Game&, std::string_view, int16_t, int16_t, Colour, uint8_t) {}
int16_t GlyphOffset(std::string_view) { return 0; }
void DrawWipe(Game&, int16_t) {}
}  // namespace kelo
