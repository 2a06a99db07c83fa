#include "platform/sdl/AudioRendering.h"

#include <ogg/ogg.h>
#include <sha2.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace kelo {

namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerFrame = kChannels * static_cast<int>(sizeof(int16_t));
// How much of the file the page check hands libogg at a time: its buffer stays small.
constexpr size_t kCheckChunk = 64 * 1024;
// Decoding ahead by this many frames (0.37 s) at a time: the decoder's tables and state
// are cold each time the audio thread wakes, and warming them up for every 512-frame block
// cost more than the decoding itself. One chunk takes well under a millisecond, a small
// share of the 11.6 ms the block leaves the callback.
constexpr int kDecodeAheadFrames = 16384;

// Every byte of the file belongs to an Ogg page whose checksum holds, and the last page
// ends the stream: a rendering cut short or altered anywhere is refused before it plays,
// so decoding never meets a hole.
bool EveryPageIntact(const std::vector<uint8_t>& file) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    ogg_page page;
    size_t fed = 0;
    size_t paged = 0;
    bool intact = true;
    bool ended = false;
    while (intact) {
        const long step = ogg_sync_pageseek(&sync, &page);
        if (step > 0) {
            paged += static_cast<size_t>(step);
            ended = ogg_page_eos(&page) != 0;
        } else if (step < 0) {
            intact = false;
        } else if (fed < file.size()) {
            const size_t count = std::min(kCheckChunk, file.size() - fed);
            char* buffer = ogg_sync_buffer(&sync, static_cast<long>(count));
            std::memcpy(buffer, file.data() + fed, count);
            ogg_sync_wrote(&sync, static_cast<long>(count));
            fed += count;
        } else {
            break;
        }
    }
    ogg_sync_clear(&sync);
    return intact && ended && paged == file.size();
}

#if defined(__SSE2__)
// ov_read's own conversion on x86-64, four frames at a time: each sample times 32768 in
// float, rounded to the nearest integer as the rounding mode says (ov_read: cvtsd2si of
// the product made double, which is exact; here cvtps2dq of the product) and held to 16
// bits (ov_read clamps; packssdw saturates; NaN or a product beyond 32 bits becomes
// INT_MIN in both, so -32768). The same samples as ov_read, without its sample-by-sample
// loop.
void FourToStereo16(const float* left, const float* right, int16_t* stereo) {
    const __m128 scale = _mm_set1_ps(32768.f);
    const __m128i l = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(left), scale));
    const __m128i r = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(right), scale));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(stereo),
                     _mm_packs_epi32(_mm_unpacklo_epi32(l, r), _mm_unpackhi_epi32(l, r)));
}

void ToStereo16(const float* left, const float* right, int16_t* stereo, int frames) {
    int frame = 0;
    for (; frame + 4 <= frames; frame += 4) FourToStereo16(left + frame, right + frame, stereo + kChannels * frame);
    if (frame == frames) return;
    float lastLeft[4] = {};
    float lastRight[4] = {};
    int16_t last[4 * kChannels];
    std::copy(left + frame, left + frames, lastLeft);
    std::copy(right + frame, right + frames, lastRight);
    FourToStereo16(lastLeft, lastRight, last);
    std::copy_n(last, kChannels * (frames - frame), stereo + kChannels * frame);
}
#endif

// libvorbisfile reads the rendering from memory through these.
struct MemoryReader {
    const std::vector<uint8_t>* file = nullptr;
    size_t position = 0;

    static size_t Read(void* out, size_t size, size_t count, void* source) {
        auto* reader = static_cast<MemoryReader*>(source);
        const size_t left = reader->file->size() - reader->position;
        const size_t bytes = size == 0 ? 0 : std::min(size * count, left - left % size);
        std::memcpy(out, reader->file->data() + reader->position, bytes);
        reader->position += bytes;
        return size == 0 ? 0 : bytes / size;
    }
    static int Seek(void* source, ogg_int64_t offset, int whence) {
        auto* reader = static_cast<MemoryReader*>(source);
        const auto size = static_cast<ogg_int64_t>(reader->file->size());
        ogg_int64_t base = 0;
        if (whence == SEEK_CUR) base = static_cast<ogg_int64_t>(reader->position);
        if (whence == SEEK_END) base = size;
        const ogg_int64_t target = base + offset;
        if (target < 0 || target > size) return -1;
        reader->position = static_cast<size_t>(target);
        return 0;
    }
    static long Tell(void* source) { return static_cast<long>(static_cast<MemoryReader*>(source)->position); }
};

}  // namespace

struct RenderedSong::Decoder {
    std::vector<uint8_t> file;
    MemoryReader reader;
    OggVorbis_File vorbis{};
    bool open = false;
    // Decoded and not yet played: the frames [aheadFrom, aheadEnd) of `ahead`.
    std::vector<int16_t> ahead;
    int aheadFrom = 0;
    int aheadEnd = 0;
    int64_t played = 0;  // frames from the beginning
    ~Decoder() {
        if (open) ov_clear(&vorbis);
    }
};

std::string RenderingPathOf(const std::string& midiPath) {
    return std::filesystem::path(midiPath).replace_extension(".ogg").string();
}

std::string Sha256Hex(const std::vector<uint8_t>& bytes) {
    char hex[SHA256_DIGEST_STRING_LENGTH];
    SHA256Data(bytes.data(), bytes.size(), hex);
    return hex;
}

// Read in one piece into memory of its final size: a vector grown as it reads would
// briefly hold up to twice a rendering.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    const std::streamoff size = in.tellg();
    if (size < 0) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) return std::nullopt;
    return bytes;
}

RenderedSong::RenderedSong(std::string path, std::string midiDigest, int sampleRate, int64_t frames)
    : path_(std::move(path)), midiDigest_(std::move(midiDigest)), sampleRate_(sampleRate), frames_(frames) {}

RenderedSong::~RenderedSong() = default;

RenderedSong::Outcome RenderedSong::Open(const std::string& path, const std::string& midiDigest, int sampleRate,
                                         std::unique_ptr<Decoder>& decoder) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return Outcome::Missing;
    std::optional<std::vector<uint8_t>> file = ReadWholeFile(path);
    if (!file || !EveryPageIntact(*file)) return Outcome::Damaged;

    decoder = std::make_unique<Decoder>();
    decoder->file = std::move(*file);
    decoder->reader.file = &decoder->file;
    const ov_callbacks callbacks = {MemoryReader::Read, MemoryReader::Seek, nullptr, MemoryReader::Tell};
    decoder->open = ov_open_callbacks(&decoder->reader, &decoder->vorbis, nullptr, 0, callbacks) == 0;
    if (!decoder->open) return Outcome::Damaged;
    const vorbis_info* info = ov_info(&decoder->vorbis, -1);
    if (!info || info->channels != kChannels || info->rate != sampleRate || ov_streams(&decoder->vorbis) != 1 ||
        ov_pcm_total(&decoder->vorbis, -1) <= 0) {
        return Outcome::Damaged;
    }
    const char* digest = vorbis_comment_query(ov_comment(&decoder->vorbis, -1), kMidiDigestComment, 0);
    if (!digest) return Outcome::Damaged;
    return midiDigest == digest ? Outcome::Loaded : Outcome::OtherMidi;
}

RenderedSong::Loading RenderedSong::Load(const std::string& path, const std::vector<uint8_t>& midi, int sampleRate) {
    std::string midiDigest = Sha256Hex(midi);
    std::unique_ptr<Decoder> decoder;
    const Outcome outcome = Open(path, midiDigest, sampleRate, decoder);
    if (outcome != Outcome::Loaded) return {nullptr, outcome};
    const int64_t frames = ov_pcm_total(&decoder->vorbis, -1);
    return {std::unique_ptr<RenderedSong>(new RenderedSong(path, std::move(midiDigest), sampleRate, frames)),
            Outcome::Loaded};
}

void RenderedSong::Fetch() {
    if (decoder_) return;
    std::unique_ptr<Decoder> decoder;
    if (Open(path_, midiDigest_, sampleRate_, decoder) == Outcome::Loaded &&
        ov_pcm_total(&decoder->vorbis, -1) == frames_) {
        decoder_ = std::move(decoder);
        decoder_->ahead.resize(static_cast<size_t>(kChannels) * kDecodeAheadFrames);
    }
}

int64_t RenderedSong::Frames() const { return frames_; }

void RenderedSong::Restart() {
    if (!decoder_) return;
    finished_ = ov_pcm_seek(&decoder_->vorbis, 0) != 0;
    decoder_->aheadFrom = decoder_->aheadEnd = 0;
    decoder_->played = 0;
    started_ = true;
}

// Up to kDecodeAheadFrames frames, fewer at the end of the piece; none once it is over.
// An error cannot follow the page check, but would end the piece too.
int RenderedSong::DecodeAhead() {
    Decoder& decoder = *decoder_;
    int decoded = 0;
    while (decoded < kDecodeAheadFrames) {
        int16_t* to = decoder.ahead.data() + kChannels * decoded;
        int section = 0;
#if defined(__SSE2__)
        float** channels = nullptr;
        const long frames = ov_read_float(&decoder.vorbis, &channels, kDecodeAheadFrames - decoded, &section);
        if (frames <= 0) break;
        ToStereo16(channels[0], channels[1], to, static_cast<int>(frames));
        decoded += static_cast<int>(frames);
#else
        constexpr int kBigEndian = std::endian::native == std::endian::big ? 1 : 0;
        const long bytes = ov_read(&decoder.vorbis, reinterpret_cast<char*>(to),
                                   (kDecodeAheadFrames - decoded) * kBytesPerFrame, kBigEndian, 2, 1, &section);
        if (bytes <= 0) break;
        decoded += static_cast<int>(bytes / kBytesPerFrame);
#endif
    }
    decoder.aheadFrom = 0;
    decoder.aheadEnd = decoded;
    return decoded;
}

void RenderedSong::Render(int16_t* stereo, int frames) {
    int done = 0;
    while (done < frames && !finished_) {
        Decoder& decoder = *decoder_;
        if (decoder.aheadFrom == decoder.aheadEnd && DecodeAhead() == 0) {
            finished_ = true;
            break;
        }
        const int count = std::min(frames - done, decoder.aheadEnd - decoder.aheadFrom);
        std::copy_n(decoder.ahead.data() + kChannels * decoder.aheadFrom, kChannels * count, stereo + kChannels * done);
        decoder.aheadFrom += count;
        decoder.played += count;
        done += count;
    }
    // Over with the block that holds the last frame, as the live synthesis is.
    if (decoder_ && decoder_->played >= frames_) finished_ = true;
    std::fill(stereo + kChannels * done, stereo + kChannels * frames, int16_t{0});
}

}  // namespace kelo
