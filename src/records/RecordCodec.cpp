#include "records/RecordCodec.h"

#include <algorithm>

namespace kelo {

namespace {

constexpr int kMirrorCourse = kCourseCount - 1;
constexpr int kMirrorPlace = kPlaceCount - 1;
constexpr int32_t kLowestOpenCourses = 2;
constexpr int32_t kHighestOpenCourses = kCourseCount;

uint8_t DigitByte(int digit, uint8_t scheme, Random& random) {
    int spread = random.Index(9);
    if (scheme == kSchemeMod10) return static_cast<uint8_t>(kLowestFieldByte + digit + 10 * spread);
    return static_cast<uint8_t>(kLowestFieldByte + 9 * digit + spread);
}

int ByteDigit(uint8_t byte, uint8_t scheme) {
    int offset = byte - kLowestFieldByte;
    return scheme == kSchemeMod10 ? offset % 10 : offset / 9;
}

bool IsFieldByte(uint8_t byte) { return byte >= kLowestFieldByte && byte <= kHighestFieldByte; }

// The fields of a file in the order they are written; a field beyond the end of the
// bytes reads as missing.
class FieldReader {
public:
    explicit FieldReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    std::optional<int32_t> Next(uint8_t scheme) {
        size_t start = static_cast<size_t>(next_++) * kFieldSize;
        if (start + kFieldSize > bytes_.size()) return std::nullopt;
        std::string_view text(reinterpret_cast<const char*>(bytes_.data() + start), kFieldSize);
        return DecodeField(text, scheme);
    }

private:
    const std::vector<uint8_t>& bytes_;
    int next_ = 0;
};

void AppendField(std::vector<uint8_t>& out, int32_t value, uint8_t scheme, Random& random) {
    std::string field = EncodeScore(value, scheme, random);
    out.insert(out.end(), field.begin(), field.end());
}

bool CopiesAgree(std::optional<int32_t> forward, std::optional<int32_t> mirror) {
    return forward && mirror && *forward == *mirror;
}

uint8_t LoadedOpenCourses(std::optional<int32_t> header, std::optional<int32_t> trailer) {
    if (!CopiesAgree(header, trailer)) return kLowestOpenCourses;
    return static_cast<uint8_t>(std::clamp(*header, kLowestOpenCourses, kHighestOpenCourses));
}

uint8_t LoadedClearMark(int32_t value) { return static_cast<uint8_t>(std::min<int32_t>(value, 255)); }

}  // namespace

std::string EncodeScore(int32_t value, uint8_t scheme, Random& random) {
    std::string digits = std::to_string(std::max<int32_t>(value, 0));
    if (digits.size() < kFieldSize) digits.insert(0, kFieldSize - digits.size(), '0');
    // Kept: as in the original, a value of a million or more keeps its six leading digits.
    std::string field;
    for (int i = 0; i < kFieldSize; ++i) field += static_cast<char>(DigitByte(digits[i] - '0', scheme, random));
    return field;
}

std::optional<int32_t> DecodeField(std::string_view text, uint8_t scheme) {
    if (text.size() != kFieldSize) return std::nullopt;
    int32_t value = 0;
    for (char c : text) {
        uint8_t byte = static_cast<uint8_t>(c);
        if (!IsFieldByte(byte)) return std::nullopt;
        value = value * 10 + ByteDigit(byte, scheme);
    }
    return value;
}

int32_t DecodeScore(std::string_view text, uint8_t scheme) { return DecodeField(text, scheme).value_or(-1); }

std::vector<uint8_t> EncodeRecordFile(const RecordTable& table, Random& random) {
    std::vector<uint8_t> out;
    out.reserve(kRecordFileSize);
    AppendField(out, table.openCourses, kSchemeMod10, random);
    for (int c = 0; c < kCourseCount; ++c) {
        for (int p = 0; p < kPlaceCount; ++p) {
            const CourseRecord& mirror = table.courseRecords[kMirrorCourse - c];
            AppendField(out, table.clearMark[c], kSchemeMod10, random);
            AppendField(out, table.courseRecords[c].times[p], kSchemeMod10, random);
            AppendField(out, table.courseRecords[c].speeds[p], kSchemeMod10, random);
            AppendField(out, mirror.times[kMirrorPlace - p], kSchemeDiv9, random);
            AppendField(out, mirror.speeds[kMirrorPlace - p], kSchemeDiv9, random);
        }
    }
    AppendField(out, table.openCourses, kSchemeDiv9, random);
    return out;
}

namespace {

// The table a file loads as; `damage` says what, if anything, made it lose something.
RecordTable Decode(const std::vector<uint8_t>& bytes, RecordFileDamage& damage) {
    damage = bytes.size() == kRecordFileSize ? RecordFileDamage::None : RecordFileDamage::Size;
    auto note = [&damage](RecordFileDamage found) {
        if (damage == RecordFileDamage::None) damage = found;
    };
    using Field = std::optional<int32_t>;
    struct Copies {
        Field time, speed, mirrorTime, mirrorSpeed;
    };
    std::array<std::array<Copies, kPlaceCount>, kCourseCount> places{};
    RecordTable table;

    FieldReader reader(bytes);
    Field header = reader.Next(kSchemeMod10);
    for (int c = 0; c < kCourseCount; ++c) {
        for (int p = 0; p < kPlaceCount; ++p) {
            if (Field mark = reader.Next(kSchemeMod10)) {
                table.clearMark[c] = LoadedClearMark(*mark);
            } else {
                note(RecordFileDamage::UnreadableClearMark);
            }
            places[c][p].time = reader.Next(kSchemeMod10);
            places[c][p].speed = reader.Next(kSchemeMod10);
            Copies& mirror = places[kMirrorCourse - c][kMirrorPlace - p];
            mirror.mirrorTime = reader.Next(kSchemeDiv9);
            mirror.mirrorSpeed = reader.Next(kSchemeDiv9);
        }
    }
    Field trailer = reader.Next(kSchemeDiv9);
    table.openCourses = LoadedOpenCourses(header, trailer);
    if (!CopiesAgree(header, trailer)) note(RecordFileDamage::HeaderTrailer);

    for (int c = 0; c < kCourseCount; ++c) {
        for (int p = 0; p < kPlaceCount; ++p) {
            const Copies& copies = places[c][p];
            if (!CopiesAgree(copies.time, copies.mirrorTime) || !CopiesAgree(copies.speed, copies.mirrorSpeed)) {
                note(RecordFileDamage::DroppedPlace);
                continue;
            }
            table.courseRecords[c].times[p] = *copies.time;
            table.courseRecords[c].speeds[p] = *copies.speed;
        }
    }
    return table;
}

}  // namespace

RecordTable DecodeRecordFile(const std::vector<uint8_t>& bytes) {
    RecordFileDamage damage;
    return Decode(bytes, damage);
}

RecordFileDamage CheckRecordFile(const std::vector<uint8_t>& bytes) {
    RecordFileDamage damage;
    Decode(bytes, damage);
    return damage;
}

const char* RecordFileDamageText(RecordFileDamage damage) {
    switch (damage) {
        case RecordFileDamage::None: return "it reads whole";
        case RecordFileDamage::Size: return "it is not 1362 bytes long";
        case RecordFileDamage::HeaderTrailer: return "its header and trailer disagree";
        case RecordFileDamage::DroppedPlace: return "a place failed its mirror check";
        case RecordFileDamage::UnreadableClearMark: return "a clear mark does not read";
    }
    return "";
}

}  // namespace kelo
