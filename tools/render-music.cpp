// kelo-render-music: a MIDI file as the game synthesises it live, for rendering ahead of
// time.
//
//   kelo-render-music SOUNDFONT MIDI_FILE > piece.raw
//
// Writes raw 16-bit little-endian interleaved stereo at the mixer's 44,100 Hz to standard
// output: the piece from its beginning to the end of its tail, rendered by the game's
// own MidiSong in the mixer's blocks, so its gain, reverb, chorus and tail are the live
// path's. Exit status 1 when the soundfont or the file cannot be played.

#include <bit>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/sdl/AudioMidi.h"

int main(int argc, char** argv) {
    static_assert(std::endian::native == std::endian::little, "writes the host's samples as they are");
    if (argc != 3) {
        std::fprintf(stderr, "usage: kelo-render-music SOUNDFONT MIDI_FILE > piece.raw\n");
        return 2;
    }
    constexpr int kRate = 44100;
    constexpr int kBlock = 512;  // the mixer's block
    if (auto problem = kelo::FluidSynthProblem()) {
        std::fprintf(stderr, "kelo-render-music: %s\n", problem->c_str());
        return 1;
    }
    auto song = kelo::MidiSong::Load(argv[2], kelo::SoundFont::Load(argv[1]), kRate);
    if (!song || !song->Prepare()) {
        std::fprintf(stderr, "kelo-render-music: cannot play %s with %s\n", argv[2], argv[1]);
        return 1;
    }
    song->Restart();
    std::vector<int16_t> block(2 * kBlock);
    while (!song->Finished()) {
        song->Render(block.data(), kBlock);
        if (std::fwrite(block.data(), sizeof(int16_t), block.size(), stdout) != block.size()) return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
