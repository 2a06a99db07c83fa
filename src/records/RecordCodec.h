#pragma once
// The bytes of the record file "kelodt.hsc", with no file system and no game attached
// (loading and saving through the platform: RecordFile.h). The file holds the best five
// of every course, the clear marks and the number of open courses, with scrambled
// digits and every table entry stored twice.
//
// Field: six bytes holding one number 0..999999 as six decimal digits, most
// significant first. Each digit d hides behind one byte, drawn afresh per digit:
//   mod-10 scheme (0): byte 32 + d + 10k, k uniform in 0..8; digit = (byte - 32) mod 10
//   div-9 scheme  (1): byte 32 + 9d + j,  j uniform in 0..8; digit = (byte - 32) div 9
// Both schemes use only bytes 32..121; any other byte makes the field unreadable.
//
// Layout: 227 fields, 1362 bytes, nothing else (no line ends, no length).
// g = 5c + p numbers the groups: course c = 0..8, place p = 0..4, place fastest.
//   offset 0        header   openCourses                                mod-10
//   offset 6 + 30g  clearMark(c)        (five copies per course)       mod-10
//   offset 12 + 30g times(c, p)         run time in ms                 mod-10
//   offset 18 + 30g speeds(c, p)        hundredths of keys per minute  mod-10
//   offset 24 + 30g times(8 - c, 4 - p)   mirror copy                  div-9
//   offset 30 + 30g speeds(8 - c, 4 - p)  mirror copy                  div-9
//   offset 1356     trailer  openCourses                                div-9
//
// Loading keeps a place only when both copies of its time and of its speed agree;
// otherwise the place is emptied (time and speed 0). A header and trailer that
// disagree give two open courses. Kept: as in the original, the last readable copy of
// a clear mark wins and clear marks are checked against nothing.
// Changed: fields that are missing (short file) or unreadable (bytes outside 32..121)
// count as copies that disagree, where the original has no rule for them, a clear mark
// above 255 reads as 255, and openCourses is kept within 2..9, where the original has
// no lower bound, so course paging always has two courses to cycle.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/GameState.h"
#include "app/Random.h"

namespace kelo {

constexpr uint8_t kSchemeMod10 = 0;
constexpr uint8_t kSchemeDiv9 = 1;
constexpr int kFieldSize = 6;
constexpr int kRecordFieldCount = 227;
constexpr int kRecordFileSize = kFieldSize * kRecordFieldCount;  // 1362
constexpr uint8_t kLowestFieldByte = 32;
constexpr uint8_t kHighestFieldByte = 121;

// Six field bytes for `value` in `scheme`. Negative values are stored as 0; values of
// a million or more keep their six leading digits. Draws one Rnd per digit.
std::string EncodeScore(int32_t value, uint8_t scheme, Random& random);

// The number in a field, or nothing when the text is not six bytes of 32..121.
std::optional<int32_t> DecodeField(std::string_view text, uint8_t scheme);

// The number in a field; an unreadable field reads as -1, a value no field can hold.
int32_t DecodeScore(std::string_view text, uint8_t scheme);

// The record part of the game state, as the file stores it.
struct RecordTable {
    uint8_t openCourses = 2;
    std::array<uint8_t, kCourseCount> clearMark{};  // a ClearMark as the file holds it
    std::array<CourseRecord, kCourseCount> courseRecords{};
};

// The 1362 file bytes for `table`.
std::vector<uint8_t> EncodeRecordFile(const RecordTable& table, Random& random);
// The table that a file of any length and content loads as.
RecordTable DecodeRecordFile(const std::vector<uint8_t>& bytes);

// Whether a file loads whole, and otherwise the first thing that made it lose something.
enum class RecordFileDamage { None, Size, HeaderTrailer, DroppedPlace, UnreadableClearMark };
RecordFileDamage CheckRecordFile(const std::vector<uint8_t>& bytes);
// What the damage is, as a phrase for a message: "it is not 1362 bytes long".
const char* RecordFileDamageText(RecordFileDamage damage);

}  // namespace kelo
