#include "platform/common/Png.h"

#include <SDL.h>
#include <SDL_image.h>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace kelo {

namespace {

// Colour packs red + 256 green + 65536 blue, which is SDL's XBGR8888 layout.
constexpr Uint32 kColourFormat = SDL_PIXELFORMAT_XBGR8888;

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], const uint8_t* data, size_t size) {
    PutBigEndian(out, static_cast<uint32_t>(size));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    if (size > 0) out.insert(out.end(), data, data + size);
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(size + 4));
    PutBigEndian(out, static_cast<uint32_t>(crc));
}

// Byte-wise a - b of the packed colours, each byte wrapping around on its own.
uint32_t BytewiseDifference(uint32_t a, uint32_t b) {
    constexpr uint32_t kHigh = 0x80808080u;
    return ((a | kHigh) - (b & ~kHigh)) ^ ((a ^ ~b) & kHigh);
}

// Stores the red, green and blue bytes of `packed` at `out` (and one byte of slack
// after them, overwritten by the next pixel or left in the spare byte at the end).
void PutRgb(uint8_t* out, uint32_t packed) { std::memcpy(out, &packed, sizeof packed); }

// The rows as PNG wants them before compression: each row one filter byte, then its
// pixels as red, green, blue. The first row is stored as it is; every later row uses
// the Up filter (each byte minus the byte above), which turns the game's flat areas and
// its vertical stripes into runs of zeros. `rows` is reused from frame to frame and
// holds one spare byte at its end.
void FilterRows(const Image& image, std::vector<uint8_t>& rows) {
    const size_t stride = static_cast<size_t>(image.Width()) * 3 + 1;
    rows.resize(stride * image.Height() + 1);
    for (int y = 0; y < image.Height(); ++y) {
        uint8_t* out = rows.data() + stride * y;
        const Colour* in = image.Row(y);
        const Colour* above = y == 0 ? nullptr : image.Row(y - 1);
        *out++ = above ? 2 : 0;  // Up, or None
        for (int x = 0; x < image.Width(); ++x, out += 3) {
            PutRgb(out, above ? BytewiseDifference(in[x], above[x]) : in[x]);
        }
    }
    rows.pop_back();
}

// A zlib stream of one deflate block with the fixed Huffman codes, whose only matches
// repeat the previous byte (distance 1). The filtered frames are mostly long runs of
// zeros, which this finds a word at a time; general compressors spend far longer
// searching for matches that gain little here.
class RunLengthDeflater {
public:
    explicit RunLengthDeflater(std::vector<uint8_t>& out) : out_(out) {}

    void Compress(const uint8_t* data, size_t size) {
        // Nine bits a literal at worst, plus the header, the last bits and the checksum.
        out_.resize(size + size / 8 + 64);
        next_ = out_.data();
        *next_++ = 0x78;    // deflate, 32 KiB window
        *next_++ = 0x01;    // no preset dictionary, fastest compression
        PutBits(0b011, 3);  // the final block, fixed codes
        size_t i = 0;
        while (i < size) {
            const size_t run = i == 0 ? 0 : RunLength(data, size, i);
            if (run >= kMinMatch) {
                PutRepeats(data[i - 1], run);
                i += run;
            } else {
                PutSymbol(data[i]);
                ++i;
            }
        }
        PutSymbol(kEndOfBlock);
        Flush();
        const uLong adler = adler32(adler32(0L, nullptr, 0), data, static_cast<uInt>(size));
        for (int shift = 24; shift >= 0; shift -= 8) *next_++ = static_cast<uint8_t>(adler >> shift);
        out_.resize(static_cast<size_t>(next_ - out_.data()));
    }

private:
    static constexpr size_t kMinMatch = 3;
    static constexpr size_t kMaxMatch = 258;
    static constexpr int kEndOfBlock = 256;

    // How many bytes from `i` on equal the byte before `i`.
    static size_t RunLength(const uint8_t* data, size_t size, size_t i) {
        const uint8_t value = data[i - 1];
        const uint64_t pattern = 0x0101010101010101ull * value;
        size_t end = i;
        while (end + 8 <= size) {
            uint64_t word;
            std::memcpy(&word, data + end, sizeof word);
            const uint64_t differs = word ^ pattern;
            if (differs != 0) return end - i + static_cast<size_t>(__builtin_ctzll(differs) / 8);
            end += 8;
        }
        while (end < size && data[end] == value) ++end;
        return end - i;
    }

    // `run` (at least kMinMatch) copies of `value` as matches at distance 1; a
    // remainder too short to be a match goes out as literals.
    void PutRepeats(uint8_t value, size_t run) {
        while (run >= kMinMatch) {
            size_t length = std::min(run, kMaxMatch);
            // Never leave a remainder of one or two bytes after a full-length match.
            if (run - length > 0 && run - length < kMinMatch) length -= kMinMatch;
            PutMatch(length);
            run -= length;
        }
        for (; run > 0; --run) PutSymbol(value);
    }

    void PutMatch(size_t length) {
        const LengthCode& code = Codes().lengths[length];
        PutSymbol(code.symbol);
        PutBits(code.extra, code.extraBits);
        PutBits(0, 5);  // distance code 0: distance 1
    }

    void PutSymbol(int symbol) {
        const SymbolCode& code = Codes().symbols[symbol];
        PutBits(code.bits, code.length);
    }

    void PutBits(uint32_t bits, int count) {
        bits_ |= static_cast<uint64_t>(bits) << bitCount_;
        bitCount_ += count;
        if (bitCount_ >= 32) {
            const uint32_t low = static_cast<uint32_t>(bits_);
            std::memcpy(next_, &low, sizeof low);  // little-endian, as deflate packs its bits
            next_ += 4;
            bits_ >>= 32;
            bitCount_ -= 32;
        }
    }

    void Flush() {
        for (; bitCount_ > 0; bitCount_ -= 8, bits_ >>= 8) *next_++ = static_cast<uint8_t>(bits_);
        bitCount_ = 0;
    }

    // The fixed Huffman code of each literal/length symbol, bit-reversed because deflate
    // sends codes most significant bit first into a stream packed from the low bit up.
    struct SymbolCode {
        uint32_t bits = 0;
        int length = 0;
    };
    struct LengthCode {
        int symbol = 0;
        int extraBits = 0;
        uint32_t extra = 0;
    };
    struct CodeTables {
        std::array<SymbolCode, 288> symbols{};
        std::array<LengthCode, kMaxMatch + 1> lengths{};
    };

    static uint32_t Reversed(uint32_t code, int length) {
        uint32_t reversed = 0;
        for (int b = 0; b < length; ++b) reversed |= ((code >> b) & 1u) << (length - 1 - b);
        return reversed;
    }

    static const CodeTables& Codes() {
        static const CodeTables tables = [] {
            CodeTables t;
            for (int symbol = 0; symbol < 288; ++symbol) {
                uint32_t code;
                int length;
                if (symbol < 144)
                    code = 0x30 + symbol, length = 8;
                else if (symbol < 256)
                    code = 0x190 + (symbol - 144), length = 9;
                else if (symbol < 280)
                    code = symbol - 256, length = 7;
                else
                    code = 0xC0 + (symbol - 280), length = 8;
                t.symbols[symbol] = {Reversed(code, length), length};
            }
            constexpr int kBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
            constexpr int kExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
            for (int c = 0; c < 29; ++c) {
                const int last = c == 28 ? 258 : std::min(kBase[c] + (1 << kExtra[c]) - 1, 257);
                for (int length = kBase[c]; length <= last; ++length) {
                    t.lengths[length] = {257 + c, kExtra[c], static_cast<uint32_t>(length - kBase[c])};
                }
            }
            return t;
        }();
        return tables;
    }

    std::vector<uint8_t>& out_;
    uint8_t* next_ = nullptr;
    uint64_t bits_ = 0;
    int bitCount_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodePng(const Image& image) {
    thread_local std::vector<uint8_t> rows, packed;
    if (image.Width() <= 0 || image.Height() <= 0) return {};
    FilterRows(image, rows);
    RunLengthDeflater(packed).Compress(rows.data(), rows.size());
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian(header, static_cast<uint32_t>(image.Width()));
    PutBigEndian(header, static_cast<uint32_t>(image.Height()));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, adaptive filters, no interlace
    out.reserve(packed.size() + 64);
    PutChunk(out, "IHDR", header.data(), header.size());
    PutChunk(out, "IDAT", packed.data(), packed.size());
    PutChunk(out, "IEND", nullptr, 0);
    return out;
}

bool SavePng(const Image& image, const std::string& path) {
    std::vector<uint8_t> bytes = EncodePng(image);
    if (bytes.empty()) return false;
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return std::fclose(file.release()) == 0 && written;
}

std::optional<Image> LoadPng(const std::string& path) {
    SurfacePtr loaded(IMG_Load(path.c_str()));
    if (!loaded) return std::nullopt;
    SurfacePtr packed(SDL_ConvertSurfaceFormat(loaded.get(), kColourFormat, 0));
    if (!packed) return std::nullopt;
    Image image(packed->w, packed->h);
    for (int y = 0; y < packed->h; ++y) {
        const auto* row =
            reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(packed->pixels) + y * packed->pitch);
        for (int x = 0; x < packed->w; ++x) image.At(x, y) = row[x] & 0xFFFFFFu;
    }
    return image;
}

}  // namespace kelo
