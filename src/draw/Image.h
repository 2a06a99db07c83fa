#pragma once
#include <cstdint>
#include <vector>

#include "draw/Colour.h"

namespace kelo {

// A plain pixel image. Reads and writes through At() are unchecked; use the
// drawing primitives (Painter.h), which clip, for anything that may fall outside.
class Image {
public:
    Image() = default;
    Image(int width, int height, Colour fill = kBlack)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    Colour& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    Colour At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    Colour* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
    const Colour* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
    const std::vector<Colour>& Pixels() const { return pixels_; }

    void Fill(Colour c) { std::fill(pixels_.begin(), pixels_.end(), c); }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Colour> pixels_;
};

}  // namespace kelo
