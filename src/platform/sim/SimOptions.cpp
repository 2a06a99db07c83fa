#include "platform/sim/SimOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/common/HistoryStore.h"
#include "platform/common/MessageCatalogue.h"
#include "platform/sim/SimError.h"

namespace kelo {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& problem) { throw SimUsageError(problem); }

template <typename Int>
Int ParseInteger(const std::string& option, const std::string& text, Int low, Int high) {
    Int value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value < low || value > high)
        Fail(option + ": expected a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
             ", not " + QuotedForMessage(text));
    return value;
}

double ParseReal(const std::string& option, const std::string& text) {
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value))
        Fail(option + ": expected a number, not " + QuotedForMessage(text));
    return value;
}

Screen ParseStart(const std::string& text) {
    if (text == "title") return Screen::Title;
    if (text == "select") return Screen::Select;
    if (text == "run") return Screen::Run;
    if (text == "progress") return Screen::Progress;
    Fail("--start: expected title, select, run or progress, not " + QuotedForMessage(text));
}

BotOptions ParseBot(const std::string& text) {
    BotOptions bot;
    const size_t comma = text.find(',');
    bot.keysPerSecond = ParseReal("--bot", text.substr(0, comma));
    if (bot.keysPerSecond <= 0 || bot.keysPerSecond > 1000) Fail("--bot: KPS must be above 0 and at most 1000");
    if (comma != std::string::npos) {
        bot.missChance = ParseReal("--bot", text.substr(comma + 1));
        if (bot.missChance < 0 || bot.missChance > 1) Fail("--bot: MISS must be from 0 to 1");
    }
    return bot;
}

PngFrameChoice ParsePngFrames(const std::string& text) {
    PngFrameChoice choice;
    if (text == "all") return choice;
    if (text.rfind("every:", 0) == 0) {
        choice.mode = PngFrameChoice::Mode::Every;
        choice.every = ParseInteger<int64_t>("--png-frames every:K", text.substr(6), 1, INT64_MAX);
        return choice;
    }
    choice.mode = PngFrameChoice::Mode::List;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');)
        choice.frames.push_back(ParseInteger<int64_t>("--png-frames", item, 1, INT64_MAX));
    if (choice.frames.empty() || text.back() == ',') Fail("--png-frames: expected all, N,M,... or every:K");
    std::sort(choice.frames.begin(), choice.frames.end());
    return choice;
}

// Only a regular file of bounded size is read: a device such as /dev/zero never ends
// and a FIFO without a writer would block the start for ever.
std::vector<ScriptEvent> ReadScriptFile(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::is_directory(status)) Fail("--input: " + QuotedForMessage(path) + " is a folder");
    if (!fs::exists(status)) Fail("--input: cannot read " + QuotedForMessage(path));
    if (!fs::is_regular_file(status)) Fail("--input: " + QuotedForMessage(path) + " is not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("--input: cannot read " + QuotedForMessage(path));
    std::string text(kMostScriptBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) Fail("--input: cannot read " + QuotedForMessage(path));
    if (static_cast<uint64_t>(in.gcount()) > kMostScriptBytes)
        Fail("--input: " + QuotedForMessage(path) + " is larger than " + std::to_string(kMostScriptBytes >> 20) +
             " MiB");
    text.resize(static_cast<size_t>(in.gcount()));
    return ParseScript(text);
}

// Splits "--name=value"; otherwise the value is the next argument.
struct ArgReader {
    const std::vector<std::string>& args;
    size_t next = 0;

    bool Done() const { return next >= args.size(); }
    std::pair<std::string, std::optional<std::string>> NextOption() {
        const std::string& arg = args[next++];
        const size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos)
            return {arg.substr(0, equals), arg.substr(equals + 1)};
        return {arg, std::nullopt};
    }
    bool NextIsOption() const { return !Done() && args[next].rfind("--", 0) == 0; }
    std::string Value(const std::string& option, std::optional<std::string> inline_) {
        if (inline_) return *inline_;
        if (Done()) Fail(option + ": missing value");
        return args[next++];
    }
};

}  // namespace

bool PngFrameChoice::Wants(int64_t frame) const {
    switch (mode) {
        case Mode::All: return true;
        case Mode::Every: return frame % every == 0;
        case Mode::List: return std::binary_search(frames.begin(), frames.end(), frame);
    }
    return false;
}

namespace {

// What the options say, before the script is read and the folders are checked.
struct ParsedArgs {
    SimOptions options;
    std::optional<std::string> inputPath;
    bool pngFramesGiven = false;
    std::vector<std::string> given;  // option names, as given
};

// HISTORY_FILE:RUN_ID or HISTORY_FILE:session:N; the file name may hold colons.
// Whether two paths name one file, also through links and when the first does not exist yet.
bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code ignored;
    if (fs::equivalent(a, b, ignored)) return true;
    std::error_code aError, bError;
    const fs::path aFull = fs::weakly_canonical(a, aError), bFull = fs::weakly_canonical(b, bError);
    return !aError && !bError && aFull == bFull;
}

void ParseReplay(SimOptions& options, const std::string& text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        Fail("--replay: expected HISTORY_FILE:RUN_ID or HISTORY_FILE:session:N, not " + QuotedForMessage(text));
    const int64_t id = ParseInteger<int64_t>("--replay", text.substr(colon + 1), 1, INT64_MAX);
    std::string file = text.substr(0, colon);
    constexpr std::string_view kSession = ":session";
    if (file.size() > kSession.size() && file.ends_with(kSession)) {
        file.resize(file.size() - kSession.size());
        options.replaySessionId = id;
    } else {
        options.replayRunId = id;
    }
    options.replayHistoryPath = file;
}

std::string NonEmptyPath(const std::string& name, const std::string& text) {
    if (text.empty()) Fail(name + ": empty path");
    return text;
}

using OptionSetter = void (*)(ParsedArgs&, const std::string& name, const std::string& value);

const std::map<std::string, OptionSetter>& ValueOptions() {
    static const std::map<std::string, OptionSetter> setters{
        {"--seed",
         [](ParsedArgs& p, auto& n, auto& v) { p.options.seed = ParseInteger<uint32_t>(n, v, 0, UINT32_MAX); }},
        {"--records-dir", [](ParsedArgs& p, auto& n, auto& v) { p.options.recordsDir = NonEmptyPath(n, v); }},
        {"--clock-start",
         [](ParsedArgs& p, auto& n, auto& v) { p.options.clockStart = ParseInteger<uint32_t>(n, v, 0, UINT32_MAX); }},
        {"--frame-cost",
         [](ParsedArgs& p, auto& n, auto& v) { p.options.frameCost = ParseInteger<uint32_t>(n, v, 0, 100000); }},
        {"--frames",
         [](ParsedArgs& p, auto& n, auto& v) { p.options.frames = ParseInteger<int64_t>(n, v, 0, INT64_MAX - 1); }},
        {"--start", [](ParsedArgs& p, auto&, auto& v) { p.options.start = ParseStart(v); }},
        {"--course",
         [](ParsedArgs& p, auto& n, auto& v) { p.options.course = ParseInteger<int>(n, v, 0, kCourseCount - 1); }},
        {"--difficulty", [](ParsedArgs& p, auto& n, auto& v) { p.options.difficulty = ParseInteger<int>(n, v, 0, 1); }},
        {"--input", [](ParsedArgs& p, auto& n, auto& v) { p.inputPath = NonEmptyPath(n, v); }},
        {"--bot", [](ParsedArgs& p, auto&, auto& v) { p.options.bot = ParseBot(v); }},
        {"--runs", [](ParsedArgs& p, auto& n, auto& v) { p.options.runs = ParseInteger<int>(n, v, 1, 1000000); }},
        {"--trace", [](ParsedArgs& p, auto& n, auto& v) { p.options.tracePath = NonEmptyPath(n, v); }},
        {"--sound-log", [](ParsedArgs& p, auto& n, auto& v) { p.options.soundLogPath = NonEmptyPath(n, v); }},
        {"--png", [](ParsedArgs& p, auto& n, auto& v) { p.options.pngDir = NonEmptyPath(n, v); }},
        {"--frame-digests", [](ParsedArgs& p, auto& n, auto& v) { p.options.frameDigestsPath = NonEmptyPath(n, v); }},
        {"--history", [](ParsedArgs& p, auto& n, auto& v) { p.options.historyPath = NonEmptyPath(n, v); }},
        {"--export-history", [](ParsedArgs& p, auto& n, auto& v) { p.options.exportHistoryPath = NonEmptyPath(n, v); }},
        {"--replay", [](ParsedArgs& p, auto&, auto& v) { ParseReplay(p.options, v); }},
        {"--png-frames",
         [](ParsedArgs& p, auto&, auto& v) {
             p.options.pngFrames = ParsePngFrames(v);
             p.pngFramesGiven = true;
         }},
        {"--language",
         [](ParsedArgs& p, auto&, auto& v) {
             if (!IsGameLanguage(v)) Fail("--language: expected ja or en, not " + QuotedForMessage(v));
             p.options.language = v;
         }},
    };
    return setters;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    bool helpRequested = false;
    ArgReader reader{args};
    while (!reader.Done()) {
        auto [name, inlineValue] = reader.NextOption();
        if (name == "--help" || name == "-h") {
            if (inlineValue) Fail(name + " takes no value");
            helpRequested = true;
            continue;
        }
        // KPS may be left out (default 5): `--bot --runs 3`.
        parsed.given.push_back(name);
        if (name == "--bot" && !inlineValue && (reader.Done() || reader.NextIsOption())) {
            parsed.options.bot = BotOptions{};
            continue;
        }
        auto setter = ValueOptions().find(name);
        if (setter == ValueOptions().end()) Fail("unknown option " + QuotedForMessage(name) + " (see --help)");
        setter->second(parsed, name, reader.Value(name, inlineValue));
    }
    if (helpRequested) return CommandLine{{}, true};
    if (parsed.pngFramesGiven && parsed.options.pngDir.empty()) Fail("--png-frames needs --png DIR");
    if (!parsed.options.exportHistoryPath.empty()) {
        if (parsed.options.historyPath.empty()) Fail("--export-history needs --history DB");
        if (!ExportFormatFor(parsed.options.exportHistoryPath) && parsed.options.exportHistoryPath != "-")
            Fail("--export-history: the file name must end in .csv or .json, or be -");
    }
    if (!parsed.options.replayHistoryPath.empty()) {
        // The recording answers everything these would choose.
        for (const char* other : {"--seed", "--clock-start", "--frame-cost", "--frames", "--start", "--course",
                                  "--difficulty", "--input", "--bot", "--runs", "--language", "--export-history"}) {
            if (std::find(parsed.given.begin(), parsed.given.end(), other) != parsed.given.end())
                Fail(std::string("--replay: cannot be combined with ") + other);
        }
        // A replay never writes into the history it reads.
        if (!parsed.options.historyPath.empty() &&
            SameFile(parsed.options.historyPath, parsed.options.replayHistoryPath))
            Fail("--replay: --history must name another database than the one replayed");
    }
    if (parsed.inputPath) parsed.options.script = ReadScriptFile(*parsed.inputPath);
    ValidateOutputPlaces(parsed.options);
    return CommandLine{std::move(parsed.options), false};
}

void ValidateOutputPlaces(const SimOptions& options) {
    std::error_code error;
    if (!fs::is_directory(options.recordsDir, error))
        Fail("--records-dir: " + QuotedForMessage(options.recordsDir) + " is not a folder");
    auto parentExists = [&](const std::string& path) {
        fs::path parent = fs::path(path).parent_path();
        return parent.empty() || fs::is_directory(parent, error);
    };
    for (auto [option, path] :
         {std::pair{"--trace", &options.tracePath}, std::pair{"--sound-log", &options.soundLogPath},
          std::pair{"--frame-digests", &options.frameDigestsPath}}) {
        if (path->empty()) continue;
        if (!parentExists(*path)) Fail(std::string(option) + ": no folder for " + QuotedForMessage(*path));
        if (fs::is_directory(*path, error)) Fail(std::string(option) + ": " + QuotedForMessage(*path) + " is a folder");
    }
    if (!options.pngDir.empty()) {
        bool usable = fs::is_directory(options.pngDir, error) ||
                      (!fs::exists(options.pngDir, error) && parentExists(options.pngDir));
        if (!usable) Fail("--png: cannot use " + QuotedForMessage(options.pngDir) + " as a folder");
    }
}

const char* SimUsageText() {
    return R"(Usage: kelo-sim [options]
Runs Ke-Lo Typing headless from start-up on: a virtual clock, scripted keys, no window,
no sound device. Sound commands are only logged.

  --seed N              seed of the game's random generator (default 1)
  --records-dir DIR     folder of the record file kelodt.hsc (default: current folder)
  --clock-start MS      first reading of the virtual clock (default 100000; wraps at 2^32)
  --frame-cost MS       virtual time each presented frame takes to draw (default 0)
  --frames N            stop when the game calls WaitFrame for the (N+1)-th time
  --start SCREEN        title, select, run or progress: the screen entered after start-up
  --course C            course 0..8 for --start (default 0); the bot also picks it
                        on course select when it is open
  --difficulty D        0 Normal, 1 Hard (default 0), likewise
  --input FILE          key script, one event a line:
                          FRAME down KEY | FRAME up KEY | FRAME tap KEY | FRAME close
                        FRAME counts calls of WaitFrame from 1; # starts a comment.
                        KEY: A-Z 0-9 COMMA PERIOD SPACE ESCAPE LEFT RIGHT UP DOWN SHIFT
                        CTRL ALT ENTER BACKSPACE TAB DELETE or vk:N
  --bot [KPS[,MISS]]    play by itself: Space on the title and course select, during a
                        run at most KPS taps a second on the current targets, each a
                        wrong letter with probability MISS (defaults 5 and 0)
  --runs N              stop once the N-th run has ended and been left
  --trace FILE          JSON lines: a header {"format": N, "game": "VERSION"} (the
                        layout's version and the game's), then one object per
                        presented frame (game state and run values)
  --sound-log FILE      one line per sound command: FRAME<TAB>COMMAND
  --png DIR             save presented frames as DIR/frame-NNNNNN.png
  --png-frames WHICH    all (default), N,M,... or every:K
  --frame-digests FILE  one line per presented frame: FRAME<SPACE>CRC-32 of its pixels
                        (8 hex digits), as the desktop writes to KELO_FRAME_DIGESTS
  --language LANG       ja (default) shows the game's own texts, en their English
                        translations (from locale/ beside kelo-sim or the installed one)
  --history DB          add every run to the run history database DB (made when
                        missing), and the session's recording for --replay; without it
                        no history is kept. With --replay: the replayed runs are added
                        to DB, which must be another database than the one replayed
  --export-history FILE with --history: write DB's runs, key figures and wrong keys
                        to FILE (.csv or .json; - for CSV on standard output) and
                        exit, reading DB only; nothing is simulated
  --replay HISTORY_FILE:RUN_ID
  --replay HISTORY_FILE:session:N
                        play again the recording of one run (its id as the export
                        shows it) or of session N, kept in the history database, and
                        write its frames, sounds and records as the original did;
                        HISTORY_FILE is only read. Takes none of the options that
                        choose what the game does (--seed, --input, --bot, --start, ...)
  --help                this text

Ending: without --frames the simulation ends when the game ends (a close event), when
--runs is reached, or at the latest after 200000 frames plus 20000 for each run asked
with --runs (a note on stderr, exit 3).
When the game waits for a key to change inside a frame (a Space or Escape release, say),
the events of the next scripted frame are delivered at once; if none is left, nothing can
change the key and the simulation ends with a note on stderr and exit code 3.
Every record save that fails is said in one line on stderr; such a run is not in the
record file. A save merges its run into the record file as it finds it, under a lock on
the folder, so simulations saving into one folder at once keep each other's runs. A
record file that does not load whole is kept as kelodt.hsc.damaged-<UTC time> before it
is first replaced, with one line on stderr.
Exit codes: 0 done, 1 no usable font or no catalogue for --language, 2 bad option or
script line (nothing written), 3 stalled or at the safety limit, 4 a record save failed,
5 an output file (--trace, --sound-log, --png, --frame-digests) could not be written
whole (said in one line on stderr), 6 a run history write or export failed (the runs
are kept in memory and go with the next run's write), 7 a replay diverged from its recording or ran out of it,
8 a replay was refused (no such run or session, no recording of it, a damaged
recording, or one made by another version of the game); each said in one line on stderr.
)";
}

}  // namespace kelo
