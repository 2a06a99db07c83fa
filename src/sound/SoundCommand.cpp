#include "sound/SoundCommand.h"

#include <charconv>
#include <vector>

namespace kelo {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits on blanks; a double-quoted word may hold blanks (a path such as "my snd/a.wav").
// An unterminated quote makes the whole command malformed.
std::optional<std::vector<std::string_view>> SplitWords(std::string_view text) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos) return std::nullopt;
            words.push_back(text.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        words.push_back(text.substr(i, end - i));
        i = end;
    }
    return words;
}

std::optional<uint32_t> ParseMilliseconds(std::string_view word) {
    uint32_t value = 0;
    auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    return value;
}

SoundCommand Nothing() { return {}; }

// open <path> alias <alias>
SoundCommand ParseOpen(const std::vector<std::string_view>& words) {
    if (words.size() != 4 || !EqualsIgnoringCase(words[2], "alias")) return Nothing();
    if (words[1].empty() || words[3].empty()) return Nothing();
    SoundCommand command;
    command.verb = SoundVerb::Open;
    command.path = words[1];
    command.alias = words[3];
    return command;
}

// play <alias> [notify] [from <ms>], options in any order, each at most once
SoundCommand ParsePlay(const std::vector<std::string_view>& words) {
    SoundCommand command;
    command.verb = SoundVerb::Play;
    command.alias = words[1];
    for (size_t i = 2; i < words.size(); ++i) {
        if (EqualsIgnoringCase(words[i], "notify") && !command.notify) {
            command.notify = true;
        } else if (EqualsIgnoringCase(words[i], "from") && !command.fromMs && i + 1 < words.size()) {
            command.fromMs = ParseMilliseconds(words[++i]);
            if (!command.fromMs) return Nothing();
        } else {
            return Nothing();
        }
    }
    return command;
}

SoundCommand ParseAliasOnly(SoundVerb verb, const std::vector<std::string_view>& words) {
    if (words.size() != 2) return Nothing();
    SoundCommand command;
    command.verb = verb;
    command.alias = words[1];
    return command;
}

}  // namespace

SoundCommand ParseSoundCommand(std::string_view text) {
    auto words = SplitWords(text);
    if (!words || words->size() < 2 || (*words)[1].empty()) return Nothing();
    std::string_view verb = (*words)[0];
    if (EqualsIgnoringCase(verb, "open")) return ParseOpen(*words);
    if (EqualsIgnoringCase(verb, "play")) return ParsePlay(*words);
    if (EqualsIgnoringCase(verb, "stop")) return ParseAliasOnly(SoundVerb::Stop, *words);
    if (EqualsIgnoringCase(verb, "close")) return ParseAliasOnly(SoundVerb::Close, *words);
    return Nothing();
}

SoundFileKind SoundFileKindOf(std::string_view path) {
    size_t dot = path.rfind('.');
    size_t slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return SoundFileKind::Unknown;
    }
    std::string_view extension = path.substr(dot + 1);
    if (EqualsIgnoringCase(extension, "wav")) return SoundFileKind::Wave;
    if (EqualsIgnoringCase(extension, "mid") || EqualsIgnoringCase(extension, "midi")) return SoundFileKind::Midi;
    return SoundFileKind::Unknown;
}

bool SameAlias(std::string_view a, std::string_view b) { return EqualsIgnoringCase(a, b); }

}  // namespace kelo
