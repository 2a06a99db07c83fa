// Fuzzes the record file's decoder and encoder. For any bytes at all:
//   - the decoded table is in range: openCourses 2..9, times and speeds 0..999999;
//   - its encoding is 1362 bytes, each from 32 to 121;
//   - decoding that encoding gives the same table again, whatever the random draws,
//     and finds no damage in it (a save never takes its own file for a damaged one).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "records/RecordCodec.h"

namespace {

using kelo::RecordTable;

[[noreturn]] void Broken(const char* invariant) {
    std::fprintf(stderr, "record codec invariant broken: %s\n", invariant);
    std::abort();
}

void Require(bool holds, const char* invariant) {
    if (!holds) Broken(invariant);
}

bool SameTable(const RecordTable& a, const RecordTable& b) {
    if (a.openCourses != b.openCourses || a.clearMark != b.clearMark) return false;
    for (int c = 0; c < kelo::kCourseCount; ++c) {
        if (a.courseRecords[c].times != b.courseRecords[c].times) return false;
        if (a.courseRecords[c].speeds != b.courseRecords[c].speeds) return false;
    }
    return true;
}

void RequireInRange(const RecordTable& table) {
    Require(table.openCourses >= 2 && table.openCourses <= 9, "openCourses within 2..9");
    for (const kelo::CourseRecord& record : table.courseRecords) {
        for (int p = 0; p < kelo::kPlaceCount; ++p) {
            Require(record.times[p] >= 0 && record.times[p] <= 999999, "times within 0..999999");
            Require(record.speeds[p] >= 0 && record.speeds[p] <= 999999, "speeds within 0..999999");
        }
    }
}

// The seed of the encoder's draws comes from the input too, so the fuzzer explores them.
uint32_t SeedFrom(const uint8_t* data, size_t size) {
    uint32_t seed = 2166136261u;
    for (size_t i = 0; i < size; ++i) seed = (seed ^ data[i]) * 16777619u;
    return seed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const RecordTable decoded = kelo::DecodeRecordFile(bytes);
    RequireInRange(decoded);

    kelo::Random random;
    random.Seed(SeedFrom(data, size));
    const std::vector<uint8_t> encoded = kelo::EncodeRecordFile(decoded, random);
    Require(encoded.size() == static_cast<size_t>(kelo::kRecordFileSize), "1362 bytes out");
    for (uint8_t byte : encoded)
        Require(byte >= kelo::kLowestFieldByte && byte <= kelo::kHighestFieldByte, "bytes 32..121 out");
    Require(SameTable(kelo::DecodeRecordFile(encoded), decoded), "decode(encode(decode(x))) = decode(x)");
    Require(kelo::CheckRecordFile(encoded) == kelo::RecordFileDamage::None, "an encoded table loads whole");
    return 0;
}
