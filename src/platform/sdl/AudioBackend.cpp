#include "platform/sdl/AudioBackend.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/sdl/AudioMidi.h"
#include "sound/SoundCommand.h"

namespace kelo {

namespace {

constexpr int kSampleRate = 44100;
constexpr int kOutputChannels = 2;
constexpr int kBytesPerFrame = 2 * kOutputChannels;
// About 12 ms: a key's tap follows the key without a noticeable delay.
constexpr int kBufferFrames = 512;
// One mixer channel per alias; the game has nine.
constexpr int kMixerChannels = 16;

std::string ExecutableDirectory() {
    char* base = SDL_GetBasePath();
    if (!base) return {};
    std::string directory = base;
    SDL_free(base);
    return directory;
}

void RaisePeak(std::atomic<int>& peak, const void* stream, int bytes) {
    const auto* samples = static_cast<const int16_t*>(stream);
    int loudest = 0;
    for (int i = 0; i < bytes / 2; ++i) loudest = std::max(loudest, std::abs(static_cast<int>(samples[i])));
    int seen = peak.load(std::memory_order_relaxed);
    while (loudest > seen && !peak.compare_exchange_weak(seen, loudest, std::memory_order_relaxed)) {
    }
}

}  // namespace

// One open alias on its own mixer channel (the slot's index). The audio thread touches a
// slot only through the effect registered while its channel plays; every change to a slot
// is made with the channel halted, which also removes that effect.
struct AliasSlot {
    std::string alias;  // empty: free
    Mix_Chunk* wave = nullptr;
    Mix_Chunk view{};  // the part of `wave` from the play position on
    std::unique_ptr<MidiSong> song;
    std::atomic<int> peak{0};
    std::atomic<uint32_t> waveBytesPlayed{0};

    bool InUse() const { return !alias.empty(); }
};

namespace {

void MeterWave(int, void* stream, int bytes, void* slot) {
    auto& s = *static_cast<AliasSlot*>(slot);
    RaisePeak(s.peak, stream, bytes);
    s.waveBytesPlayed.fetch_add(static_cast<uint32_t>(bytes), std::memory_order_relaxed);
}

void RenderSong(int, void* stream, int bytes, void* slot) {
    auto& s = *static_cast<AliasSlot*>(slot);
    s.song->Render(static_cast<int16_t*>(stream), bytes / kBytesPerFrame);
    RaisePeak(s.peak, stream, bytes);
}

uint32_t MillisecondsToBytes(uint32_t ms) {
    return static_cast<uint32_t>(static_cast<uint64_t>(ms) * kSampleRate / 1000) * kBytesPerFrame;
}

}  // namespace

struct AudioBackend::Impl {
    explicit Impl(SoundFolders f) : folders(std::move(f)) {}

    SoundFolders folders;
    bool open = false;
    std::optional<std::string> soundFont;
    // Played silently on a music channel; the song's effect writes the music over it.
    std::vector<uint8_t> silence = std::vector<uint8_t>(kBufferFrames * kBytesPerFrame * 4, 0);
    Mix_Chunk* silentLoop = nullptr;
    std::array<AliasSlot, kMixerChannels> slots;

    int ChannelOf(const AliasSlot& slot) const { return static_cast<int>(&slot - slots.data()); }

    AliasSlot* Find(std::string_view alias) {
        for (AliasSlot& slot : slots) {
            if (slot.InUse() && SameAlias(slot.alias, alias)) return &slot;
        }
        return nullptr;
    }

    AliasSlot* FreeSlot() {
        for (AliasSlot& slot : slots) {
            if (!slot.InUse()) return &slot;
        }
        return nullptr;
    }

    void Halt(AliasSlot& slot) {
        Mix_HaltChannel(ChannelOf(slot));
        Mix_UnregisterAllEffects(ChannelOf(slot));
    }

    void Carry(const SoundCommand& command) {
        switch (command.verb) {
            case SoundVerb::Open: OpenAlias(command); break;
            case SoundVerb::Play: PlayAlias(command); break;
            case SoundVerb::Stop:
                if (AliasSlot* slot = Find(command.alias)) Halt(*slot);
                break;
            case SoundVerb::Close:
                if (AliasSlot* slot = Find(command.alias)) CloseAlias(*slot);
                break;
            case SoundVerb::None: break;
        }
    }

    void OpenAlias(const SoundCommand& command) {
        if (Find(command.alias)) return;
        AliasSlot* slot = FreeSlot();
        if (!slot) return;
        std::string path = ResolveSoundPath(command.path, folders);
        switch (SoundFileKindOf(command.path)) {
            case SoundFileKind::Wave: slot->wave = Mix_LoadWAV(path.c_str()); break;
            case SoundFileKind::Midi:
                if (soundFont) slot->song = MidiSong::Load(path, *soundFont, kSampleRate);
                break;
            case SoundFileKind::Unknown: break;
        }
        if (!slot->wave && !slot->song) return;
        slot->alias = command.alias;
        slot->waveBytesPlayed = 0;
        slot->peak = 0;
    }

    void PlayAlias(const SoundCommand& command) {
        AliasSlot* slot = Find(command.alias);
        if (!slot) return;
        Halt(*slot);
        if (slot->wave) PlayWave(*slot, command.fromMs);
        if (slot->song) PlaySong(*slot, command.fromMs);
    }

    // Without a start position a wave goes on from where it was stopped.
    void PlayWave(AliasSlot& slot, std::optional<uint32_t> fromMs) {
        uint32_t start = fromMs ? MillisecondsToBytes(*fromMs) : slot.waveBytesPlayed.load();
        if (start >= slot.wave->alen) return;
        slot.view = *slot.wave;
        slot.view.allocated = 0;
        slot.view.abuf += start;
        slot.view.alen -= start;
        slot.waveBytesPlayed = start;
        const int channel = ChannelOf(slot);
        Mix_RegisterEffect(channel, MeterWave, nullptr, &slot);
        if (Mix_PlayChannel(channel, &slot.view, 0) < 0) Mix_UnregisterAllEffects(channel);
    }

    // Music starts from the beginning only; without a start position it goes on from
    // where it was stopped.
    void PlaySong(AliasSlot& slot, std::optional<uint32_t> fromMs) {
        if (fromMs && *fromMs != 0) return;
        if (fromMs || !slot.song->Started()) slot.song->Restart();
        const int channel = ChannelOf(slot);
        Mix_RegisterEffect(channel, RenderSong, nullptr, &slot);
        if (Mix_PlayChannel(channel, silentLoop, -1) < 0) Mix_UnregisterAllEffects(channel);
    }

    void CloseAlias(AliasSlot& slot) {
        Halt(slot);
        if (slot.wave) Mix_FreeChunk(slot.wave);
        slot.wave = nullptr;
        slot.view = Mix_Chunk{};
        slot.song.reset();
        slot.alias.clear();
        slot.peak = 0;
    }
};

AudioBackend::AudioBackend() : AudioBackend(GameSoundFolders(ExecutableDirectory())) {}

AudioBackend::AudioBackend(SoundFolders folders) : impl_(std::make_unique<Impl>(std::move(folders))) {}

AudioBackend::~AudioBackend() { Close(); }

bool AudioBackend::Open() {
    if (impl_->open) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix_OpenAudioDevice(kSampleRate, AUDIO_S16SYS, kOutputChannels, kBufferFrames, nullptr, 0) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(kMixerChannels);
    impl_->silentLoop = Mix_QuickLoad_RAW(impl_->silence.data(), static_cast<Uint32>(impl_->silence.size()));
    impl_->soundFont = FindSoundFont();
    impl_->open = true;
    return true;
}

void AudioBackend::Close() {
    if (!impl_->open) return;
    for (AliasSlot& slot : impl_->slots) {
        if (slot.InUse()) impl_->CloseAlias(slot);
    }
    Mix_FreeChunk(impl_->silentLoop);
    impl_->silentLoop = nullptr;
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    impl_->open = false;
}

bool AudioBackend::IsOpen() const { return impl_->open; }

void AudioBackend::Command(std::string_view command) {
    if (impl_->open) impl_->Carry(ParseSoundCommand(command));
}

int AudioBackend::TakePeak(std::string_view alias) {
    AliasSlot* slot = impl_->Find(alias);
    return slot ? slot->peak.exchange(0) : 0;
}

}  // namespace kelo
