#include "draw/Painter.h"
namespace kelo {
// Not built yet.
void Line(Surface&, double, double, double, double, Colour) {}
void Line(Surface&, double, double, double, double) {}
void LineTo(Surface&, double, double, Colour) {}
void LineTo(Surface&, double, double) {}
void Box(Surface&, double, double, double, double, Colour) {}
void FilledBox(Surface&, double, double, double, double, Colour) {}
void Circle(Surface&, double, double, double, Colour) {}
void Arc(Surface&, double, double, double, Colour, double, double) {}
void SetPixelV(Surface&, int, int, Colour) {}
void BitBlt(Image&, int, int, int, int, const Image&, int, int, BlitMode) {}
void FillRect(Image&, int, int, int, int, Colour) {}
void Print(Surface&, TextRenderer&, std::string_view) {}
}  // namespace kelo
