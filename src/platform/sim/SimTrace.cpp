#include "platform/sim/SimTrace.h"

#include <cmath>
#include <cstdio>
#include <type_traits>

#include "kelo_version.h"

namespace kelo {

namespace {

class JsonObject {
public:
    template <typename T>
    void Field(const char* name, const T& value) {
        Key(name);
        Value(value);
    }
    std::string Close() { return out_ + "}"; }

private:
    void Key(const char* name) {
        out_ += out_.size() == 1 ? "\"" : ",\"";
        out_ += name;
        out_ += "\":";
    }
    void Value(float v) { Real(v, "%.9g"); }
    void Value(double v) { Real(v, "%.17g"); }
    void Value(const std::string& v) { out_ += JsonString(v); }
    void Value(const char* v) { out_ += JsonString(v); }
    void Value(const CourseRecord& r) {
        out_ += "{\"times\":";
        Value(r.times);
        out_ += ",\"speeds\":";
        Value(r.speeds);
        out_ += "}";
    }
    template <typename T, size_t N>
    void Value(const std::array<T, N>& values) {
        out_ += "[";
        for (size_t i = 0; i < N; ++i) {
            if (i) out_ += ",";
            Value(values[i]);
        }
        out_ += "]";
    }
    template <typename T>
        requires std::is_integral_v<T>
    void Value(T v) { out_ += std::to_string(static_cast<long long>(v)); }
    // An enumeration is written as its number.
    template <typename T>
        requires std::is_enum_v<T>
    void Value(T v) { Value(static_cast<std::underlying_type_t<T>>(v)); }
    // JSON has no infinities or NaN; they would only appear through a fault in the game.
    void Real(double v, const char* format) {
        if (!std::isfinite(v)) {
            out_ += "null";
            return;
        }
        char buf[40];
        std::snprintf(buf, sizeof buf, format, v);
        out_ += buf;
    }

    std::string out_ = "{";
};

// The trace's layout: touches left, right, then misses left, right.
std::array<int16_t, 4> Flat(const KeyTally& t) { return {t.touches[0], t.touches[1], t.misses[0], t.misses[1]}; }

// x of the left and the right column, then y of the left and the right column.
std::array<uint8_t, 4> Flat(const PerHand<ColumnJitter>& j) { return {j[0].x, j[1].x, j[0].y, j[1].y}; }

// Slot by slot, the left hand's disc before the right hand's.
std::array<uint8_t, 2 * kHitFlashSlots> Flat(const PerHand<std::array<uint8_t, kHitFlashSlots>>& flashes) {
    std::array<uint8_t, 2 * kHitFlashSlots> flat{};
    for (int slot = 0; slot < kHitFlashSlots; ++slot) {
        for (int hand = 0; hand < 2; ++hand) flat[2 * slot + hand] = flashes[hand][slot];
    }
    return flat;
}

void AddGameState(JsonObject& json, const GameState& s) {
    json.Field("quitRequested", s.quitRequested);
    json.Field("lastFrameTime", s.lastFrameTime);
    json.Field("loopIndex", s.loopIndex);
    json.Field("courseIndex", s.courseIndex);
    json.Field("difficulty", s.difficulty);
    json.Field("openCourses", s.openCourses);
    json.Field("clearMark", s.clearMark);
    json.Field("courseRecords", s.courseRecords);
    json.Field("courseNotes", s.courseNotes);
    json.Field("courseLength", s.courseLength);
    json.Field("checkpointDistance", s.checkpointDistance);
    json.Field("stageTime", s.stageTime);
    json.Field("difficultyRating", s.difficultyRating);
    json.Field("backColour", s.backColour);
    json.Field("starTint", s.starTint);
    json.Field("starBand", s.starBand);
    json.Field("bgmIndex", s.bgmIndex);
    json.Field("keyPoolSize", s.keyPoolSize);
    json.Field("handPeriodTarget", s.handPeriodTarget);
    json.Field("curveRate", s.curveRate);
    json.Field("signKind", s.signKind);
    json.Field("signTimer", s.signTimer);
    json.Field("distance", s.distance);
    json.Field("speed", s.speed);
    json.Field("elapsedTime", s.elapsedTime);
    json.Field("stageIndex", s.stageIndex);
    json.Field("countdown", s.countdown);
    json.Field("extendTimer", s.extendTimer);
    json.Field("frameStartTime", s.frameStartTime);
    json.Field("frameEndTime", s.frameEndTime);
    json.Field("fpsSum", s.fpsSum);
    json.Field("fpsFrames", s.fpsFrames);
    json.Field("targetQueue", s.targetQueue);
    json.Field("targetKey", s.targetKey);
    json.Field("keyLatch", s.keyLatch);
    json.Field("handPeriod", s.handPeriod);
    json.Field("handWait", s.handWait);
    json.Field("keyTally", Flat(s.keyTally));
    json.Field("missShake", s.missShake);
    json.Field("queueJitter", Flat(s.queueJitter));
    json.Field("hitFlash", Flat(s.hitFlash));
    json.Field("hitFlashSlot", s.hitFlashSlot);
    json.Field("letterSpacing", s.letterSpacing);
    json.Field("letterSpacingTarget", s.letterSpacingTarget);
    json.Field("queueScroll", s.queueScroll);
    json.Field("warpCharge", s.warpCharge);
    json.Field("warpLevel", s.warpLevel);
}

void AddRunLocals(JsonObject& json, const RunLocals& r) {
    json.Field("endTimer", r.endTimer);
    json.Field("newRank", r.newRank);
    json.Field("loadLevel", r.loadLevel);
    json.Field("ringSlot", r.ringSlot);
    json.Field("frameTime", r.frameTime);
    json.Field("heldKey", r.heldKey);
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string TraceHeader() {
    return "{\"format\": " + std::to_string(kTraceFormat) + ", \"game\": " + JsonString(KELO_VERSION) + "}";
}

std::string TraceLine(const Game& game, int64_t frame, uint32_t clock) {
    JsonObject json;
    json.Field("frame", frame);
    json.Field("clock", clock);
    json.Field("screen", ScreenName(game.screen));
    AddGameState(json, game.state);
    if (game.screen == Screen::Run) AddRunLocals(json, game.run);
    return json.Close();
}

}  // namespace kelo
