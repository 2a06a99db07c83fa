#include "draw/Painter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "base/Numeric.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelo {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Four packed colours handled as one value, so that the fills and block copies that
// make up most of a frame move 16 bytes per step. Loads and stores go through memcpy,
// so rows need no particular alignment.
using ColourBlock = uint32_t __attribute__((vector_size(16)));
constexpr int kBlockColours = 4;

[[gnu::always_inline]] inline void FillSpan(Colour* p, int count, Colour colour) {
    const ColourBlock block = {colour, colour, colour, colour};
    int i = 0;
    // Four blocks a step: the loop's own counting costs as much as a store.
    for (; i + 4 * kBlockColours <= count; i += 4 * kBlockColours) {
        std::memcpy(p + i, &block, sizeof block);
        std::memcpy(p + i + kBlockColours, &block, sizeof block);
        std::memcpy(p + i + 2 * kBlockColours, &block, sizeof block);
        std::memcpy(p + i + 3 * kBlockColours, &block, sizeof block);
    }
    for (; i + kBlockColours <= count; i += kBlockColours) std::memcpy(p + i, &block, sizeof block);
    for (; i < count; ++i) p[i] = colour;
}

template <typename Combine>
void CombineSpan(Colour* out, const Colour* in, int count, Combine combine) {
    int i = 0;
    for (; i + kBlockColours <= count; i += kBlockColours) {
        ColourBlock a, b;
        std::memcpy(&a, out + i, sizeof a);
        std::memcpy(&b, in + i, sizeof b);
        a = combine(a, b);
        std::memcpy(out + i, &a, sizeof a);
    }
    for (; i < count; ++i) out[i] = combine(out[i], in[i]);
}

// Coordinates this far out are never visible; capping them keeps the line arithmetic
// inside 64 bits.
constexpr int32_t kCoordinateLimit = 1 << 28;

int ToPixel(double v) { return std::clamp(RoundHalfEven(v), -kCoordinateLimit, kCoordinateLimit); }

// Fills the inclusive span [x1, x2] of row y, clipped.
void HorizontalSpan(Image& image, int x1, int x2, int y, Colour colour) {
    if (y < 0 || y >= image.Height()) return;
    x1 = std::max(x1, 0);
    x2 = std::min(x2, image.Width() - 1);
    if (x1 > x2) return;
    FillSpan(image.Row(y) + x1, x2 - x1 + 1, colour);
}

// Fills the inclusive span [y1, y2] of column x, clipped.
void VerticalSpan(Image& image, int x, int y1, int y2, Colour colour) {
    if (x < 0 || x >= image.Width()) return;
    y1 = std::max(y1, 0);
    y2 = std::min(y2, image.Height() - 1);
    if (y1 > y2) return;
    Colour* pixel = image.Row(y1) + x;
    for (int y = y1; y <= y2; ++y, pixel += image.Width()) *pixel = colour;
}

// ceil(a / b) for b > 0.
int64_t CeilDiv(int64_t a, int64_t b) { return a >= 0 ? (a + b - 1) / b : -((-a) / b); }

// The range of steps i (0 <= i < steps) for which start + direction * i lies in [0, size).
void ClipAxis(int start, int direction, int size, int64_t& first, int64_t& last) {
    if (direction > 0) {
        first = std::max<int64_t>(first, -static_cast<int64_t>(start));
        last = std::min<int64_t>(last, static_cast<int64_t>(size) - 1 - start);
    } else if (direction < 0) {
        first = std::max<int64_t>(first, static_cast<int64_t>(start) - (size - 1));
        last = std::min<int64_t>(last, start);
    } else if (start < 0 || start >= size) {
        last = first - 1;
    }
}

// Bresenham-style line from (x1, y1) toward (x2, y2). The pixel of step i lies i steps
// along the major axis and round(i * minor / major) (halves away from the start) along
// the minor one. Only the steps that fall inside the image are visited.
void RasterLine(Image& image, int x1, int y1, int x2, int y2, Colour colour, bool includeEnd) {
    const int64_t dx = static_cast<int64_t>(x2) - x1;
    const int64_t dy = static_cast<int64_t>(y2) - y1;
    const int64_t major = std::max(std::llabs(dx), std::llabs(dy));
    const int64_t steps = major + (includeEnd ? 1 : 0);
    if (steps == 0) return;
    if (dy == 0) {
        const int xEnd = static_cast<int>(x1 + (dx > 0 ? steps - 1 : -(steps - 1)));
        HorizontalSpan(image, std::min(x1, xEnd), std::max(x1, xEnd), y1, colour);
        return;
    }
    if (dx == 0) {
        const int yEnd = static_cast<int>(y1 + (dy > 0 ? steps - 1 : -(steps - 1)));
        VerticalSpan(image, x1, std::min(y1, yEnd), std::max(y1, yEnd), colour);
        return;
    }
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int majorStart = xMajor ? x1 : y1;
    const int minorStart = xMajor ? y1 : x1;
    const int majorDir = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const int minorDir = (xMajor ? dy : dx) > 0 ? 1 : -1;
    const int64_t minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const int majorSize = xMajor ? image.Width() : image.Height();
    const int minorSize = xMajor ? image.Height() : image.Width();

    int64_t first = 0;
    int64_t last = steps - 1;
    ClipAxis(majorStart, majorDir, majorSize, first, last);
    int64_t offsetFirst = 0;
    int64_t offsetLast = std::numeric_limits<int32_t>::max();
    ClipAxis(minorStart, minorDir, minorSize, offsetFirst, offsetLast);
    if (offsetLast < offsetFirst) return;
    // offset(i) = floor((2 i minor + major) / (2 major)) >= m  <=>  i >= ceil((2m - 1) major / (2 minor))
    if (offsetFirst > 0) first = std::max(first, CeilDiv((2 * offsetFirst - 1) * major, 2 * minor));
    last = std::min(last, CeilDiv((2 * offsetLast + 1) * major, 2 * minor) - 1);

    for (int64_t i = first; i <= last; ++i) {
        const int64_t offset = (2 * i * minor + major) / (2 * major);
        const int a = static_cast<int>(majorStart + majorDir * i);
        const int b = static_cast<int>(minorStart + minorDir * offset);
        const int x = xMajor ? a : b;
        const int y = xMajor ? b : a;
        if (image.Contains(x, y)) image.At(x, y) = colour;
    }
}

void NormalisedCorners(Surface& s, double x1, double y1, double x2, double y2, int& left, int& top, int& right,
                       int& bottom) {
    const int ax = ToPixel(x1), ay = ToPixel(y1), bx = ToPixel(x2), by = ToPixel(y2);
    left = std::min(ax, bx);
    right = std::max(ax, bx);
    top = std::min(ay, by);
    bottom = std::max(ay, by);
    s.currentX = x2;
    s.currentY = y2;
}

// ---- Circles ----------------------------------------------------------------------

// One ring of pixels around the origin, described by its first octant: for each
// a = 0, 1, ... while a <= b, the pixel (a, b) with b = round(sqrt(r^2 - a^2)).
// `extent[d]` is the largest |x| of a ring pixel in the rows y = +-d.
struct Ring {
    std::vector<std::pair<int, int>> octant;
    std::vector<int> extent;

    int Reach() const { return static_cast<int>(extent.size()) - 1; }
};

Ring MakeRing(double radius) {
    Ring ring;
    const double r2 = radius * radius;
    for (int a = 0;; ++a) {
        const double rest = r2 - static_cast<double>(a) * a;
        if (rest < 0) break;
        const int b = RoundHalfEven(std::sqrt(rest));
        if (a > b) break;
        ring.octant.emplace_back(a, b);
    }
    const int reach = ring.octant.empty() ? 0 : ring.octant.front().second;
    ring.extent.assign(static_cast<size_t>(reach) + 1, 0);
    for (auto [a, b] : ring.octant) {
        ring.extent[b] = std::max(ring.extent[b], a);
        ring.extent[a] = std::max(ring.extent[a], b);
    }
    return ring;
}

double NormaliseAngle(double angle) { return std::fmod(std::fabs(angle), kTwoPi); }

// The counter-clockwise sweep from `start` to `end` (radians, counter-clockwise as seen
// on screen); equal ends mean the whole turn. Pixels are tested against the two edge
// directions with cross products, counting pixels on an edge as inside.
class Sweep {
public:
    Sweep(double start, double end) : start_(NormaliseAngle(start)) {
        double length = NormaliseAngle(end) - start_;
        if (length < 0) length += kTwoPi;
        length_ = length == 0 ? kTwoPi : length;
        startX_ = std::cos(start_), startY_ = std::sin(start_);
        endX_ = std::cos(start_ + length_), endY_ = std::sin(start_ + length_);
    }

    double Start() const { return start_; }
    double End() const { return start_ + length_; }

    // Whether the pixel offset (dx, dy) from the centre lies in the sweep.
    bool Contains(int dx, int dy) const {
        if (length_ >= kTwoPi || (dx == 0 && dy == 0)) return true;
        const double px = dx, py = -dy;  // y up, as the angles count
        const double slack = 1e-9 * (std::fabs(px) + std::fabs(py));
        const double fromStart = startX_ * py - startY_ * px;  // > 0: counter-clockwise of start
        const double toEnd = px * endY_ - py * endX_;          // > 0: clockwise of end
        if (length_ <= std::numbers::pi) return fromStart >= -slack && toEnd >= -slack;
        return !(fromStart < -slack && toEnd < -slack);
    }

private:
    double start_;
    double length_;
    double startX_, startY_, endX_, endY_;
};

template <typename Plot>
void ForEachRingPixel(const Ring& ring, Plot plot) {
    for (auto [a, b] : ring.octant) {
        const int points[8][2] = {{a, b}, {-a, b}, {a, -b}, {-a, -b}, {b, a}, {-b, a}, {b, -a}, {-b, -a}};
        for (const auto& p : points) plot(p[0], p[1]);
    }
}

void FillDisc(Image& image, int cx, int cy, const Ring& ring, Colour colour) {
    for (int d = -ring.Reach(); d <= ring.Reach(); ++d) {
        const int half = ring.extent[std::abs(d)];
        HorizontalSpan(image, cx - half, cx + half, cy + d, colour);
    }
}

void FillSector(Image& image, int cx, int cy, const Ring& ring, const Sweep& sweep, Colour colour) {
    const int reach = ring.Reach();
    const int top = std::max(cy - reach, 0), bottom = std::min(cy + reach, image.Height() - 1);
    for (int y = top; y <= bottom; ++y) {
        const int half = ring.extent[std::abs(y - cy)];
        const int left = std::max(cx - half, 0), right = std::min(cx + half, image.Width() - 1);
        for (int x = left; x <= right; ++x) {
            if (sweep.Contains(x - cx, y - cy)) image.At(x, y) = colour;
        }
    }
}

void DrawRadius(Image& image, int cx, int cy, double radius, double angle, Colour colour) {
    const int ex = ToPixel(cx + radius * std::cos(angle));
    const int ey = ToPixel(cy - radius * std::sin(angle));
    RasterLine(image, cx, cy, ex, ey, colour, true);
}

bool IsNegative(double angle) { return std::signbit(angle); }

}  // namespace

void Line(Surface& s, double x1, double y1, double x2, double y2, Colour colour) {
    RasterLine(s.image, ToPixel(x1), ToPixel(y1), ToPixel(x2), ToPixel(y2), colour, false);
    s.currentX = x2;
    s.currentY = y2;
}

void Line(Surface& s, double x1, double y1, double x2, double y2) { Line(s, x1, y1, x2, y2, s.foreColour); }

void LineTo(Surface& s, double x2, double y2, Colour colour) { Line(s, s.currentX, s.currentY, x2, y2, colour); }

void LineTo(Surface& s, double x2, double y2) { LineTo(s, x2, y2, s.foreColour); }

void Box(Surface& s, double x1, double y1, double x2, double y2, Colour colour) {
    int left, top, right, bottom;
    NormalisedCorners(s, x1, y1, x2, y2, left, top, right, bottom);
    if (s.fillStyle == FillStyle::Solid && right - left >= 2 && bottom - top >= 2) {
        FillRect(s.image, left + 1, top + 1, right - left - 1, bottom - top - 1, s.fillColour);
    }
    HorizontalSpan(s.image, left, right, top, colour);
    HorizontalSpan(s.image, left, right, bottom, colour);
    VerticalSpan(s.image, left, top, bottom, colour);
    VerticalSpan(s.image, right, top, bottom, colour);
}

void FilledBox(Surface& s, double x1, double y1, double x2, double y2, Colour colour) {
    int left, top, right, bottom;
    NormalisedCorners(s, x1, y1, x2, y2, left, top, right, bottom);
    FillRect(s.image, left, top, right - left + 1, bottom - top + 1, colour);
}

void Circle(Surface& s, double cx, double cy, double radius, Colour colour) {
    const int x = ToPixel(cx), y = ToPixel(cy);
    const Ring ring = MakeRing(std::fabs(radius));
    if (s.fillStyle == FillStyle::Solid) FillDisc(s.image, x, y, ring, s.fillColour);
    ForEachRingPixel(ring, [&](int dx, int dy) { SetPixelV(s.image, x + dx, y + dy, colour); });
}

void Arc(Surface& s, double cx, double cy, double radius, Colour colour, double start, double end) {
    const int x = ToPixel(cx), y = ToPixel(cy);
    radius = std::fabs(radius);
    const Ring ring = MakeRing(radius);
    const Sweep sweep(start, end);
    const bool startRadius = IsNegative(start), endRadius = IsNegative(end);
    if (startRadius && endRadius && s.fillStyle == FillStyle::Solid) {
        FillSector(s.image, x, y, ring, sweep, s.fillColour);
    }
    ForEachRingPixel(ring, [&](int dx, int dy) {
        if (sweep.Contains(dx, dy)) SetPixelV(s.image, x + dx, y + dy, colour);
    });
    if (startRadius) DrawRadius(s.image, x, y, radius, sweep.Start(), colour);
    if (endRadius) DrawRadius(s.image, x, y, radius, sweep.End(), colour);
}

void SetPixelV(Surface& s, int x, int y, Colour colour) { SetPixelV(s.image, x, y, colour); }

void FillRect(Image& dest, int x, int y, int w, int h, Colour colour) {
    const int left = std::max(x, 0), top = std::max(y, 0);
    const int right = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(x) + w, dest.Width()));
    const int bottom = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(y) + h, dest.Height()));
    if (left >= right || top >= bottom) return;
    for (int row = top; row < bottom; ++row) {
        FillSpan(dest.Row(row) + left, right - left, colour);
    }
}

namespace {

// Shrinks a block copy so that both its source and its destination lie inside their
// images. Returns false when nothing is left.
bool ClipBlock(const Image& dest, int& dx, int& dy, int& w, int& h, const Image& src, int& sx, int& sy) {
    auto clipStart = [&](int& d, int& s, int& size) {
        const int shift = std::max({0, -d, -s});
        d += shift;
        s += shift;
        size -= shift;
    };
    clipStart(dx, sx, w);
    clipStart(dy, sy, h);
    w = std::min({w, dest.Width() - dx, src.Width() - sx});
    h = std::min({h, dest.Height() - dy, src.Height() - sy});
    return w > 0 && h > 0;
}

void CombineRow(Colour* out, const Colour* in, int w, BlitMode mode) {
    switch (mode) {
        case BlitMode::Copy: std::memmove(out, in, static_cast<size_t>(w) * sizeof(Colour)); break;
        case BlitMode::Or: CombineSpan(out, in, w, [](auto a, auto b) { return a | b; }); break;
        case BlitMode::And: CombineSpan(out, in, w, [](auto a, auto b) { return a & b; }); break;
    }
}

}  // namespace

void BitBlt(Image& dest, int dx, int dy, int w, int h, const Image& src, int sx, int sy, BlitMode mode) {
    if (!ClipBlock(dest, dx, dy, w, h, src, sx, sy)) return;
    if (&dest == &src) {
        // Copying within one image: take the source first so overlap cannot smear it.
        Image block(w, h);
        BitBlt(block, 0, 0, w, h, src, sx, sy, BlitMode::Copy);
        BitBlt(dest, dx, dy, w, h, block, 0, 0, mode);
        return;
    }
    for (int row = 0; row < h; ++row) CombineRow(dest.Row(dy + row) + dx, src.Row(sy + row) + sx, w, mode);
}

namespace {

// (over * alpha + under * (255 - alpha) + 127) / 255 per channel, rounded down. Red and
// blue share one word, 16 bits apart, so no sum spills into the other; the division
// by 255 is (x + 1 + (x >> 8)) >> 8, exact for every x up to 65152. Inlined: as a call
// it cost a text's edge pixels more than the blending itself.
[[gnu::always_inline]] inline Colour BlendChannelwise(Colour under, Colour over, int alpha) {
    constexpr uint32_t kRedBlue = 0x00FF00FFu, kRound = 127u * 0x00010001u, kOnes = 0x00010001u;
    const uint32_t a = static_cast<uint32_t>(alpha), rest = 255u - a;
    const uint32_t redBlue = (over & kRedBlue) * a + (under & kRedBlue) * rest + kRound;
    const uint32_t green = ((over >> 8) & 0xFFu) * a + ((under >> 8) & 0xFFu) * rest + 127u;
    const uint32_t redBlueOut = ((redBlue + kOnes + ((redBlue >> 8) & kRedBlue)) >> 8) & kRedBlue;
    const uint32_t greenOut = ((green + 1u + (green >> 8)) >> 8) & 0xFFu;
    return redBlueOut | (greenOut << 8);
}

#if defined(__SSE2__)
// BlendChannelwise on four pixels at once, each channel in a 16-bit lane: every step
// stays within 16 bits (at most 255 * 255 + 127, then + 1 + 254), so the lanes give
// exactly the scalar results. Where coverage is 255 the pixel becomes `colour`, as the
// scalar loop does.
class FourPixelBlend {
public:
    explicit FourPixelBlend(Colour colour)
        : colour_(_mm_set1_epi32(static_cast<int>(colour))), over_(_mm_unpacklo_epi8(colour_, _mm_setzero_si128())) {}

    [[gnu::always_inline]] void operator()(Colour* pixels, const uint8_t* coverage) const {
        const __m128i zero = _mm_setzero_si128();
        int32_t four;
        std::memcpy(&four, coverage, sizeof four);
        // Each pixel's coverage in all four of its bytes.
        const __m128i bytes = _mm_cvtsi32_si128(four);
        const __m128i pairs = _mm_unpacklo_epi8(bytes, bytes);
        const __m128i spread = _mm_unpacklo_epi16(pairs, pairs);
        const __m128i under = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
        const __m128i low = Blend(_mm_unpacklo_epi8(under, zero), _mm_unpacklo_epi8(spread, zero));
        const __m128i high = Blend(_mm_unpackhi_epi8(under, zero), _mm_unpackhi_epi8(spread, zero));
        // The scalar blend leaves the fourth byte 0.
        const __m128i blended = _mm_and_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(0x00FFFFFF));
        const __m128i full = _mm_cmpeq_epi32(spread, _mm_set1_epi32(-1));
        const __m128i out = _mm_or_si128(_mm_and_si128(full, colour_), _mm_andnot_si128(full, blended));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), out);
    }

private:
    [[gnu::always_inline]] __m128i Blend(__m128i under, __m128i alpha) const {
        const __m128i rest = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
        const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(over_, alpha), _mm_mullo_epi16(under, rest)),
                                          _mm_set1_epi16(127));
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(sum, _mm_set1_epi16(1)), _mm_srli_epi16(sum, 8)), 8);
    }

    __m128i colour_;
    __m128i over_;  // two copies of the colour, a channel per 16-bit lane
};
#endif

// Blends one row of coverage into `row`. Most of a text cell is empty, so coverage is
// read eight pixels at a time and empty stretches are passed over whole.
void BlendPixel(Colour& pixel, int alpha, Colour colour) {
    if (alpha == 255) {
        pixel = colour;
    } else if (alpha != 0) {
        pixel = BlendChannelwise(pixel, colour, alpha);
    }
}

void BlendCoverageRow(Colour* row, const uint8_t* coverage, int count, Colour colour) {
    int x = 0;
    for (; x + 8 <= count; x += 8) {
        uint64_t eight;
        std::memcpy(&eight, coverage + x, sizeof eight);
        if (eight == 0) continue;
        for (int k = x; k < x + 8; ++k) BlendPixel(row[k], coverage[k], colour);
    }
    for (; x < count; ++x) BlendPixel(row[x], coverage[x], colour);
}

// The coverage `spans` of `mask` whose cell's top-left is at (left, top), clipped to the
// cell's part [x0, x1) x [y0, y1), blended in `colour`.
[[gnu::always_inline]] inline void BlendSpans(Image& image, const TextMask& mask,
                                              const std::vector<TextMask::Span>& spans, int left, int top, int x0,
                                              int y0, int x1, int y1, Colour colour) {
    Colour* const pixels = image.Row(0);
    const ptrdiff_t stride = image.Width();
#if defined(__SSE2__)
    const FourPixelBlend four(colour);
#endif
    for (const TextMask::Span& span : spans) {
        if (span.y < y0 || span.y >= y1) continue;
        const int from = std::max<int>(span.x, x0), to = std::min(span.x + span.length, x1);
        const uint8_t* coverage = mask.alpha.data() + static_cast<size_t>(span.y) * mask.width;
        // Clipping keeps top + span.y and left + x inside the image.
        Colour* row = pixels + (top + span.y) * stride;
        int x = from;
#if defined(__SSE2__)
        for (; x + 4 <= to; x += 4) four(row + left + x, coverage + x);
#endif
        for (; x < to; ++x) {
            Colour& pixel = row[left + x];
            pixel = coverage[x] == 255 ? colour : BlendChannelwise(pixel, colour, coverage[x]);
        }
    }
}

// Half of all text is the black of outlines and shadows, which blends in with no
// products of its own.
void BlendSpansIn(Image& image, const TextMask& mask, const std::vector<TextMask::Span>& spans, int left, int top,
                  int x0, int y0, int x1, int y1, Colour colour) {
    if (colour == kBlack) {
        BlendSpans(image, mask, spans, left, top, x0, y0, x1, y1, kBlack);
    } else {
        BlendSpans(image, mask, spans, left, top, x0, y0, x1, y1, colour);
    }
}

bool FullyCovers(const TextMask& mask, int x, int y) {
    return x >= 0 && y >= 0 && x < mask.width && y < mask.height &&
           mask.alpha[static_cast<size_t>(y) * mask.width + x] == 255;
}

// Splits each copy's spans around the pixels that a later copy covers fully: those end
// up in the later copy's colour whatever was blended there before.
TextMask::CopyPlan MakeCopyPlan(const TextMask& mask, std::vector<std::pair<int, int>> offsets) {
    TextMask::CopyPlan plan{std::move(offsets), {}};
    const size_t copies = plan.offsets.size();
    plan.spans.resize(copies);
    for (size_t k = 0; k < copies; ++k) {
        auto [kx, ky] = plan.offsets[k];
        for (const TextMask::Span& span : mask.spans) {
            int runStart = -1;
            auto closeRun = [&](int end) {
                if (runStart >= 0) {
                    plan.spans[k].push_back(
                        {span.y, static_cast<int16_t>(runStart), static_cast<int16_t>(end - runStart)});
                }
                runStart = -1;
            };
            for (int x = span.x; x < span.x + span.length; ++x) {
                bool hidden = false;
                for (size_t m = k + 1; m < copies && !hidden; ++m) {
                    hidden = FullyCovers(mask, x + kx - plan.offsets[m].first, span.y + ky - plan.offsets[m].second);
                }
                if (hidden) {
                    closeRun(x);
                } else if (runStart < 0) {
                    runStart = x;
                }
            }
            closeRun(span.x + span.length);
        }
    }
    return plan;
}

// A mask keeps plans for this many patterns of offsets at most.
constexpr size_t kCopyPlansKept = 4;

const TextMask::CopyPlan& CopyPlanFor(const TextMask& mask, std::span<const TextCopy> copies) {
    std::vector<std::pair<int, int>> offsets;
    offsets.reserve(copies.size());
    for (const TextCopy& c : copies) offsets.emplace_back(c.x - copies[0].x, c.y - copies[0].y);
    for (const TextMask::CopyPlan& plan : mask.copyPlans) {
        if (plan.offsets == offsets) return plan;
    }
    if (mask.copyPlans.size() >= kCopyPlansKept) mask.copyPlans.clear();
    mask.copyPlans.push_back(MakeCopyPlan(mask, std::move(offsets)));
    return mask.copyPlans.back();
}

// Print of a rendered mask.
void PrintMask(Surface& s, const TextMask& mask) {
    const int left = ToPixel(s.currentX), top = ToPixel(s.currentY);
    const int x0 = std::max(0, -left), y0 = std::max(0, -top);
    const int x1 = std::min(mask.width, s.image.Width() - left);
    const int y1 = std::min(mask.height, s.image.Height() - top);
    if (x0 >= x1 || y0 >= y1) return;
    if (mask.spansFound) {
        BlendSpansIn(s.image, mask, mask.spans, left, top, x0, y0, x1, y1, s.foreColour);
        return;
    }
    for (int y = y0; y < y1; ++y) {
        const uint8_t* coverage = mask.alpha.data() + static_cast<size_t>(y) * mask.width;
        Colour* row = s.image.Row(top + y) + left;
        BlendCoverageRow(row + x0, coverage + x0, x1 - x0, s.foreColour);
    }
}

// Puts the surface's position and colour where a Print of `copy` leaves them.
void MoveTo(Surface& s, const TextCopy& copy) {
    s.currentX = copy.x;
    s.currentY = copy.y;
    s.foreColour = copy.colour;
}

}  // namespace

void PrintCopies(Surface& s, TextRenderer& text, std::string_view utf8, std::span<const TextCopy> copies) {
    if (copies.empty()) return;
    if (utf8.empty()) {
        MoveTo(s, copies.back());
        return;
    }
    // Each copy asks for its mask as Print would; all are one mask (TextRenderer).
    const TextMask* mask = nullptr;
    for (size_t k = 0; k < copies.size(); ++k) mask = &text.Render(utf8, s.fontSize);
    // A later copy hides what lies under it only where it is drawn: with every copy
    // wholly in the image, none is clipped.
    bool inside = mask->spansFound && copies.size() > 1;
    for (const TextCopy& c : copies) {
        inside = inside && c.x >= 0 && c.y >= 0 && c.x + mask->width <= s.image.Width() &&
                 c.y + mask->height <= s.image.Height();
    }
    if (!inside) {
        for (const TextCopy& c : copies) {
            MoveTo(s, c);
            PrintMask(s, *mask);
        }
        return;
    }
    const TextMask::CopyPlan& plan = CopyPlanFor(*mask, copies);
    for (size_t k = 0; k < copies.size(); ++k) {
        BlendSpansIn(s.image, *mask, plan.spans[k], copies[k].x, copies[k].y, 0, 0, mask->width, mask->height,
                     copies[k].colour);
    }
    MoveTo(s, copies.back());
}

void Print(Surface& s, TextRenderer& text, std::string_view utf8) {
    if (utf8.empty()) return;
    PrintMask(s, text.Render(utf8, s.fontSize));
}

void FindCoverageSpans(TextMask& mask) {
    mask.spans.clear();
    mask.spansFound = false;
    constexpr int kLargest = std::numeric_limits<int16_t>::max();
    if (mask.width > kLargest || mask.height > kLargest) return;
    // Spans are gathered in a buffer kept between calls and copied out once, at their
    // final size: a mask made every frame (a clock) then costs one allocation.
    thread_local std::vector<TextMask::Span> found;
    found.clear();
    const int width = mask.width;
    for (int y = 0; y < mask.height; ++y) {
        const uint8_t* coverage = mask.alpha.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width;) {
            uint64_t eight = 0;
            while (x + 8 <= width && (std::memcpy(&eight, coverage + x, 8), eight == 0)) x += 8;
            while (x < width && coverage[x] == 0) ++x;
            if (x == width) break;
            const int start = x;
            while (x < width && coverage[x] != 0) ++x;
            found.push_back({static_cast<int16_t>(y), static_cast<int16_t>(start), static_cast<int16_t>(x - start)});
        }
    }
    mask.spans.assign(found.begin(), found.end());
    mask.spansFound = true;
}

}  // namespace kelo
