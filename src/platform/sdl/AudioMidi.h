#pragma once
// One piece of MIDI music played by its own FluidSynth synthesizer and file player, so
// that several pieces can sound at once, each on its own mixer channel, and each can be
// restarted or stopped without touching the others.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_player_t;

namespace kelo {

// Where a General MIDI soundfont may be, most wanted first: the entries of
// $SDL_SOUNDFONTS (separated by ':' or ';'), then Debian's default-GM alternatives.
std::vector<std::string> SoundFontCandidates(const char* sdlSoundFontsVariable);

// The first candidate that is a readable file, if any.
std::optional<std::string> FindSoundFont();

class MidiSong {
public:
    // Reads the file and prepares a synthesizer with the soundfont; nothing when either
    // cannot be used. All file reading happens here.
    static std::unique_ptr<MidiSong> Load(const std::string& midiPath, const std::string& soundFontPath,
                                          int sampleRate);
    ~MidiSong();
    MidiSong(const MidiSong&) = delete;
    MidiSong& operator=(const MidiSong&) = delete;

    // Rewinds to the beginning with every voice silenced. Never call while Render runs.
    void Restart();
    // Writes `frames` interleaved 16-bit stereo frames, silence once the piece and the
    // release of its last notes are over.
    void Render(int16_t* stereo, int frames);
    // Restart has been called at least once.
    bool Started() const { return player_ != nullptr; }
    // Not started yet, or the piece has ended and its last notes have died away.
    bool Finished() const { return finished_; }

private:
    MidiSong(int sampleRate, std::vector<uint8_t> file);
    bool LoadSoundFont(const std::string& path);
    bool StartPlayer();
    bool PieceOver() const;
    void Silence();

    int sampleRate_;
    std::vector<uint8_t> file_;
    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    _fluid_player_t* player_ = nullptr;
    int tailFramesLeft_ = 0;
    bool finished_ = true;
};

}  // namespace kelo
