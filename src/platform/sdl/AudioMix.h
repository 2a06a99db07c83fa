#pragma once
// The mixer's two inner loops, on 16-bit samples.

#include <cstdint>

namespace kelo {

// Adds `from` to `to`, each sum held to the 16-bit range: what SDL_MixAudioFormat does at
// full volume, without its per-sample volume scaling, which at full volume changes nothing.
void MixSaturating(int16_t* to, const int16_t* from, int count);

// The largest magnitude among the samples (32768 for -32768); 0 for none.
int LoudestOf(const int16_t* samples, int count);

}  // namespace kelo
