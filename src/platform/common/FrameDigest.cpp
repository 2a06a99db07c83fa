#include "platform/common/FrameDigest.h"

#include <zlib.h>

#include <bit>
#include <cstdio>

namespace kelo {

static_assert(std::endian::native == std::endian::little, "the digest reads the colours as they lie in memory");

uint32_t FrameDigest(const Image& frame) {
    uLong crc = crc32(0L, Z_NULL, 0);
    for (int y = 0; y < frame.Height(); ++y) {
        crc = crc32(crc, reinterpret_cast<const Bytef*>(frame.Row(y)), static_cast<uInt>(frame.Width() * 4));
    }
    return static_cast<uint32_t>(crc);
}

std::string FrameDigester::Line(int64_t frame, const Image& image) {
    if (!any_ || image.Stamp() != stamp_) digest_ = FrameDigest(image);
    stamp_ = image.Stamp();
    any_ = true;
    char line[40];
    const int length = std::snprintf(line, sizeof line, "%lld %08x\n", static_cast<long long>(frame), digest_);
    return std::string(line, static_cast<size_t>(length));
}

}  // namespace kelo
