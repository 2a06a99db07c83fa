#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "draw/Colour.h"

namespace kelo {

// What an image's stamp looks like: which image, and how many write accesses it has
// handed out. Equal stamps mean the pixels cannot have changed in between.
struct ImageStamp {
    uint64_t image = 0;
    uint64_t writes = 0;
    bool operator==(const ImageStamp&) const = default;
};

// A plain pixel image. Reads and writes through At() are unchecked; use the
// drawing primitives (Painter.h), which clip, for anything that may fall outside.
class Image {
public:
    Image() = default;
    Image(int width, int height, Colour fill = kBlack)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}
    Image(const Image& other) : width_(other.width_), height_(other.height_), pixels_(other.pixels_) {}
    Image(Image&& other) noexcept : width_(other.width_), height_(other.height_), pixels_(std::move(other.pixels_)) {
        other.Renew();
    }
    Image& operator=(const Image& other) {
        width_ = other.width_, height_ = other.height_, pixels_ = other.pixels_;
        Renew();
        return *this;
    }
    Image& operator=(Image&& other) noexcept {
        width_ = other.width_, height_ = other.height_, pixels_ = std::move(other.pixels_);
        Renew();
        other.Renew();
        return *this;
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    Colour& At(int x, int y) {
        ++writes_;
        return pixels_[static_cast<size_t>(y) * width_ + x];
    }
    Colour At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    Colour* Row(int y) {
        ++writes_;
        return pixels_.data() + static_cast<size_t>(y) * width_;
    }
    const Colour* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
    const std::vector<Colour>& Pixels() const { return pixels_; }

    void Fill(Colour c) {
        ++writes_;
        std::fill(pixels_.begin(), pixels_.end(), c);
    }

    // Changes with every write access (the non-const At and Row, Fill) and assignment;
    // no two images share one. Lets a caller that knows what it last drew trust that
    // knowledge only while nothing else has written the image since.
    ImageStamp Stamp() const { return {id_, writes_}; }

private:
    static uint64_t NextId() {
        static std::atomic<uint64_t> last{0};
        return ++last;
    }
    void Renew() {
        id_ = NextId();
        writes_ = 0;
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<Colour> pixels_;
    uint64_t id_ = NextId();
    uint64_t writes_ = 0;
};

}  // namespace kelo
