#pragma once
// One piece of MIDI music played by its own FluidSynth synthesizer and file player, so
// that several pieces can sound at once and each can be restarted or stopped without
// touching the others. The pieces share one loaded soundfont.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sdl/AudioSong.h"

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_player_t;
struct _fluid_sfont_t;

namespace kelo {

// Where a General MIDI soundfont may be, most wanted first: the entries of
// $SDL_SOUNDFONTS (separated by ':' or ';'), then Debian's default-GM alternatives.
std::vector<std::string> SoundFontCandidates(const char* sdlSoundFontsVariable);

// The first candidate that is a readable file, if any.
std::optional<std::string> FindSoundFont();

// Why the synthesizer library (libfluidsynth.so.3, opened on the first call) cannot be
// used; nothing when it can. Fonts and songs load only once it is.
std::optional<std::string> FluidSynthProblem();

// A soundfont preset as MIDI selects it: bank 128 holds the drum kits of channel 10.
struct MidiPreset {
    int bank = 0;
    int program = 0;
    auto operator<=>(const MidiPreset&) const = default;
};

// The presets a Standard MIDI File selects with its program changes, and the drum kit
// when it plays on the drum channel without one; sorted, each once. A damaged file
// gives what could be read before the damage.
std::vector<MidiPreset> PresetsPlayedBy(const std::vector<uint8_t>& smf);

// A General MIDI soundfont read once and lent to every song that plays with it; it stays
// loaded while any of them exists. Only the samples of presets that the songs play are
// read into memory, when a song loads, so that the audio thread never reads the file. The font keeps bookkeeping that
// its songs change while they load, play, restart and end: songs sharing a font must never be used from two threads at
// the same time.
class SoundFont {
public:
    // Nothing when the file cannot be read as a soundfont.
    static std::shared_ptr<SoundFont> Load(const std::string& path);
    ~SoundFont();
    SoundFont(const SoundFont&) = delete;
    SoundFont& operator=(const SoundFont&) = delete;

private:
    friend class MidiSong;
    SoundFont() = default;
    // Reads the samples of `presets` unless they are in memory already; they then stay
    // for the life of the font.
    void KeepLoaded(const std::vector<MidiPreset>& presets);

    // The font belongs to a synthesizer that never plays; the songs' synthesizers borrow it.
    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* owner_ = nullptr;
    _fluid_sfont_t* font_ = nullptr;
    std::vector<MidiPreset> kept_;  // selected on the owner's channels, in this order
};

class MidiSong : public Song {
public:
    // Reads the file and prepares a synthesizer playing with the soundfont; nothing when
    // the file is no MIDI file. All file reading happens here.
    static std::unique_ptr<MidiSong> Load(const std::string& midiPath, std::shared_ptr<SoundFont> soundFont,
                                          int sampleRate);
    // The same for a file read already.
    static std::unique_ptr<MidiSong> Load(std::vector<uint8_t> file, std::shared_ptr<SoundFont> soundFont,
                                          int sampleRate);
    ~MidiSong() override;
    MidiSong(const MidiSong&) = delete;
    MidiSong& operator=(const MidiSong&) = delete;

    // Makes the song's synthesizer unless it has one; false when it cannot be made. Songs
    // get theirs when first played, so pieces never played take no memory for one.
    // Never call while a song sharing the font renders.
    bool Prepare() override;
    // Rewinds to the beginning with every voice silenced; stays silent unless prepared.
    // Never call while Render runs.
    void Restart() override;
    // Writes `frames` interleaved 16-bit stereo frames, silence once the piece and the
    // release of its last notes are over.
    void Render(int16_t* stereo, int frames) override;
    // Restart has been called at least once.
    bool Started() const override { return player_ != nullptr; }
    // Not started yet, or the piece has ended and its last notes have died away.
    bool Finished() const override { return finished_; }

private:
    MidiSong(int sampleRate, std::vector<uint8_t> file, std::shared_ptr<SoundFont> soundFont);
    bool StartPlayer();
    bool PieceOver() const;
    void Silence();

    int sampleRate_;
    std::vector<uint8_t> file_;
    std::shared_ptr<SoundFont> soundFont_;
    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    _fluid_player_t* player_ = nullptr;
    mutable int totalTicks_ = 0;  // the piece's length, once the player has read the file
    int tailFramesLeft_ = 0;
    bool finished_ = true;
    bool unplayable_ = false;  // making the synthesizer failed once; it is not tried again
};

}  // namespace kelo
