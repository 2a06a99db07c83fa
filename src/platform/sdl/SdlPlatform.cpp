#include "platform/sdl/SdlPlatform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/sdl/KeyMap.h"
#include "platform/sdl/WindowIcon.h"

namespace kelo {

namespace {

// Sleeps end this long before a deadline; the caller polls the clock for the rest,
// which keeps frame starts within about a millisecond without holding a core busy.
constexpr uint32_t kSleepMargin = 2;
constexpr uint32_t kShortSleepMicroseconds = 250;
// How long a yield inside a key-waiting loop may block for an event.
constexpr int kKeyWaitTimeout = 5;

SDL_Renderer* CreateRenderer(SDL_Window* window) {
    if (SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED)) return renderer;
    return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
}

void SleepMicroseconds(uint32_t us) {
    timespec request{0, static_cast<long>(us) * 1000};
    nanosleep(&request, nullptr);
}

}  // namespace

SdlPlatform::SdlPlatform(TextRenderer& text, SoundOutput sound) : text_(text), sound_(std::move(sound)) {}

std::unique_ptr<SdlPlatform> SdlPlatform::Create(TextRenderer& text, SoundOutput sound, std::string& error) {
    std::unique_ptr<SdlPlatform> platform(new SdlPlatform(text, std::move(sound)));
    if (!platform->Open(error)) return nullptr;
    return platform;
}

bool SdlPlatform::Open(std::string& error) {
    window_ = SDL_CreateWindow("Ke-Lo Typing", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kClientWidth,
                               kClientHeight, SDL_WINDOW_HIDDEN);
    if (window_ != nullptr) renderer_ = CreateRenderer(window_);
    if (renderer_ != nullptr) {
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_XBGR8888, SDL_TEXTUREACCESS_STREAMING, kClientWidth,
                                     kClientHeight);
    }
    if (texture_ == nullptr) {
        error = SDL_GetError();
        return false;
    }
    SetWindowIcon(window_);
    // An input method would otherwise take letter keys for text composition.
    SDL_StopTextInput();
    return true;
}

SdlPlatform::~SdlPlatform() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
}

// Milliseconds since the machine started, like the multimedia clock the game's timing
// was made for: the first frame wait after start-up (lastFrameTime 0) returns at once.
uint32_t SdlPlatform::Now() {
    const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count());
}

void SdlPlatform::Sleep(uint32_t ms) {
    if (ms > kSleepMargin) {
        SDL_Delay(ms - kSleepMargin);
    } else {
        SleepMicroseconds(kShortSleepMicroseconds);
    }
}

void SdlPlatform::Yield(EventSink& sink, YieldKind kind) {
    SDL_Event event;
    if (kind == YieldKind::KeyWait && SDL_WaitEventTimeout(&event, kKeyWaitTimeout)) Dispatch(event, sink);
    while (SDL_PollEvent(&event)) Dispatch(event, sink);
}

void SdlPlatform::Dispatch(const SDL_Event& event, EventSink& sink) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            // Auto-repeats arrive as further key-downs, as they do on Windows.
            const int vk = VirtualKeyFor(event.key.keysym.sym, event.key.keysym.scancode);
            if (vk == 0) break;
            if (event.type == SDL_KEYDOWN) {
                sink.OnKeyDown(vk);
            } else {
                sink.OnKeyUp(vk);
            }
            break;
        }
        case SDL_QUIT: sink.OnCloseRequest(); break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) Redraw();
            break;
        default: break;
    }
}

void SdlPlatform::Present(const Image& frame) {
    const SDL_Rect area{0, 0, std::min(frame.Width(), kClientWidth), std::min(frame.Height(), kClientHeight)};
    if (area.w <= 0 || area.h <= 0) return;
    SDL_UpdateTexture(texture_, &area, frame.Pixels().data(), frame.Width() * static_cast<int>(sizeof(Colour)));
    hasFrame_ = true;
    Redraw();
}

void SdlPlatform::Redraw() {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (hasFrame_) SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
}

void SdlPlatform::SendSound(std::string_view command) {
    if (sound_.command) sound_.command(command);
}

bool SdlPlatform::OtherInstanceRunning() {
    const std::string path = InstanceLockPath(std::getenv("XDG_RUNTIME_DIR"), std::getenv("HOME"));
    return instanceLock_.Acquire(path) == InstanceLock::Result::HeldElsewhere;
}

void SdlPlatform::ShowWindow() {
    if (!shown_ && sound_.open) sound_.open();
    shown_ = true;
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    Redraw();
}

uint32_t SdlPlatform::RandomSeed() {
    const uint64_t counter = SDL_GetPerformanceCounter();
    return static_cast<uint32_t>(counter ^ (counter >> 32) ^ static_cast<uint64_t>(std::time(nullptr)));
}

std::optional<std::vector<uint8_t>> SdlPlatform::ReadRecordFile() { return records_.Read(); }

// A save that found no folder at all is said once on stderr and stays in the caption
// until a later save succeeds, so no run is lost without the player knowing.
bool SdlPlatform::WriteRecordFile(const std::vector<uint8_t>& bytes) {
    const bool saved = records_.Write(bytes);
    if (!saved) std::fprintf(stderr, "kelo-typing: %s\n", records_.LastError().c_str());
    SDL_SetWindowTitle(window_, saved ? "Ke-Lo Typing" : "Ke-Lo Typing - records could not be saved");
    return saved;
}

}  // namespace kelo
