#pragma once
// The desktop platform: one SDL window with a 400 x 300 client area, SDL's millisecond
// clock, the keyboard as Windows virtual-key numbers, the single-instance lock and the
// record file beside the executable.

#include <SDL.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/common/RecordStore.h"
#include "platform/sdl/InstanceLock.h"

namespace kelo {

// The audio device. It is opened when the window is first shown, once the game knows it
// is the only copy running, so a second copy never touches the sound system. Empty
// functions leave the game silent.
struct SoundOutput {
    std::function<void()> open;
    std::function<void(std::string_view command)> command;
};

class SdlPlatform : public Platform {
public:
    static constexpr int kClientWidth = 400;
    static constexpr int kClientHeight = 300;

    // Opens the window, hidden until ShowWindow(). SDL video must be initialised.
    // Returns null and sets `error` when no window or renderer can be made.
    static std::unique_ptr<SdlPlatform> Create(TextRenderer& text, SoundOutput sound, std::string& error);
    ~SdlPlatform() override;
    SdlPlatform(const SdlPlatform&) = delete;
    SdlPlatform& operator=(const SdlPlatform&) = delete;

    uint32_t Now() override;
    void Sleep(uint32_t ms) override;
    void Yield(EventSink& sink, YieldKind kind) override;
    void Present(const Image& frame) override;
    void SendSound(std::string_view command) override;
    bool OtherInstanceRunning() override;
    void ShowWindow() override;
    uint32_t RandomSeed() override;
    TextRenderer& Text() override { return text_; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override;
    bool WriteRecordFile(const std::vector<uint8_t>& bytes) override;

    SDL_Window* Window() const { return window_; }

private:
    SdlPlatform(TextRenderer& text, SoundOutput sound);
    bool Open(std::string& error);
    void Dispatch(const SDL_Event& event, EventSink& sink);
    void Redraw();

    TextRenderer& text_;
    SoundOutput sound_;
    InstanceLock instanceLock_;
    RecordStore records_ = RecordStore::ForDesktop();
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    bool hasFrame_ = false;
    bool shown_ = false;
};

}  // namespace kelo
