#pragma once
// A scripted platform for the front-end screens: key and close events are given by
// frame number (the n-th frame wait, counting from 1), every sound command, text and
// presented frame is recorded.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/Game.h"
#include "platform/Platform.h"

namespace kelo::test {

struct ScriptEvent {
    enum Kind { Down, Up, Close } kind;
    int vk = 0;
};

struct SoundEntry {
    int frameWait;  // frame waits that had happened when it was sent
    std::string command;
};

class FrontEndPlatform : public Platform, public TextRenderer {
public:
    std::multimap<int, ScriptEvent> script;
    std::vector<SoundEntry> sounds;
    std::vector<std::vector<std::string>> presentedTexts;  // texts drawn per presented frame
    std::vector<int> presentedAtWait;                      // frame wait count per presented frame
    std::optional<std::vector<uint8_t>> recordFile;
    int recordWrites = 0;
    int recordReads = 0;
    int frameWaits = 0;
    Image lastFrame;
    size_t keepFrame = SIZE_MAX;  // index of a presented frame to keep in keptFrame
    Image keptFrame;

    void Press(int frame, int vk) { script.insert({frame, {ScriptEvent::Down, vk}}); }
    void Release(int frame, int vk) { script.insert({frame, {ScriptEvent::Up, vk}}); }
    void Hold(int from, int to, int vk) { Press(from, vk), Release(to, vk); }
    void CloseAt(int frame) { script.insert({frame, {ScriptEvent::Close, 0}}); }

    int SoundCount(const std::string& command) const {
        int n = 0;
        for (const SoundEntry& s : sounds) n += s.command == command;
        return n;
    }
    bool FrameShows(size_t frame, const std::string& text) const {
        for (const std::string& t : presentedTexts.at(frame)) {
            if (t == text) return true;
        }
        return false;
    }

    uint32_t Now() override { return now_; }
    void Sleep(uint32_t ms) override { now_ += ms; }
    void Yield(EventSink& sink, YieldKind kind) override {
        if (kind == YieldKind::FrameWait) {
            ++frameWaits;
            Deliver(sink, script.begin(), script.upper_bound(frameWaits));
        } else if (kind == YieldKind::KeyWait) {
            // A key wait moves the script on by one event; with none left the window closes.
            ++now_;
            if (script.empty()) return sink.OnCloseRequest();
            Deliver(sink, script.begin(), std::next(script.begin()));
        }
    }
    // A still screen presents its last frame again without drawing it; that frame shows
    // the texts of the one before.
    void Present(const Image& frame, FrameKind kind) override {
        if (kind == FrameKind::Repeated) {
            EXPECT_TRUE(pendingTexts_.empty() && !presentedTexts.empty() && frame.Pixels() == lastFrame.Pixels())
                << "a repeated frame must show what the one before showed";
            if (!presentedTexts.empty()) pendingTexts_ = presentedTexts.back();
        }
        lastFrame = frame;
        if (presentedTexts.size() == keepFrame) keptFrame = frame;
        presentedTexts.push_back(std::move(pendingTexts_));
        pendingTexts_.clear();
        presentedAtWait.push_back(frameWaits);
    }
    void SendSound(std::string_view command) override { sounds.push_back({frameWaits, std::string(command)}); }
    bool OtherInstanceRunning() override { return false; }
    uint32_t RandomSeed() override { return 12345; }
    TextRenderer& Text() override { return *this; }
    std::optional<std::vector<uint8_t>> ReadRecordFile() override {
        ++recordReads;
        return recordFile;
    }
    bool WriteRecordFile(const std::vector<uint8_t>& bytes) override {
        ++recordWrites;
        recordFile = bytes;
        return true;
    }

    const TextMask& Render(std::string_view utf8, int pointSize) override {
        pendingTexts_.emplace_back(utf8);
        mask_.width = mask_.height = pointSize > 0 ? 1 : 0;
        mask_.alpha.assign(static_cast<size_t>(mask_.width * mask_.height), 255);
        return mask_;
    }

private:
    template <class It>
    void Deliver(EventSink& sink, It first, It last) {
        std::vector<ScriptEvent> due;
        for (It it = first; it != last; ++it) due.push_back(it->second);
        script.erase(first, last);
        for (const ScriptEvent& e : due) {
            if (e.kind == ScriptEvent::Down) sink.OnKeyDown(e.vk);
            if (e.kind == ScriptEvent::Up) sink.OnKeyUp(e.vk);
            if (e.kind == ScriptEvent::Close) sink.OnCloseRequest();
        }
    }

    uint32_t now_ = 1000;
    std::vector<std::string> pendingTexts_;
    TextMask mask_;
};

}  // namespace kelo::test
