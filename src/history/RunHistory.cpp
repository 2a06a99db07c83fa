#include "history/RunHistory.h"

#include <algorithm>
#include <cstdio>

#include "app/Keyboard.h"

namespace kelo {

int HistoryKeyRow(char letter) {
    const size_t at = kHistoryLetters.find(letter);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

std::string HistoryKeyLabel(int row) {
    if (row >= 0 && row < kHistoryLetterCount) return std::string(1, kHistoryLetters[row]);
    return "other";
}

std::string TypedKeyLabel(int vk) {
    if (vk >= 'A' && vk <= 'Z') return std::string(1, static_cast<char>(vk));
    if (vk >= '0' && vk <= '9') return std::string(1, static_cast<char>(vk));
    switch (vk) {
        case vk::Comma: return ",";
        case vk::Period: return ".";
        case vk::Space: return "Space";
        case vk::Escape: return "Escape";
        case vk::Shift: return "Shift";
        case vk::Ctrl: return "Ctrl";
        case vk::Alt: return "Alt";
        case vk::Enter: return "Enter";
        case vk::Backspace: return "Backspace";
        case vk::Tab: return "Tab";
        default: return "vk" + std::to_string(vk);
    }
}

int ReactionBin(int32_t ms) { return std::clamp(ms / kReactionBinMs, 0, kReactionBins - 1); }

std::optional<int32_t> HistogramMedianMs(const ReactionHistogram& histogram) {
    int64_t total = 0;
    for (int32_t n : histogram) total += n;
    if (total == 0) return std::nullopt;
    const int64_t middle = (total + 1) / 2;  // the lower median's 1-based position
    int64_t seen = 0;
    for (int bin = 0; bin < kReactionBins; ++bin) {
        seen += histogram[bin];
        if (seen >= middle) return bin * kReactionBinMs + kReactionBinMs / 2;
    }
    return std::nullopt;
}

const char* RunOutcomeName(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Goal: return "goal";
        case RunOutcome::TimeOut: return "time-out";
        case RunOutcome::Escape: return "escape";
        case RunOutcome::WindowClosed: return "closed";
    }
    return "escape";
}

std::optional<RunOutcome> RunOutcomeFromName(std::string_view name) {
    for (RunOutcome o : {RunOutcome::Goal, RunOutcome::TimeOut, RunOutcome::Escape, RunOutcome::WindowClosed}) {
        if (name == RunOutcomeName(o)) return o;
    }
    return std::nullopt;
}

std::string LocalDate(const WallTime& time) {
    // Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
    const int64_t localMs = time.unixMs + int64_t{time.utcOffsetMinutes} * 60000;
    int64_t days = localMs / 86400000;
    if (localMs % 86400000 < 0) --days;
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char text[64];  // room for any int64_t fields, so the compiler can prove no truncation
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(y), static_cast<long long>(m),
                  static_cast<long long>(d));
    return text;
}

std::optional<double> RunSummary::Accuracy() const {
    const int64_t all = int64_t{correctKeys} + wrongKeys;
    if (all <= 0) return std::nullopt;
    return static_cast<double>(correctKeys) / static_cast<double>(all);
}

}  // namespace kelo
