#pragma once
// Changed: the original keeps nothing of a play session; the port records every session
// as the answers the platform gave, so any run can be played again.
//
// The bytes of a replay (docs/replay-format.md): a session is cut into segments, the
// session's start and each run's start, each stored on its own and compressed with
// zlib. A segment opens with a header (format and game version, its index, the first
// screen or a snapshot of the game at the run's start) and goes on with one record per
// platform call: a tag byte and the call's answer, numbers as varints, clock readings
// as deltas from the previous one.

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/Game.h"

namespace kelo {

inline constexpr uint32_t kReplayFormatVersion = 1;
inline constexpr char kReplayMagic[4] = {'K', 'L', 'R', 'P'};
// No segment that decompresses to more is accepted (a snapshot is well under 1 MiB,
// a minute of play a few dozen KiB).
inline constexpr size_t kReplaySegmentLimit = 256u << 20;

// One record per platform call. Values are part of the format: never renumber.
enum class ReplayTag : uint8_t {
    FrameWaitBegin = 1,
    Now = 2,           // svarint: the answer minus the previous answer (mod 2^32)
    Sleep = 3,         // varint: the milliseconds asked
    YieldBegin = 4,    // byte: YieldKind
    KeyDown = 5,       // byte: vk
    KeyUp = 6,         // byte: vk
    CloseRequest = 7,  //
    YieldEnd = 8,
    PresentNew = 9,
    PresentRepeated = 10,
    Sound = 11,
    OtherInstance = 12,  // byte
    ShowWindow = 13,
    RandomSeed = 14,    // varint
    ReadRecords = 15,   // optional bytes
    WriteRecords = 16,  // byte: the answer
    SaveBegin = 17,
    SaveMerge = 18,   // optional bytes: the file as the save found it
    SaveEnd = 19,     // byte: the answer
    Translate = 20,   // string original, string answer: the first ask in the segment
    WallClock = 21,   // svarint unix ms, svarint UTC offset minutes
    LayoutName = 22,  // string
    SaveRunHistory = 23,
    ReadProgress = 24,    // ProgressAggregate
    TypedKeyLayout = 25,  // 28 x (byte row, svarint quarter column)
    SegmentEnd = 40,      // the next segment goes on
    SessionEnd = 41,      // the game ended
    SessionCut = 42,      // the recording stopped here on purpose (a simulator's limit)
};

// Why a replay stopped short. Refused: nothing was played (other version, damaged,
// nothing to play). Diverged: the game asked something the recording does not hold
// at that point, or the recording ran out.
enum class ReplayFault { Refused, Diverged };

struct ReplayError : std::runtime_error {
    ReplayError(ReplayFault f, const std::string& what) : std::runtime_error(what), fault(f) {}
    ReplayFault fault;
};

// Appends varints and the like to a byte vector.
class ReplayWriter {
public:
    std::vector<uint8_t> bytes;

    void Byte(uint8_t v) { bytes.push_back(v); }
    void Tag(ReplayTag t) { bytes.push_back(static_cast<uint8_t>(t)); }
    void Var(uint64_t v) {
        while (v >= 0x80) {
            bytes.push_back(static_cast<uint8_t>(v | 0x80));
            v >>= 7;
        }
        bytes.push_back(static_cast<uint8_t>(v));
    }
    void SVar(int64_t v) { Var((static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63)); }
    void F32(float v);
    void Str(std::string_view s) {
        Var(s.size());
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
    void Blob(std::span<const uint8_t> b) {
        Var(b.size());
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    void OptionalBlob(const std::optional<std::vector<uint8_t>>& b) {
        Byte(b ? 1 : 0);
        if (b) Blob(*b);
    }
};

// Reads what ReplayWriter wrote; anything short or out of range throws ReplayError
// (Refused: the bytes are damaged).
class ReplayReader {
public:
    explicit ReplayReader(std::span<const uint8_t> bytes) : at_(bytes.data()), end_(bytes.data() + bytes.size()) {}
    bool AtEnd() const { return at_ == end_; }
    size_t Left() const { return static_cast<size_t>(end_ - at_); }
    uint8_t Peek() const {
        Need(1);
        return *at_;
    }
    uint8_t Byte() {
        Need(1);
        return *at_++;
    }
    uint64_t Var();
    int64_t SVar() {
        const uint64_t v = Var();
        return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1);
    }
    float F32();
    std::string Str();
    std::vector<uint8_t> Blob();
    std::optional<std::vector<uint8_t>> OptionalBlob();
    // A count of items each at least `minBytes` long, checked against what is left.
    size_t Count(size_t minBytes = 1);
    [[noreturn]] static void Damaged(const std::string& what);

    // Past the header, a recording that stops short has run out: the session was cut off
    // (a crash) rather than damaged.
    void EndMeansRunningOut() { endRunsOut_ = true; }

private:
    void Need(size_t n) const {
        if (Left() < n && endRunsOut_) throw ReplayError(ReplayFault::Diverged, "the recording runs out");
        if (Left() < n) Damaged("it ends too early");
    }
    bool endRunsOut_ = false;
    const uint8_t* at_;
    const uint8_t* end_;
};

// zlib; nothing when `bytes` is not a whole zlib stream or would exceed `limit`.
std::vector<uint8_t> CompressReplay(std::span<const uint8_t> bytes);
std::optional<std::vector<uint8_t>> UncompressReplay(std::span<const uint8_t> bytes,
                                                     size_t limit = kReplaySegmentLimit);

// What opens the first segment of a session: where PlayGame started and the course the
// front-end had chosen before it.
struct ReplaySessionStart {
    Screen firstScreen = Screen::Title;
    uint8_t courseIndex = 0;
    Difficulty difficulty = Difficulty::Normal;
};

// A segment's header. Exactly one of `start` (index 0) and `snapshot` (a run's start) is set.
struct ReplaySegmentHeader {
    uint32_t formatVersion = kReplayFormatVersion;
    std::string gameVersion;
    uint32_t index = 0;
    int64_t frameCalls = 0;  // frame waits of the session before the segment
    std::optional<ReplaySessionStart> start;
    std::vector<uint8_t> snapshot;  // EncodeSnapshot's bytes
};

void WriteSegmentHeader(ReplayWriter& out, const ReplaySegmentHeader& header);
// Throws ReplayError: Refused for bad bytes, another format or another game version
// (unless `gameVersion` is empty).
ReplaySegmentHeader ReadSegmentHeader(ReplayReader& in, std::string_view gameVersion);

// The game at a run's start: the state, the run's locals, the keyboard, the random
// generator, the runs not yet saved, the practice weights and the surfaces the run
// reads. The star layers' sketches are not kept: a restored game redraws them whole,
// with the same pixels.
std::vector<uint8_t> EncodeSnapshot(const Game& game);
// Throws ReplayError (Refused) for bytes that do not decode whole.
void RestoreSnapshot(Game& game, std::span<const uint8_t> bytes);

void WriteProgress(ReplayWriter& out, const ProgressAggregate& progress);
ProgressAggregate ReadProgressAnswer(ReplayReader& in);

}  // namespace kelo
