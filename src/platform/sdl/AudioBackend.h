#pragma once
// The desktop's sound: carries out the game's media command strings ("open snd/tap.wav
// Alias wavTip", "play wavTip notify from 0", "stop midBGM1", "close wavTip") on an SDL
// audio device. Every alias sounds on its own, so playing, stopping or closing one never
// touches another, and several (the chime and the music, effects over the music) sound
// together. A MIDI file plays its rendering (AudioRendering.h) when it has one made from
// exactly that file; otherwise FluidSynth synthesises it live with one General MIDI
// soundfont, loaded once for all of them.
//
// Nothing is ever cut mid-wave: a stop, a close, or a play that restarts a sounding alias
// first fades the alias to silence within a few milliseconds.
//
// A command that cannot be carried out (no device, missing file or soundfont, unknown
// alias, malformed text) does nothing. Files are read by the open commands, but for a
// music rendering, which the first play of its alias reads (before the device is locked).
// What keeps a sound from playing as it should is said once, by default on stderr.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/sdl/AudioPaths.h"

namespace kelo {

class AudioBackend {
public:
    // The game's sound folders (AudioPaths.h): beside the executable, then the installed
    // data folder, then the current directory.
    AudioBackend();
    explicit AudioBackend(SoundFolders folders);
    ~AudioBackend();
    AudioBackend(const AudioBackend&) = delete;
    AudioBackend& operator=(const AudioBackend&) = delete;

    // Opens the audio device; false when there is none, and then every command is a no-op.
    bool Open();
    // Fades out and closes every alias, then closes the device.
    void Close();
    // True from a successful Open to Close, resting or not.
    bool IsOpen() const;

    // Called often (the desktop: every frame). Once no alias has sounded for `quiet`, the
    // device rests: it is closed, so no audio thread wakes while nothing plays, and the
    // next play opens it again. True while resting.
    bool RestWhenQuietFor(std::chrono::milliseconds quiet);
    // The game's: long enough that a run's sounds, the menus' clicks and a chime's tail
    // never meet a resting device; short enough that an idle screen soon stops the
    // audio thread.
    static constexpr std::chrono::seconds kQuietBeforeRest{2};

    void Command(std::string_view command);

    // The loudest sample (0 to 32767) the alias has put out since the previous call;
    // 0 for an alias that is silent, stopped or not open.
    int TakePeak(std::string_view alias);

    // Where problems are said (one line each, without the program's name; each at most
    // once): no audio device, a sound file missing or unreadable, a rendering missing or
    // damaged, no synthesizer or soundfont for music that has to be synthesised live.
    void SayProblemsTo(std::function<void(const std::string&)> say);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kelo
