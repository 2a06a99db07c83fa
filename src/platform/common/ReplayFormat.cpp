#include "platform/common/ReplayFormat.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <type_traits>

namespace kelo {

void ReplayWriter::F32(float v) {
    const auto u = std::bit_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void ReplayReader::Damaged(const std::string& what) {
    throw ReplayError(ReplayFault::Refused, "the recording is damaged: " + what);
}

uint64_t ReplayReader::Var() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        const uint8_t b = Byte();
        v |= static_cast<uint64_t>(b & 0x7f) << shift;
        if (!(b & 0x80)) return v;
    }
    Damaged("a number is too long");
}

float ReplayReader::F32() {
    Need(4);
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(*at_++) << (8 * i);
    return std::bit_cast<float>(u);
}

size_t ReplayReader::Count(size_t minBytes) {
    const uint64_t n = Var();
    if (n > Left() / (minBytes ? minBytes : 1)) {
        if (endRunsOut_) throw ReplayError(ReplayFault::Diverged, "the recording runs out");
        Damaged("a count is larger than what follows");
    }
    return static_cast<size_t>(n);
}

std::string ReplayReader::Str() {
    const size_t n = Count();
    std::string s(reinterpret_cast<const char*>(at_), n);
    at_ += n;
    return s;
}

std::vector<uint8_t> ReplayReader::Blob() {
    const size_t n = Count();
    std::vector<uint8_t> b(at_, at_ + n);
    at_ += n;
    return b;
}

std::optional<std::vector<uint8_t>> ReplayReader::OptionalBlob() {
    const uint8_t present = Byte();
    if (present > 1) Damaged("a flag is neither 0 nor 1");
    if (!present) return std::nullopt;
    return Blob();
}

std::vector<uint8_t> CompressReplay(std::span<const uint8_t> bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 6) != Z_OK) return {};
    out.resize(size);
    return out;
}

std::optional<std::vector<uint8_t>> UncompressReplay(std::span<const uint8_t> bytes, size_t limit) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return std::nullopt;
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());
    std::vector<uint8_t> out;
    int rc = Z_OK;
    while (rc == Z_OK) {
        const size_t have = out.size();
        if (have >= limit) break;
        out.resize(std::min(limit, have + std::max<size_t>(bytes.size() * 4, 1 << 16)));
        z.next_out = out.data() + have;
        z.avail_out = static_cast<uInt>(out.size() - have);
        rc = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - z.avail_out);
        if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
        if (rc == Z_BUF_ERROR) rc = Z_OK;
    }
    const bool whole = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    if (!whole) return std::nullopt;
    return out;
}

void WriteSegmentHeader(ReplayWriter& out, const ReplaySegmentHeader& header) {
    for (char c : kReplayMagic) out.Byte(static_cast<uint8_t>(c));
    out.Var(header.formatVersion);
    out.Str(header.gameVersion);
    out.Var(header.index);
    out.Var(static_cast<uint64_t>(header.frameCalls));
    if (header.start) {
        out.Byte(0);
        out.Byte(static_cast<uint8_t>(header.start->firstScreen));
        out.Byte(header.start->courseIndex);
        out.Byte(static_cast<uint8_t>(header.start->difficulty));
    } else {
        out.Byte(1);
        out.Blob(header.snapshot);
    }
}

ReplaySegmentHeader ReadSegmentHeader(ReplayReader& in, std::string_view gameVersion) {
    for (char c : kReplayMagic) {
        if (in.AtEnd() || in.Byte() != static_cast<uint8_t>(c))
            throw ReplayError(ReplayFault::Refused, "not a recording of this game");
    }
    ReplaySegmentHeader header;
    const uint64_t format = in.Var();
    if (format != kReplayFormatVersion)
        throw ReplayError(ReplayFault::Refused, "the recording has format " + std::to_string(format) +
                                                    ", this game reads format " + std::to_string(kReplayFormatVersion));
    header.gameVersion = in.Str();
    if (!gameVersion.empty() && header.gameVersion != gameVersion)
        throw ReplayError(ReplayFault::Refused, "the recording was made by version " + header.gameVersion +
                                                    " of the game, this is version " + std::string(gameVersion));
    header.index = static_cast<uint32_t>(in.Var());
    header.frameCalls = static_cast<int64_t>(in.Var());
    const uint8_t kind = in.Byte();
    if (kind == 0) {
        ReplaySessionStart start;
        const uint8_t screen = in.Byte();
        if (screen < static_cast<uint8_t>(Screen::Title) || screen > static_cast<uint8_t>(Screen::Progress))
            ReplayReader::Damaged("no such first screen");
        start.firstScreen = static_cast<Screen>(screen);
        start.courseIndex = in.Byte();
        if (start.courseIndex >= kCourseCount) ReplayReader::Damaged("no such course");
        const uint8_t difficulty = in.Byte();
        if (difficulty > 1) ReplayReader::Damaged("no such difficulty");
        start.difficulty = static_cast<Difficulty>(difficulty);
        header.start = start;
    } else if (kind == 1) {
        header.snapshot = in.Blob();
    } else {
        ReplayReader::Damaged("no such segment kind");
    }
    return header;
}

namespace {

// One function per type moves a value in either direction: Out writes it, In reads it
// back into place, so the two directions cannot drift apart.
struct Out {
    ReplayWriter& w;
};
struct In {
    ReplayReader& r;
};

template <typename T>
    requires std::is_integral_v<T> || std::is_enum_v<T>
void Move(Out& a, const T& v) {
    if constexpr (sizeof(T) == 1) {
        a.w.Byte(static_cast<uint8_t>(v));
    } else if constexpr (std::is_signed_v<T>) {
        a.w.SVar(static_cast<int64_t>(v));
    } else {
        a.w.Var(static_cast<uint64_t>(v));
    }
}
template <typename T>
    requires std::is_integral_v<T> || std::is_enum_v<T>
void Move(In& a, T& v) {
    if constexpr (sizeof(T) == 1) {
        v = static_cast<T>(a.r.Byte());
    } else if constexpr (std::is_signed_v<T>) {
        v = static_cast<T>(a.r.SVar());
    } else {
        v = static_cast<T>(a.r.Var());
    }
}
void Move(Out& a, const bool& v) { a.w.Byte(v ? 1 : 0); }
void Move(In& a, bool& v) { v = a.r.Byte() != 0; }
void Move(Out& a, const float& v) { a.w.F32(v); }
void Move(In& a, float& v) { v = a.r.F32(); }
void Move(Out& a, const double& v) {
    const auto u = std::bit_cast<uint64_t>(v);
    a.w.Var(u);
}
void Move(In& a, double& v) { v = std::bit_cast<double>(a.r.Var()); }
void Move(Out& a, const std::string& v) { a.w.Str(v); }
void Move(In& a, std::string& v) { v = a.r.Str(); }

template <typename A, typename T, size_t N>
void Move(A& a, std::array<T, N>& v) {
    for (T& item : v) Move(a, item);
}
template <typename T, size_t N>
void Move(Out& a, const std::array<T, N>& v) {
    for (const T& item : v) Move(a, item);
}

// The structures, field by field; `S` is the structure, const or not.
template <typename A, typename S>
void Fields(A& a, S& s, const CourseRecord*) {
    Move(a, s.times);
    Move(a, s.speeds);
}
template <typename A, typename S>
void Fields(A& a, S& s, const Star*) {
    Move(a, s.x);
    Move(a, s.y);
    Move(a, s.z);
}
template <typename A, typename S>
void Fields(A& a, S& s, const KeyTally*) {
    Move(a, s.touches);
    Move(a, s.misses);
}
template <typename A, typename S>
void Fields(A& a, S& s, const ColumnJitter*) {
    Move(a, s.x);
    Move(a, s.y);
}
template <typename A, typename S>
void Fields(A& a, S& s, const FinishedRun*) {
    Move(a, s.course);
    Move(a, s.difficulty);
    Move(a, s.time);
    Move(a, s.speed);
}
template <typename A, typename S>
void Fields(A& a, S& s, const RunLocals*) {
    Move(a, s.endTimer);
    Move(a, s.frameTime);
    Move(a, s.loadLevel);
    Move(a, s.ringSlot);
    Move(a, s.newRank);
    Move(a, s.heldKey);
    Move(a, s.practice);
}
template <typename A, typename S>
void Fields(A& a, S& s, const GameState*) {
    Move(a, s.quitRequested);
    Move(a, s.lastFrameTime);
    Move(a, s.loopIndex);
    Move(a, s.courseIndex);
    Move(a, s.difficulty);
    Move(a, s.openCourses);
    Move(a, s.clearMark);
    Move(a, s.courseRecords);
    Move(a, s.courseNotes);
    Move(a, s.courseLength);
    Move(a, s.checkpointDistance);
    Move(a, s.stageTime);
    Move(a, s.difficultyRating);
    Move(a, s.backColour);
    Move(a, s.starTint);
    Move(a, s.starBand);
    Move(a, s.bgmIndex);
    Move(a, s.keyPoolSize);
    Move(a, s.handPeriodTarget);
    Move(a, s.curveRate);
    Move(a, s.signKind);
    Move(a, s.signTimer);
    Move(a, s.distance);
    Move(a, s.speed);
    Move(a, s.elapsedTime);
    Move(a, s.stageIndex);
    Move(a, s.countdown);
    Move(a, s.extendTimer);
    Move(a, s.frameStartTime);
    Move(a, s.frameEndTime);
    Move(a, s.fpsSum);
    Move(a, s.fpsFrames);
    Move(a, s.targetQueue);
    Move(a, s.targetKey);
    Move(a, s.keyLatch);
    Move(a, s.handPeriod);
    Move(a, s.handWait);
    Move(a, s.keyTally);
    Move(a, s.missShake);
    Move(a, s.queueJitter);
    Move(a, s.hitFlash);
    Move(a, s.hitFlashSlot);
    Move(a, s.letterSpacing);
    Move(a, s.letterSpacingTarget);
    Move(a, s.queueScroll);
    Move(a, s.stars);
    Move(a, s.warpCharge);
    Move(a, s.warpLevel);
}

template <typename T>
concept HasFields = requires(Out& a, const T& s) {
    Fields(a, s, static_cast<const T*>(nullptr));
};

template <typename T>
    requires HasFields<T>
void Move(Out& a, const T& s) { Fields(a, s, static_cast<const T*>(nullptr)); }
template <typename T>
    requires HasFields<T>
void Move(In& a, T& s) { Fields(a, s, static_cast<const T*>(nullptr)); }

// A field added to the game state must be added to Fields() above, or a replayed run
// would start from a different state; the sizes below change with any new field.
#if defined(__x86_64__) && defined(__GLIBCXX__)
static_assert(sizeof(GameState) == 13184, "a field of GameState is missing from the replay snapshot");
static_assert(sizeof(RunLocals) == 16, "a field of RunLocals is missing from the replay snapshot");
#endif

// A star layer's mask is the back colour where its colour plane is white and white at
// the stars: each mask pixel is kept as its difference from that guess (the back colour
// being the last mask pixel under white), which is nothing almost everywhere.
class MaskGuess {
public:
    explicit MaskGuess(const Image* colour) : colour_(colour) {}
    Colour At(size_t i) {
        if (!colour_) return 0;
        return colour_->Pixels()[i] == kWhite ? back_ : kWhite;
    }
    void Saw(size_t i, Colour mask) {
        if (colour_ && colour_->Pixels()[i] == kWhite) back_ = mask;
    }

private:
    const Image* colour_;
    Colour back_ = 0;
};

const Image* PlaneBeside(const Surface* colour, const Surface& mask) {
    if (!colour || colour->image.Width() != mask.image.Width() || colour->image.Height() != mask.image.Height())
        return nullptr;
    return &colour->image;
}

// Consecutive equal values, written as (length, value) pairs.
class RunWriter {
public:
    explicit RunWriter(ReplayWriter& w) : w_(w) {}
    void Add(Colour value) {
        if (length_ > 0 && value == value_) {
            ++length_;
            return;
        }
        Finish();
        value_ = value;
        length_ = 1;
    }
    // Writes the run in progress.
    void Finish() {
        if (length_ > 0) {
            w_.Var(length_);
            w_.Var(value_);
        }
        length_ = 0;
    }

private:
    ReplayWriter& w_;
    uint64_t length_ = 0;
    Colour value_ = 0;
};

// A plane as runs of one value: the star planes are mostly one fill. A mask plane
// (`colour` set) is kept as its differences from MaskGuess. Written in one pass, with
// nothing the size of the plane beside it: a run's start encodes five planes on the
// game's thread.
void WritePixels(ReplayWriter& w, const Surface& s, const Surface* colour = nullptr) {
    const Image& image = s.image;
    w.Var(static_cast<uint64_t>(image.Width()));
    w.Var(static_cast<uint64_t>(image.Height()));
    const std::vector<Colour>& pixels = image.Pixels();
    const Image* beside = PlaneBeside(colour, s);
    RunWriter runs(w);
    if (!beside) {
        for (Colour pixel : pixels) runs.Add(pixel);
    } else {
        MaskGuess guess(beside);
        for (size_t i = 0; i < pixels.size(); ++i) {
            runs.Add(pixels[i] ^ guess.At(i));
            guess.Saw(i, pixels[i]);
        }
    }
    runs.Finish();
    w.Var(s.foreColour);
    w.Var(s.fillColour);
    w.Byte(static_cast<uint8_t>(s.fillStyle));
    w.SVar(s.fontSize);
    Out o{w};
    Move(o, s.currentX);
    Move(o, s.currentY);
}

void ReadPixels(ReplayReader& r, Surface& s, const Surface* colour = nullptr) {
    const uint64_t width = r.Var(), height = r.Var();
    if (width > 4096 || height > 4096) ReplayReader::Damaged("a surface is too large");
    std::vector<Colour> values(static_cast<size_t>(width * height));
    size_t at = 0;
    while (at < values.size()) {
        const uint64_t run = r.Var();
        const auto value = static_cast<Colour>(r.Var());
        if (run == 0 || run > values.size() - at) ReplayReader::Damaged("a surface's pixels do not add up");
        std::fill_n(values.begin() + static_cast<std::ptrdiff_t>(at), run, value);
        at += run;
    }
    Image image(static_cast<int>(width), static_cast<int>(height));
    const Image* beside =
        colour && colour->image.Width() == static_cast<int>(width) && colour->image.Height() == static_cast<int>(height)
            ? &colour->image
            : nullptr;
    MaskGuess guess(beside);
    for (size_t y = 0, i = 0; y < height; ++y) {
        Colour* row = image.Row(static_cast<int>(y));
        for (size_t x = 0; x < width; ++x, ++i) {
            row[x] = values[i] ^ guess.At(i);
            guess.Saw(i, row[x]);
        }
    }
    s.image = std::move(image);
    s.foreColour = static_cast<Colour>(r.Var());
    s.fillColour = static_cast<Colour>(r.Var());
    s.fillStyle = static_cast<FillStyle>(r.Byte());
    s.fontSize = static_cast<int>(r.SVar());
    In i{r};
    Move(i, s.currentX);
    Move(i, s.currentY);
}

}  // namespace

std::vector<uint8_t> EncodeSnapshot(const Game& game) {
    ReplayWriter w;
    Out o{w};
    Move(o, game.state);
    Move(o, game.run);
    w.Byte(static_cast<uint8_t>(game.screen));
    Move(o, game.keyboard.DownKeys());
    Move(o, game.keyboard.PressedSinceQuery());
    w.Var(game.random.SeedValue());
    w.Var(game.random.Draws());
    w.Var(game.unsavedRuns.size());
    for (const FinishedRun& run : game.unsavedRuns) Move(o, run);
    w.Byte(game.practiceWeights ? 1 : 0);
    if (game.practiceWeights) Move(o, *game.practiceWeights);
    // PicMain is left out: nothing in the game reads it.
    WritePixels(w, game.PicBack);
    WritePixels(w, game.PicWarp);
    WritePixels(w, game.PicWarpMask, &game.PicWarp);
    WritePixels(w, game.PicBBack);
    WritePixels(w, game.PicBMask, &game.PicBBack);
    return std::move(w.bytes);
}

void RestoreSnapshot(Game& game, std::span<const uint8_t> bytes) {
    ReplayReader r(bytes);
    In i{r};
    GameState state;
    Move(i, state);
    RunLocals run;
    Move(i, run);
    const uint8_t screen = r.Byte();
    if (screen > static_cast<uint8_t>(Screen::Progress)) ReplayReader::Damaged("no such screen");
    std::array<bool, 256> down{}, pressed{};
    Move(i, down);
    Move(i, pressed);
    const auto seed = static_cast<uint32_t>(r.Var());
    const uint64_t draws = r.Var();
    // A generator wound on further than any session could draw is damage, not a wait.
    if (draws > (uint64_t{1} << 30)) ReplayReader::Damaged("the random generator is too far on");
    std::vector<FinishedRun> unsaved(r.Count(4));
    for (FinishedRun& f : unsaved) Move(i, f);
    std::optional<std::array<float, kTypedKeyCount>> weights;
    if (r.Byte()) Move(i, weights.emplace());
    Surface back, warp, warpMask, layer, layerMask;
    ReadPixels(r, back);
    ReadPixels(r, warp);
    ReadPixels(r, warpMask, &warp);
    ReadPixels(r, layer);
    ReadPixels(r, layerMask, &layer);
    if (!r.AtEnd()) ReplayReader::Damaged("the snapshot is longer than expected");
    // The values the game indexes tables with, which only damage puts out of range.
    const bool inRange =
        state.courseIndex < kCourseCount && static_cast<uint8_t>(state.difficulty) <= 1 &&
        state.openCourses <= kCourseCount && state.stageIndex >= 0 && state.stageIndex < kStageCount &&
        static_cast<uint8_t>(state.signKind) <= 2 && static_cast<uint8_t>(state.keyLatch) <= 2 &&
        state.hitFlashSlot[0] < kHitFlashSlots && state.hitFlashSlot[1] < kHitFlashSlots && run.ringSlot < 10 &&
        std::all_of(unsaved.begin(), unsaved.end(), [](const FinishedRun& f) { return f.course < kCourseCount; });
    if (!inRange) ReplayReader::Damaged("the snapshot's game state is out of range");
    game.state = std::move(state);
    game.run = run;
    game.screen = static_cast<Screen>(screen);
    game.keyboard.Restore(down, pressed);
    game.random.Restore(seed, draws);
    game.unsavedRuns = std::move(unsaved);
    game.practiceWeights = weights;
    game.PicBack = std::move(back);
    game.PicWarp = std::move(warp);
    game.PicWarpMask = std::move(warpMask);
    game.PicBBack = std::move(layer);
    game.PicBMask = std::move(layerMask);
    game.PicMain = Surface(0, 0, game.PicBack.fillColour, game.PicBack.foreColour);  // see SetUpSurfaces
    game.starLayers = {};
}

void WriteProgress(ReplayWriter& w, const ProgressAggregate& p) {
    w.Byte(p.available ? 1 : 0);
    w.SVar(p.runCount);
    w.SVar(p.totalRunTimeMs);
    w.Var(p.lastRuns.size());
    for (const RunSummary& r : p.lastRuns) {
        w.SVar(r.startUnixMs);
        w.SVar(r.course);
        w.Byte(static_cast<uint8_t>(r.difficulty));
        w.Byte(static_cast<uint8_t>(r.outcome));
        w.Byte(r.practice ? 1 : 0);
        w.SVar(r.runTimeMs);
        w.SVar(r.resultSpeed);
        w.SVar(r.correctKeys);
        w.SVar(r.wrongKeys);
    }
    for (const KeyFigures& k : p.keys) {
        w.SVar(k.targeted);
        w.SVar(k.hits);
        w.SVar(k.misses);
        w.SVar(k.reactionCount);
        w.SVar(k.reactionSumMs);
        w.SVar(k.reactionMinMs);
        w.SVar(k.reactionMaxMs);
        int used = 0;
        for (int32_t n : k.reactionHistogram) used += n != 0;
        w.Var(static_cast<uint64_t>(used));
        for (int bin = 0; bin < kReactionBins; ++bin) {
            if (k.reactionHistogram[bin] == 0) continue;
            w.Var(static_cast<uint64_t>(bin));
            w.SVar(k.reactionHistogram[bin]);
        }
    }
    w.Var(p.wrongKeyPairs.size());
    for (const WrongKeyPair& pair : p.wrongKeyPairs) {
        w.Str(pair.target);
        w.Str(pair.typed);
        w.SVar(pair.count);
    }
}

ProgressAggregate ReadProgressAnswer(ReplayReader& r) {
    ProgressAggregate p;
    p.available = r.Byte() != 0;
    p.runCount = r.SVar();
    p.totalRunTimeMs = r.SVar();
    p.lastRuns.resize(r.Count(12));
    for (RunSummary& s : p.lastRuns) {
        s.startUnixMs = r.SVar();
        s.course = static_cast<int>(r.SVar());
        s.difficulty = static_cast<Difficulty>(r.Byte());
        s.outcome = static_cast<RunOutcome>(r.Byte());
        s.practice = r.Byte() != 0;
        s.runTimeMs = static_cast<int32_t>(r.SVar());
        s.resultSpeed = static_cast<int32_t>(r.SVar());
        s.correctKeys = static_cast<int32_t>(r.SVar());
        s.wrongKeys = static_cast<int32_t>(r.SVar());
    }
    for (KeyFigures& k : p.keys) {
        k.targeted = static_cast<int32_t>(r.SVar());
        k.hits = static_cast<int32_t>(r.SVar());
        k.misses = static_cast<int32_t>(r.SVar());
        k.reactionCount = static_cast<int32_t>(r.SVar());
        k.reactionSumMs = r.SVar();
        k.reactionMinMs = static_cast<int32_t>(r.SVar());
        k.reactionMaxMs = static_cast<int32_t>(r.SVar());
        const size_t used = r.Count(2);
        for (size_t n = 0; n < used; ++n) {
            const uint64_t bin = r.Var();
            if (bin >= kReactionBins) ReplayReader::Damaged("no such reaction bin");
            k.reactionHistogram[bin] = static_cast<int32_t>(r.SVar());
        }
    }
    p.wrongKeyPairs.resize(r.Count(3));
    for (WrongKeyPair& pair : p.wrongKeyPairs) {
        pair.target = r.Str();
        pair.typed = r.Str();
        pair.count = static_cast<int32_t>(r.SVar());
    }
    return p;
}

}  // namespace kelo
