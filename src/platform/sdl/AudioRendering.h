#pragma once
// Music rendered ahead of time: an Ogg Vorbis file made from one MIDI file, whose comment
// KELO_MIDI_SHA256 holds the SHA-256 digest of that file. It plays only for exactly that
// file; any other MIDI file under the same name is synthesised live instead.
//
// The whole rendering is read and checked page by page when it loads, to know whether it
// can play; it is read into memory again, and checked again, only when it is first
// played, so pieces never played take no memory. It is decoded while it plays, a third of
// a second ahead of the blocks asked for: the audio thread never reads the disk and never
// decodes more than that at once.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sdl/AudioSong.h"

namespace kelo {

inline constexpr const char* kMidiDigestComment = "KELO_MIDI_SHA256";

// The rendering that belongs to a MIDI file: beside it, its name ending in .ogg.
std::string RenderingPathOf(const std::string& midiPath);

// SHA-256 of `bytes`, 64 lowercase hexadecimal digits.
std::string Sha256Hex(const std::vector<uint8_t>& bytes);

// A file's bytes; nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

class RenderedSong : public Song {
public:
    enum class Outcome {
        Loaded,
        Missing,    // no file at the path
        Damaged,    // unreadable, cut short, a page altered, no Vorbis stereo at the mixer's rate, no digest
        OtherMidi,  // a sound rendered from another MIDI file
    };
    struct Loading {
        std::unique_ptr<RenderedSong> song;  // only when Loaded
        Outcome outcome;
    };
    static Loading Load(const std::string& path, const std::vector<uint8_t>& midi, int sampleRate);
    ~RenderedSong() override;
    RenderedSong(const RenderedSong&) = delete;
    RenderedSong& operator=(const RenderedSong&) = delete;

    // Reads the rendering into memory unless it is there; it stays silent if the file
    // has changed since it loaded.
    void Fetch() override;
    bool Prepare() override { return decoder_ != nullptr; }
    void Restart() override;
    void Render(int16_t* stereo, int frames) override;
    bool Started() const override { return started_; }
    bool Finished() const override { return finished_; }

    // Frames from beginning to end, as the rendering states them.
    int64_t Frames() const;

private:
    struct Decoder;
    RenderedSong(std::string path, std::string midiDigest, int sampleRate, int64_t frames);
    // Reads, checks and opens the rendering at `path` into `decoder`.
    static Outcome Open(const std::string& path, const std::string& midiDigest, int sampleRate,
                        std::unique_ptr<Decoder>& decoder);
    // Decodes the frames that follow those played; how many.
    int DecodeAhead();

    std::string path_;
    std::string midiDigest_;
    int sampleRate_;
    int64_t frames_;
    std::unique_ptr<Decoder> decoder_;  // the game's thread sets it while the song is not playing
    bool started_ = false;
    bool finished_ = true;
};

}  // namespace kelo
