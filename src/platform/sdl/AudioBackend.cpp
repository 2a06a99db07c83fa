#include "platform/sdl/AudioBackend.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/sdl/AudioMidi.h"
#include "platform/sdl/AudioMix.h"
#include "platform/sdl/AudioRendering.h"
#include "sound/SoundCommand.h"

namespace kelo {

namespace {

constexpr int kSampleRate = 44100;
constexpr int kOutputChannels = 2;
// About 12 ms: a key's tap follows the key without a noticeable delay.
constexpr int kBufferFrames = 512;
// 5 ms: short enough to be heard as a plain stop, long enough not to click.
constexpr int kFadeFrames = kSampleRate / 200;
// The game has nine aliases; a closed alias keeps its place while it fades out.
constexpr int kSlots = 16;
// How long Close waits for the fades before it closes the device regardless.
constexpr auto kCloseWait = std::chrono::milliseconds(200);

std::string ExecutableDirectory() {
    char* base = SDL_GetBasePath();
    if (!base) return {};
    std::string directory = base;
    SDL_free(base);
    return directory;
}

// A wave in the device's format: 16-bit at kSampleRate, interleaved stereo, or one channel
// for both sides when the file is mono (half the memory).
struct Wave {
    std::vector<int16_t> samples;
    int channels = kOutputChannels;
};

// The first of each frame's interleaved channels.
std::vector<int16_t> FirstChannel(const std::vector<int16_t>& interleaved) {
    std::vector<int16_t> mono(interleaved.size() / kOutputChannels);
    for (size_t frame = 0; frame < mono.size(); ++frame) mono[frame] = interleaved[frame * kOutputChannels];
    return mono;
}

// Empty when the file cannot be read.
Wave LoadWave(const std::string& path) {
    SDL_AudioSpec file{};
    Uint8* data = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(path.c_str(), &file, &data, &length)) return {};
    std::vector<int16_t> samples;
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, file.format, file.channels, file.freq, AUDIO_S16SYS, kOutputChannels, kSampleRate) >=
        0) {
        std::vector<Uint8> buffer(static_cast<size_t>(length) * static_cast<size_t>(cvt.len_mult));
        std::memcpy(buffer.data(), data, length);
        cvt.buf = buffer.data();
        cvt.len = static_cast<int>(length);
        if (SDL_ConvertAudio(&cvt) == 0) {
            const size_t frames = static_cast<size_t>(cvt.len_cvt) / (sizeof(int16_t) * kOutputChannels);
            samples.resize(frames * kOutputChannels);
            std::memcpy(samples.data(), buffer.data(), samples.size() * sizeof(int16_t));
        }
    }
    SDL_FreeWAV(data);
    // A mono file goes through the same conversion to stereo, so both sides carry exactly
    // the samples SDL makes of it; one of them is kept.
    if (file.channels == 1) return Wave{FirstChannel(samples), 1};
    return Wave{std::move(samples), kOutputChannels};
}

size_t MillisecondsToFrames(uint32_t ms) { return static_cast<size_t>(static_cast<uint64_t>(ms) * kSampleRate / 1000); }

void RaisePeak(std::atomic<int>& peak, const int16_t* samples, int count) {
    const int loudest = LoudestOf(samples, count);
    int seen = peak.load(std::memory_order_relaxed);
    while (loudest > seen && !peak.compare_exchange_weak(seen, loudest, std::memory_order_relaxed)) {
    }
}

// Holds the audio thread off the aliases' playback state.
class DeviceLock {
public:
    // A resting device (0) has no audio thread to hold off.
    explicit DeviceLock(SDL_AudioDeviceID device) : device_(device) {
        if (device_) SDL_LockAudioDevice(device_);
    }
    ~DeviceLock() {
        if (device_) SDL_UnlockAudioDevice(device_);
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID device_;
};

// What an alias plays once whatever it sounds now has faded out.
struct Start {
    std::optional<size_t> waveFrame;  // absent: on from where the wave stopped
    bool restartSong = false;         // false: the song goes on from where it stopped
};

}  // namespace

// One alias: its sound and where its playback stands.
struct AliasSlot {
    std::string alias;          // empty: free, or closed and still fading out
    std::vector<int16_t> wave;  // interleaved stereo, or mono; empty for music
    int waveChannels = kOutputChannels;
    std::unique_ptr<Song> song;
    std::atomic<int> peak{0};

    // Playback. The audio thread owns these fields; the game changes them only with the
    // device locked.
    bool sounding = false;
    std::optional<Start> next;
    size_t waveFrame = 0;
    int fadeOutLeft = 0;           // frames until silence; 0 while not fading out
    int fadeInDone = kFadeFrames;  // below kFadeFrames while fading in

    bool InUse() const { return !alias.empty(); }
    bool Busy() const { return sounding || next.has_value(); }
    bool HoldsSound() const { return !wave.empty() || song != nullptr; }
    size_t WaveFrames() const { return wave.size() / static_cast<size_t>(waveChannels); }
};

namespace {

// Called with the device locked. A stop cancels whatever was about to start.
void FadeOut(AliasSlot& slot) {
    slot.next.reset();
    if (slot.sounding && slot.fadeOutLeft == 0) slot.fadeOutLeft = kFadeFrames;
}

// A start anywhere but at the beginning of the sound fades in, as it would cut in mid-wave.
void Begin(AliasSlot& slot) {
    const Start start = *slot.next;
    slot.next.reset();
    slot.fadeInDone = kFadeFrames;
    if (slot.song) {
        if (start.restartSong) {
            slot.song->Restart();
        } else {
            slot.fadeInDone = 0;
        }
        slot.sounding = !slot.song->Finished();
        return;
    }
    if (start.waveFrame) slot.waveFrame = *start.waveFrame;
    if (slot.waveFrame != 0) slot.fadeInDone = 0;
    slot.sounding = slot.waveFrame < slot.WaveFrames();
}

// Writes up to `frames` frames of the alias's own sound; fewer once a wave has ended.
int RenderSource(AliasSlot& slot, int16_t* out, int frames) {
    if (slot.song) {
        slot.song->Render(out, frames);
        if (slot.song->Finished()) slot.sounding = false;
        return frames;
    }
    const size_t count = std::min(slot.WaveFrames() - slot.waveFrame, static_cast<size_t>(frames));
    if (slot.waveChannels == kOutputChannels) {
        std::copy_n(slot.wave.data() + slot.waveFrame * kOutputChannels, count * kOutputChannels, out);
    } else {
        const int16_t* mono = slot.wave.data() + slot.waveFrame;
        for (size_t frame = 0; frame < count; ++frame)
            std::fill_n(out + frame * kOutputChannels, kOutputChannels, mono[frame]);
    }
    slot.waveFrame += count;
    if (slot.waveFrame >= slot.WaveFrames()) slot.sounding = false;
    return static_cast<int>(count);
}

// Scales every frame by the fades' gain, which moves by 1/kFadeFrames a frame.
void ApplyFades(AliasSlot& slot, int16_t* out, int frames) {
    if (slot.fadeOutLeft == 0 && slot.fadeInDone >= kFadeFrames) return;
    for (int frame = 0; frame < frames; ++frame) {
        int gain = kFadeFrames;
        if (slot.fadeInDone < kFadeFrames) gain = ++slot.fadeInDone;
        if (slot.fadeOutLeft > 0) gain = std::min(gain, --slot.fadeOutLeft);
        for (int channel = 0; channel < kOutputChannels; ++channel) {
            int16_t& sample = out[frame * kOutputChannels + channel];
            sample = static_cast<int16_t>(sample * gain / kFadeFrames);
        }
    }
}

// Writes the alias's next `frames` frames into `out`, which holds silence. A fade-out
// ends the sound; a start waiting for it then begins at once, within the same block.
// The peak meter hears everything but the fade-out that a stop has begun.
void RenderSlot(AliasSlot& slot, int16_t* out, int frames) {
    int done = 0;
    while (done < frames) {
        if (slot.fadeOutLeft == 0 && slot.next) Begin(slot);
        if (!slot.sounding) return;
        const bool fadingOut = slot.fadeOutLeft > 0;
        const int wanted = fadingOut ? std::min(frames - done, slot.fadeOutLeft) : frames - done;
        int16_t* segment = out + done * kOutputChannels;
        const int written = RenderSource(slot, segment, wanted);
        ApplyFades(slot, segment, written);
        if (!fadingOut) RaisePeak(slot.peak, segment, written * kOutputChannels);
        done += written;
        if (fadingOut && slot.fadeOutLeft == 0) slot.sounding = false;
        if (!slot.sounding) slot.fadeOutLeft = 0;
    }
}

}  // namespace

struct AudioBackend::Impl {
    explicit Impl(SoundFolders f) : folders(std::move(f)) {}

    SoundFolders folders;
    bool opened = false;  // Open succeeded and Close has not come yet
    std::optional<std::chrono::steady_clock::time_point> quietSince;
    std::function<void(const std::string&)> sayProblem = [](const std::string& problem) {
        std::fprintf(stderr, "kelo-typing: %s\n", problem.c_str());
    };
    std::set<std::string> saidProblems;
    SDL_AudioDeviceID device = 0;
    std::optional<std::string> soundFontPath;
    std::shared_ptr<SoundFont> soundFont;  // read with the first MIDI alias
    std::array<AliasSlot, kSlots> slots;
    std::array<int16_t, kBufferFrames * kOutputChannels> block{};

    static void SDLCALL Mix(void* impl, Uint8* stream, int bytes) {
        static_cast<Impl*>(impl)->MixInto(reinterpret_cast<int16_t*>(stream), bytes / (2 * kOutputChannels));
    }

    // Runs on the audio thread, with the device locked. Silent aliases cost nothing. The
    // first alias that sounds writes straight into `out`, which holds silence until then:
    // a sum with silence is the sound itself.
    void MixInto(int16_t* out, int frames) {
        std::fill(out, out + frames * kOutputChannels, int16_t{0});
        bool outSilent = true;
        for (AliasSlot& slot : slots) {
            if (!slot.Busy()) continue;
            for (int done = 0; done < frames && slot.Busy(); done += kBufferFrames) {
                const int count = std::min(kBufferFrames, frames - done);
                const int samples = count * kOutputChannels;
                int16_t* to = out + done * kOutputChannels;
                if (outSilent) {
                    RenderSlot(slot, to, count);
                    continue;
                }
                std::fill(block.begin(), block.begin() + samples, int16_t{0});
                RenderSlot(slot, block.data(), count);
                MixSaturating(to, block.data(), samples);
            }
            outSilent = false;
        }
    }

    AliasSlot* Find(std::string_view alias) {
        for (AliasSlot& slot : slots) {
            if (slot.InUse() && SameAlias(slot.alias, alias)) return &slot;
        }
        return nullptr;
    }

    AliasSlot* FreeSlot() {
        for (AliasSlot& slot : slots) {
            if (!slot.InUse() && !slot.HoldsSound()) return &slot;
        }
        return nullptr;
    }

    void Carry(const SoundCommand& command) {
        if (command.verb == SoundVerb::Play && !device && !OpenDevice()) return;
        ReleaseFadedOut();
        switch (command.verb) {
            case SoundVerb::Open: OpenAlias(command); break;
            case SoundVerb::Play: PlayAlias(command); break;
            case SoundVerb::Stop:
                if (AliasSlot* slot = Find(command.alias)) {
                    DeviceLock lock(device);
                    FadeOut(*slot);
                }
                break;
            case SoundVerb::Close:
                if (AliasSlot* slot = Find(command.alias)) CloseAlias(*slot);
                break;
            case SoundVerb::None: break;
        }
    }

    // Each problem once, however often it recurs.
    void Say(const std::string& problem) {
        if (saidProblems.insert(problem).second && sayProblem) sayProblem(problem);
    }

    bool LoadSoundFont() {
        if (soundFont) return true;
        if (std::optional<std::string> problem = FluidSynthProblem()) {
            Say("cannot load the FluidSynth library (" + *problem + "): MIDI music stays silent");
            return false;
        }
        if (!soundFontPath) {
            Say("no General MIDI soundfont found (install fluid-soundfont-gm, or name one in SDL_SOUNDFONTS): "
                "MIDI music stays silent");
            return false;
        }
        soundFont = SoundFont::Load(*soundFontPath);
        if (!soundFont) Say("cannot read the soundfont " + *soundFontPath + ": MIDI music stays silent");
        return soundFont != nullptr;
    }

    // The file's rendering when it was made from exactly this file, else the file
    // synthesised live; nothing when neither can play.
    std::unique_ptr<Song> LoadSong(const std::string& path) {
        std::optional<std::vector<uint8_t>> midi = ReadWholeFile(path);
        if (!midi) {
            SayUnreadable(path);
            return nullptr;
        }
        const std::string renderingPath = RenderingPathOf(path);
        RenderedSong::Loading rendering = RenderedSong::Load(renderingPath, *midi, kSampleRate);
        switch (rendering.outcome) {
            case RenderedSong::Outcome::Loaded: return std::move(rendering.song);
            case RenderedSong::Outcome::Missing:
                Say("the rendering " + renderingPath + " is missing: synthesising " + path + " live");
                break;
            case RenderedSong::Outcome::Damaged:
                Say("the rendering " + renderingPath + " is damaged: synthesising " + path + " live");
                break;
            case RenderedSong::Outcome::OtherMidi: break;
        }
        if (!LoadSoundFont()) return nullptr;
        // Songs sharing the font must not load while another one plays.
        DeviceLock lock(device);
        return MidiSong::Load(std::move(*midi), soundFont, kSampleRate);
    }

    void SayUnreadable(const std::string& path) {
        std::error_code error;
        if (std::filesystem::exists(path, error)) {
            Say("cannot read the sound file " + path);
        } else {
            Say("the sound file " + path + " is missing");
        }
    }

    void OpenAlias(const SoundCommand& command) {
        if (Find(command.alias)) return;
        AliasSlot* slot = FreeSlot();
        if (!slot) return;
        std::string path = ResolveSoundPath(command.path, folders);
        switch (SoundFileKindOf(command.path)) {
            case SoundFileKind::Wave: {
                Wave wave = LoadWave(path);
                if (wave.samples.empty()) SayUnreadable(path);
                slot->wave = std::move(wave.samples);
                slot->waveChannels = wave.channels;
                break;
            }
            case SoundFileKind::Midi: slot->song = LoadSong(path); break;
            case SoundFileKind::Unknown: break;
        }
        if (!slot->HoldsSound()) return;
        slot->alias = command.alias;
        slot->waveFrame = 0;
        slot->peak = 0;
    }

    void PlayAlias(const SoundCommand& command) {
        AliasSlot* slot = Find(command.alias);
        if (!slot) return;
        if (slot->song) slot->song->Fetch();
        // Songs sharing the font must not make a synthesizer while another one plays.
        DeviceLock lock(device);
        const std::optional<Start> start = StartOf(*slot, command.fromMs);
        if (slot->song && start && start->restartSong) slot->song->Prepare();
        FadeOut(*slot);
        slot->next = start;
    }

    // Music starts from the beginning only. Without a start position a wave or a song goes
    // on from where it was stopped.
    static std::optional<Start> StartOf(const AliasSlot& slot, std::optional<uint32_t> fromMs) {
        if (slot.song) {
            if (fromMs && *fromMs != 0) return std::nullopt;
            return Start{std::nullopt, fromMs.has_value() || !slot.song->Started()};
        }
        if (fromMs) return Start{MillisecondsToFrames(*fromMs), false};
        return Start{};
    }

    // The alias is gone at once; its sound fades out and is released afterwards.
    void CloseAlias(AliasSlot& slot) {
        DeviceLock lock(device);
        FadeOut(slot);
        slot.alias.clear();
        slot.peak = 0;
    }

    void ReleaseFadedOut() {
        const bool anyClosed =
            std::any_of(slots.begin(), slots.end(), [](const AliasSlot& s) { return !s.InUse() && s.HoldsSound(); });
        if (!anyClosed) return;
        // Songs sharing the font must not end while another one plays.
        DeviceLock lock(device);
        for (AliasSlot& slot : slots) {
            if (!slot.InUse() && !slot.Busy()) Release(slot);
        }
    }

    static void Release(AliasSlot& slot) {
        slot.wave = std::vector<int16_t>();
        slot.song.reset();
    }

    void FadeOutEverything() {
        DeviceLock lock(device);
        for (AliasSlot& slot : slots) {
            FadeOut(slot);
            slot.alias.clear();
        }
    }

    // Everything but the device's own state is kept while it rests, so the next play
    // starts as it would have on the open device.
    bool OpenDevice() {
        SDL_AudioSpec wanted{};
        wanted.freq = kSampleRate;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = kOutputChannels;
        wanted.samples = kBufferFrames;
        wanted.callback = Mix;
        wanted.userdata = this;
        // No changes allowed: SDL converts to whatever the device takes.
        device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
        if (!device) {
            Say(std::string("no audio device (") + SDL_GetError() + "): playing without sound");
            return false;
        }
        quietSince.reset();
        SDL_PauseAudioDevice(device, 0);
        return true;
    }

    bool AnyBusy() {
        DeviceLock lock(device);
        return std::any_of(slots.begin(), slots.end(), [](const AliasSlot& s) { return s.Busy(); });
    }

    void WaitForSilence() {
        const auto deadline = std::chrono::steady_clock::now() + kCloseWait;
        while (AnyBusy() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
};

AudioBackend::AudioBackend() : AudioBackend(GameSoundFolders(ExecutableDirectory())) {}

AudioBackend::AudioBackend(SoundFolders folders) : impl_(std::make_unique<Impl>(std::move(folders))) {}

AudioBackend::~AudioBackend() { Close(); }

bool AudioBackend::Open() {
    if (impl_->opened) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        impl_->Say(std::string("no audio device (") + SDL_GetError() + "): playing without sound");
        return false;
    }
    if (!impl_->OpenDevice()) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    impl_->opened = true;
    impl_->soundFontPath = FindSoundFont();
    return true;
}

// SDL's audio thread wakes for every block even while the device is paused, so a rest
// closes the device; nothing sounds then, so nothing is cut.
bool AudioBackend::RestWhenQuietFor(std::chrono::milliseconds quiet) {
    if (!impl_->device) return impl_->opened;
    if (impl_->AnyBusy()) {
        impl_->quietSince.reset();
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!impl_->quietSince) impl_->quietSince = now;
    if (now - *impl_->quietSince < quiet) return false;
    SDL_CloseAudioDevice(impl_->device);
    impl_->device = 0;
    return true;
}

void AudioBackend::Close() {
    if (!impl_->opened) return;
    impl_->opened = false;
    if (impl_->device) {
        impl_->FadeOutEverything();
        impl_->WaitForSilence();
        SDL_CloseAudioDevice(impl_->device);
        impl_->device = 0;
    }
    for (AliasSlot& slot : impl_->slots) {
        AudioBackend::Impl::Release(slot);
        slot.sounding = false;
        slot.next.reset();
        slot.peak = 0;
    }
    impl_->soundFont.reset();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool AudioBackend::IsOpen() const { return impl_->opened; }

void AudioBackend::SayProblemsTo(std::function<void(const std::string&)> say) { impl_->sayProblem = std::move(say); }

void AudioBackend::Command(std::string_view command) {
    if (impl_->opened) impl_->Carry(ParseSoundCommand(command));
}

int AudioBackend::TakePeak(std::string_view alias) {
    AliasSlot* slot = impl_->Find(alias);
    return slot ? slot->peak.exchange(0) : 0;
}

}  // namespace kelo
