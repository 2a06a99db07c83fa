// Recorded sessions played again. Each key script in tests/golden/runs names the kelo-sim
// options it was recorded with; its trace, the pixels of every frame it showed and its
// sound log must hash to the digests stored beside it, so that a change meant to keep
// the game's behaviour shows that it did. The pixels are hashed decoded, so a change of
// the PNG encoder alone does not touch them, and the trace after its header, so a new
// version number alone does not either.
//
// After a deliberate change, from the build folder:
//   KELO_UPDATE_GOLDENS=1 ./tests/kelo_unit_tests --gtest_filter='GoldenRuns.*'

#include <gtest/gtest.h>
#include <sha2.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/common/Png.h"
#include "platform/sim/SimOptions.h"
#include "platform/sim/SimTrace.h"
#include "platform/sim/Simulation.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

const fs::path kRunsDir = fs::path(KELO_SOURCE_DIR) / "tests" / "golden" / "runs";
const fs::path kDigestFile = kRunsDir / "digests.txt";
constexpr const char* kArgsPrefix = "# kelo-sim ";
constexpr std::array<const char*, 3> kOutputs = {"trace", "pixels", "sounds"};
using Digests = std::array<std::string, 3>;  // in the order of kOutputs

class Sha256 {
public:
    Sha256() { SHA256Init(&context_); }
    void Add(const void* data, size_t size) { SHA256Update(&context_, static_cast<const uint8_t*>(data), size); }
    std::string Hex() {
        char hex[SHA256_DIGEST_STRING_LENGTH];
        return SHA256End(&context_, hex);
    }

private:
    SHA2_CTX context_;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string HashText(std::string_view text) {
    Sha256 sha;
    sha.Add(text.data(), text.size());
    return sha.Hex();
}

// Every frame's pixels as red, green, blue bytes, checked with CRC-32 (a frame is far
// too much to hash with SHA-256 in the time a test may take), and the frames' checks in
// frame order hashed with SHA-256; empty when a frame does not read.
std::string HashPixels(const fs::path& pngDir) {
    std::vector<fs::path> frames;
    for (const fs::directory_entry& entry : fs::directory_iterator(pngDir)) frames.push_back(entry.path());
    std::sort(frames.begin(), frames.end());
    Sha256 sha;
    std::vector<uint8_t> rgb;
    for (const fs::path& frame : frames) {
        const std::optional<Image> image = LoadPng(frame.string());
        if (!image) return "";
        rgb.clear();
        for (Colour c : image->Pixels()) {
            rgb.push_back(static_cast<uint8_t>(RedOf(c)));
            rgb.push_back(static_cast<uint8_t>(GreenOf(c)));
            rgb.push_back(static_cast<uint8_t>(BlueOf(c)));
        }
        const uint32_t check = static_cast<uint32_t>(crc32(0L, rgb.data(), static_cast<uInt>(rgb.size())));
        const uint8_t bytes[4] = {static_cast<uint8_t>(check >> 24), static_cast<uint8_t>(check >> 16),
                                  static_cast<uint8_t>(check >> 8), static_cast<uint8_t>(check)};
        sha.Add(bytes, sizeof bytes);
    }
    return sha.Hex();
}

// NAME TRACE PIXELS SOUNDS a line; # starts a comment line.
std::map<std::string, Digests> ReadDigests() {
    std::map<std::string, Digests> digests;
    std::ifstream in(kDigestFile);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name;
        Digests d;
        fields >> name >> d[0] >> d[1] >> d[2];
        digests[name] = d;
    }
    return digests;
}

void WriteDigests(const std::map<std::string, Digests>& digests) {
    std::ofstream out(kDigestFile, std::ios::binary | std::ios::trunc);
    out << "# Each recording's SHA-256 digests: its trace after the header line; its frames'\n"
           "# pixels (each decoded PNG's red, green, blue bytes as CRC-32, in frame order); its\n"
           "# sound log. Made from the build folder by\n"
           "# KELO_UPDATE_GOLDENS=1 ./tests/kelo_unit_tests --gtest_filter='GoldenRuns.*'\n";
    for (const auto& [name, d] : digests) out << name << ' ' << d[0] << ' ' << d[1] << ' ' << d[2] << '\n';
    ASSERT_TRUE(out.flush()) << "cannot write " << kDigestFile;
}

// The kelo-sim options of a recording, from its line starting "# kelo-sim ".
std::vector<std::string> RecordedArgs(const fs::path& script) {
    std::ifstream in(script);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with(kArgsPrefix)) continue;
        std::istringstream words(line.substr(std::string_view(kArgsPrefix).size()));
        return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
    }
    return {};
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// Plays one recording with its outputs in `out`; the digests, or a failure.
Digests Play(const fs::path& script, const fs::path& out) {
    const std::vector<std::string> recorded = RecordedArgs(script);
    EXPECT_FALSE(recorded.empty()) << script << " has no line starting \"" << kArgsPrefix << "\"";
    fs::remove_all(out);
    fs::create_directories(out / "records");
    std::vector<std::string> args = recorded;
    args.insert(args.end(),
                {"--input", script.string(), "--records-dir", (out / "records").string(), "--trace",
                 (out / "trace").string(), "--sound-log", (out / "sounds").string(), "--png", (out / "png").string()});
    const SimResult result = RunSimulation(ParseCommandLine(args).options);
    EXPECT_EQ(result.exitCode, 0) << script.filename() << ": " << result.message << result.outputError;

    const std::string trace = ReadFile(out / "trace");
    const size_t headerEnd = trace.find('\n');
    EXPECT_EQ(trace.substr(0, headerEnd), TraceHeader()) << script.filename() << ": the trace's first line";
    return {HashText(std::string_view(trace).substr(headerEnd == std::string::npos ? trace.size() : headerEnd + 1)),
            HashPixels(out / "png"), HashText(ReadFile(out / "sounds"))};
}

TEST(GoldenRuns, EveryRecordingPlaysAsRecorded) {
    const bool update = std::getenv("KELO_UPDATE_GOLDENS") != nullptr;
    const std::map<std::string, Digests> stored = ReadDigests();
    std::map<std::string, Digests> played;
    for (const fs::directory_entry& entry : fs::directory_iterator(kRunsDir))
        if (entry.path().extension() == ".keys") played[entry.path().stem().string()] = {};
    ASSERT_GE(played.size(), 9u) << "recordings missing from " << kRunsDir;

    for (auto& [name, digests] : played) {
        const fs::path script = kRunsDir / (name + ".keys");
        const fs::path out = fs::path(KELO_BINARY_DIR) / "golden-runs" / name;
        digests = Play(script, out);
        if (update) {
            fs::remove_all(out);
            continue;
        }
        const auto expected = stored.find(name);
        if (expected == stored.end()) {
            ADD_FAILURE() << name << ": no digests in " << kDigestFile << " (KELO_UPDATE_GOLDENS=1 adds them)";
            continue;
        }
        std::string differ;
        for (size_t i = 0; i < kOutputs.size(); ++i)
            if (digests[i] != expected->second[i]) differ += (differ.empty() ? "" : ", ") + std::string(kOutputs[i]);
        if (differ.empty()) {
            fs::remove_all(out);
            continue;
        }
        ADD_FAILURE() << name << ": " << differ << " differ from the recording. Its outputs are in " << out
                      << "; compare them with another build's: kelo-sim " << Joined(RecordedArgs(script)) << " --input "
                      << script.string()
                      << " --trace FILE --sound-log FILE --png DIR. A deliberate change: KELO_UPDATE_GOLDENS=1.";
    }
    // An update drops the digests of a recording removed; a recording that did not play
    // through leaves the stored digests as they are.
    if (update && !::testing::Test::HasFailure()) WriteDigests(played);
    for (const auto& [name, digests] : stored)
        if (!update && !played.contains(name))
            ADD_FAILURE() << name << ": digests in " << kDigestFile << " but no " << name << ".keys";
}

}  // namespace
}  // namespace kelo
