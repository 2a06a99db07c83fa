#pragma once
// A piece of music as the mixer plays it: rendered ahead of time and decoded while it
// plays, or synthesised live from its MIDI file.

#include <cstdint>

namespace kelo {

class Song {
public:
    virtual ~Song() = default;
    // Reads from disk whatever playing needs unless it is in memory already. Called on
    // the game's thread without the device locked: the audio thread must not be waiting
    // on a file. A song not yet fetched is not playing, so nothing renders it meanwhile.
    virtual void Fetch() {}
    // Makes whatever playing needs unless it is made already; false when it cannot be.
    // Called on the game's thread with the device locked, before the first Restart.
    virtual bool Prepare() = 0;
    // Rewinds to the beginning with every note silenced. Runs on the audio thread.
    virtual void Restart() = 0;
    // Writes `frames` interleaved 16-bit stereo frames, silence once the piece and the
    // release of its last notes are over. Runs on the audio thread, never reads a file.
    virtual void Render(int16_t* stereo, int frames) = 0;
    // Restart has been called at least once.
    virtual bool Started() const = 0;
    // Not started yet, or the piece has ended and its last notes have died away.
    virtual bool Finished() const = 0;
};

}  // namespace kelo
