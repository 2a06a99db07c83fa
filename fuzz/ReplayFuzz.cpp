// Fuzzes the replay reader: any bytes, taken as one uncompressed segment of a session
// or of a run, are refused or played by the real game until they end or diverge. Nothing
// but ReplayError may come out, and the sanitizers watch every read.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "app/Game.h"
#include "platform/common/ReplayPlatforms.h"

namespace {

// A font that draws nothing; the replay takes its texts from the inner platform.
class NoText : public kelo::TextRenderer {
public:
    const kelo::TextMask& Render(std::string_view, int) override { return mask_; }

private:
    kelo::TextMask mask_;
};

// Receives the outputs; its answers are never asked, the replay gives them.
class Outputs : public kelo::Platform {
public:
    uint32_t Now() override { return 0; }
    void Sleep(uint32_t) override {}
    void Yield(kelo::EventSink&, kelo::YieldKind) override {}
    void Present(const kelo::Image&, kelo::FrameKind) override {}
    void SendSound(std::string_view) override {}
    bool OtherInstanceRunning() override { return false; }
    uint32_t RandomSeed() override { return 1; }
    kelo::TextRenderer& Text() override { return text_; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override { return std::nullopt; }
    bool WriteRecordFile(const std::vector<uint8_t>&) override { return true; }

private:
    NoText text_;
};

void Play(const uint8_t* data, size_t size, bool fromRunStart) {
    Outputs outputs;
    try {
        kelo::ReplayPlatform replay({{std::vector<uint8_t>(data, data + size)}, fromRunStart}, outputs, "");
        kelo::Game game(replay);
        replay.Play(game);
    } catch (const kelo::ReplayError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Play(data, size, false);
    Play(data, size, true);
    // The same bytes compressed must decompress to themselves.
    const std::vector<uint8_t> packed = kelo::CompressReplay(std::span(data, size));
    const std::optional<std::vector<uint8_t>> unpacked = kelo::UncompressReplay(packed);
    if (!unpacked || *unpacked != std::vector<uint8_t>(data, data + size)) {
        std::fprintf(stderr, "replay compression does not give the bytes back\n");
        std::abort();
    }
    (void)kelo::UncompressReplay(std::span(data, size));
    return 0;
}
