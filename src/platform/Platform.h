#pragma once
// Everything the game asks of the machine. Game code sees only this interface; the SDL
// desktop and the headless simulator implement it. A method added here must also be
// recorded and answered by the replay platforms (src/platform/common/ReplayPlatforms.h),
// or a recorded game would get the default below instead of the real answer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/KeyLayout.h"
#include "draw/Image.h"
#include "draw/Text.h"
#include "history/RunHistory.h"

namespace kelo {

// Receives the window's events while the game yields to them. Key codes are
// Windows virtual-key numbers (A-Z 65-90, Space 32, Escape 27, "," 188, "." 190, ...).
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void OnKeyDown(int vk) = 0;
    virtual void OnKeyUp(int vk) = 0;
    virtual void OnCloseRequest() = 0;
    // Whether the window may take its zoom keys (Ctrl+Plus, Ctrl+Minus, Ctrl+0) now;
    // otherwise they are the game's keys like any other.
    virtual bool TakesZoomKeys() const { return false; }
};

// Why the game yields to the window: the yield at the end of a frame wait, an extra
// yield inside a frame, or a yield inside a loop that waits for a key to change.
enum class YieldKind { FrameWait, Extra, KeyWait };

// A frame to present is new, or repeated: the same pixels as the frame presented before it.
enum class FrameKind { New, Repeated };

// The game's part of a record save, asked while the platform holds the lock on the
// record file's folder.
class RecordSaver {
public:
    virtual ~RecordSaver() = default;
    // The bytes to write, given the record file as a load would read it now (nothing
    // when there is none).
    virtual std::vector<uint8_t> Merge(const std::optional<std::vector<uint8_t>>& current) = 0;
    // Why `bytes`, a record file about to be replaced, does not load whole, as a phrase;
    // nothing when it does.
    virtual std::optional<std::string> Damage(const std::vector<uint8_t>& bytes) const = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Millisecond clock; wraps at 2^32.
    virtual uint32_t Now() = 0;
    // Called at the top of every frame wait, before the clock is first read.
    virtual void OnFrameWaitBegin() {}
    // Waits about `ms` milliseconds without holding a processor core busy; may return
    // early (the caller polls the clock again) but never much later.
    virtual void Sleep(uint32_t ms) = 0;
    // Delivers the pending window events to `sink`.
    virtual void Yield(EventSink& sink, YieldKind kind) = 0;
    // Shows a finished 400 x 300 frame. A repeated frame spares comparing its pixels.
    virtual void Present(const Image& frame, FrameKind kind) = 0;
    // One sound command string ("play wavTip notify from 0"); the result is ignored.
    virtual void SendSound(std::string_view command) = 0;
    // True when another copy of the game already runs.
    virtual bool OtherInstanceRunning() = 0;
    // Shows the window, at the end of start-up once the records are loaded; the headless
    // platform has none.
    virtual void ShowWindow() {}
    // Seed for the game's one random generator, read once at start-up.
    virtual uint32_t RandomSeed() = 0;
    // The font.
    virtual TextRenderer& Text() = 0;

    // The record file's bytes, or nothing when there is no file.
    virtual std::optional<std::vector<uint8_t>> ReadRecordFile() = 0;
    // Replaces the record file whole; false when it could not be written.
    virtual bool WriteRecordFile(const std::vector<uint8_t>& bytes) = 0;

    // Saves the records so that no other copy of the game saves in between: under a lock
    // on the record file's folder, reads the file as a load would, has `saver` make the
    // bytes and replaces the file with them, keeping a file that does not load whole
    // aside first. False when no folder took the bytes. This default, for platforms
    // without folders, neither locks nor keeps anything aside.
    virtual bool SaveRecordFile(RecordSaver& saver) { return WriteRecordFile(saver.Merge(ReadRecordFile())); }
    // What the game shows for one of its own texts, whose original (Japanese) text is
    // the message id: the translation in the language the player chose, else the
    // original. The returned text lives as long as the platform. Changed: the original
    // shows its texts only in Japanese; this default keeps them so.
    virtual std::string_view Translate(std::string_view original) { return original; }
    // The run history. The wall clock and the keyboard layout's name, read once at the
    // start of each run that is remembered.
    virtual WallTime WallClock() { return {}; }
    virtual std::string KeyboardLayoutName() { return {}; }
    // Keeps one finished run. Returns at once: the store writes it later, and a failed
    // write keeps the run for the next attempt and is reported by the platform.
    virtual void SaveRunHistory(const RunHistory&) {}
    // The remembered runs summed for the progress screen, including every run saved
    // before the call; not available when there is no history.
    virtual ProgressAggregate ReadProgress(const ProgressQuery&) { return {}; }

    // Where the player's keyboard layout puts the typed keys, for drawing a keyboard;
    // US QWERTY unless the platform knows better.
    virtual KeyLayout TypedKeyLayout() { return kUsQwerty; }

    // Plays in the window the best goal run of `course` (0 to 8) and `difficulty` that
    // the history holds, at its own speed with its sounds, until it ends or the player
    // presses Escape; it touches neither the records nor the history, and the game sees
    // none of it. A close request meanwhile ends it and reaches the game at its next
    // yield. Returns at once when there is no such run or no window.
    virtual void WatchBestRun(int /*course*/, Difficulty /*difficulty*/) {}
};

}  // namespace kelo
