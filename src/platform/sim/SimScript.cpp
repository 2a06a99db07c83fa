#include "platform/sim/SimScript.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <sstream>
#include <utility>

#include "app/Keyboard.h"
#include "platform/sim/SimError.h"

namespace kelo {

namespace {

struct NamedKey {
    std::string_view name;
    int vk;
};

// clang-format off
constexpr std::array<NamedKey, 15> kNamedKeys{{
    {"COMMA", vk::Comma},   {"PERIOD", vk::Period}, {"SPACE", vk::Space},         {"ESCAPE", vk::Escape},
    {"LEFT", vk::Left},     {"RIGHT", vk::Right},   {"UP", vk::Up},               {"DOWN", vk::Down},
    {"SHIFT", vk::Shift},   {"CTRL", vk::Ctrl},     {"ALT", vk::Alt},             {"ENTER", vk::Enter},
    {"BACKSPACE", vk::Backspace}, {"TAB", vk::Tab}, {"DELETE", vk::Delete},
}};
// clang-format on

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

template <typename Int>
std::optional<Int> ParseWhole(std::string_view text) {
    Int value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::vector<std::string> Words(std::string_view line) {
    std::istringstream in{std::string(line)};
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

[[noreturn]] void Fail(int lineNumber, const std::string& problem) {
    throw SimUsageError("script line " + std::to_string(lineNumber) + ": " + problem);
}

// Events tagged with the position they take among the events of their frame.
struct Placed {
    ScriptEvent event;
    size_t order;
};

void ParseLine(std::string_view line, int lineNumber, std::vector<Placed>& out) {
    std::vector<std::string> words = Words(line.substr(0, line.find('#')));
    if (words.empty()) return;
    std::optional<int64_t> frame = ParseWhole<int64_t>(words[0]);
    if (!frame || *frame < 1 || *frame > kLastScriptFrame)
        Fail(lineNumber, "frame must be a whole number from 1 to " + std::to_string(kLastScriptFrame) + ", not " +
                             QuotedForMessage(words[0]));
    if (words.size() < 2) Fail(lineNumber, "missing action (down, up, tap or close)");
    const std::string action = Upper(words[1]);
    const size_t order = out.size();
    if (action == "CLOSE") {
        if (words.size() != 2) Fail(lineNumber, "close takes no key");
        out.push_back({{*frame, ScriptEvent::Kind::Close, 0}, order});
        return;
    }
    if (action != "DOWN" && action != "UP" && action != "TAP")
        Fail(lineNumber, "unknown action " + QuotedForMessage(words[1]) + " (use down, up, tap or close)");
    if (words.size() != 3) Fail(lineNumber, words.size() < 3 ? "missing key" : "too many words");
    std::optional<int> key = KeyCodeFromName(words[2]);
    if (!key) Fail(lineNumber, "unknown key " + QuotedForMessage(words[2]));
    if (action == "UP") {
        out.push_back({{*frame, ScriptEvent::Kind::Up, *key}, order});
    } else {
        out.push_back({{*frame, ScriptEvent::Kind::Down, *key}, order});
        if (action == "TAP") out.push_back({{*frame + 1, ScriptEvent::Kind::Up, *key}, order});
    }
}

}  // namespace

std::string QuotedForMessage(std::string_view text) {
    constexpr size_t kMostShown = 80;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string quoted = "\"";
    for (size_t i = 0; i < text.size() && i < kMostShown; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            quoted += static_cast<char>(byte);
        } else {
            quoted += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        }
    }
    if (text.size() > kMostShown) quoted += "...";
    return quoted + "\"";
}

std::optional<int> KeyCodeFromName(std::string_view name) {
    const std::string upper = Upper(name);
    if (upper.size() == 1) {
        char c = upper[0];
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
        return std::nullopt;
    }
    if (upper.rfind("VK:", 0) == 0) {
        std::optional<int> code = ParseWhole<int>(std::string_view(upper).substr(3));
        if (code && *code >= 1 && *code <= 255) return code;
        return std::nullopt;
    }
    for (const NamedKey& key : kNamedKeys)
        if (key.name == upper) return key.vk;
    return std::nullopt;
}

std::vector<ScriptEvent> ParseScript(std::string_view text) {
    std::vector<Placed> placed;
    int lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ParseLine(line, ++lineNumber, placed);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
        return std::pair(a.event.frame, a.order) < std::pair(b.event.frame, b.order);
    });
    std::vector<ScriptEvent> events;
    events.reserve(placed.size());
    for (const Placed& p : placed) events.push_back(p.event);
    return events;
}

}  // namespace kelo
