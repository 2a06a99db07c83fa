#include "platform/common/MessageCatalogue.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef KELO_LOCALE_FROM_BINDIR
#define KELO_LOCALE_FROM_BINDIR "../share/locale"
#endif

namespace kelo {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kMoMagic = 0x950412de;
constexpr std::string_view kDomain = "kelo-typing";
// Far above any catalogue of this game: a larger file is not one of ours.
constexpr std::streamoff kMaxCatalogueBytes = 1 << 20;

uint32_t ReadWord(std::string_view bytes, size_t at, bool swapped) {
    uint32_t word = 0;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    return swapped ? __builtin_bswap32(word) : word;
}

// The string of table entry `index`, or nothing when it lies outside the file.
std::optional<std::string_view> TableString(std::string_view bytes, uint32_t table, uint32_t index, bool swapped) {
    const uint64_t entry = static_cast<uint64_t>(table) + 8ull * index;
    if (entry + 8 > bytes.size()) return std::nullopt;
    const uint32_t length = ReadWord(bytes, entry, swapped), offset = ReadWord(bytes, entry + 4, swapped);
    if (static_cast<uint64_t>(offset) + length >= bytes.size()) return std::nullopt;
    return bytes.substr(offset, length);
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string bytes(static_cast<size_t>(kMaxCatalogueBytes) + 1, '\0');
    file.read(bytes.data(), kMaxCatalogueBytes + 1);
    bytes.resize(static_cast<size_t>(file.gcount()));
    return bytes;
}

}  // namespace

bool IsGameLanguage(std::string_view language) {
    return std::find(std::begin(kLanguages), std::end(kLanguages), language) != std::end(kLanguages);
}

std::optional<MessageCatalogue> MessageCatalogue::Parse(std::string_view bytes, std::string& error) {
    if (bytes.size() < 20) {
        error = "too short for a message catalogue";
        return std::nullopt;
    }
    const bool swapped = ReadWord(bytes, 0, false) != kMoMagic;
    if (ReadWord(bytes, 0, swapped) != kMoMagic || ReadWord(bytes, 4, swapped) >> 16 != 0) {
        error = "not a message catalogue of a known revision";
        return std::nullopt;
    }
    const uint32_t count = ReadWord(bytes, 8, swapped);
    const uint32_t originals = ReadWord(bytes, 12, swapped), translations = ReadWord(bytes, 16, swapped);
    MessageCatalogue catalogue;
    for (uint32_t i = 0; i < count; ++i) {
        const std::optional<std::string_view> original = TableString(bytes, originals, i, swapped);
        const std::optional<std::string_view> translation = TableString(bytes, translations, i, swapped);
        if (!original || !translation) {
            error = "message " + std::to_string(i) + " lies outside the file";
            return std::nullopt;
        }
        // The empty id holds the catalogue's header, not a text of the game.
        if (original->empty() || translation->empty()) continue;
        catalogue.texts_.emplace(std::string(*original), std::string(*translation));
    }
    return catalogue;
}

std::optional<MessageCatalogue> MessageCatalogue::ForLanguage(std::string_view language,
                                                              const std::string& executableDirectory,
                                                              std::string& error) {
    if (language == kOriginalLanguage) return MessageCatalogue();
    const std::vector<std::string> paths = CataloguePaths(language, executableDirectory);
    for (const std::string& path : paths) {
        const std::optional<std::string> bytes = ReadSmallFile(path);
        if (!bytes) continue;
        std::optional<MessageCatalogue> catalogue = Parse(*bytes, error);
        if (!catalogue) error = path + ": " + error;
        return catalogue;
    }
    error = "no catalogue for the language \"" + std::string(language) + "\"";
    if (!paths.empty()) error += " (looked for " + paths.back() + ")";
    return std::nullopt;
}

std::string_view MessageCatalogue::Translate(std::string_view original) const {
    if (texts_.empty()) return original;
    const auto found = texts_.find(std::string(original));
    return found == texts_.end() ? original : std::string_view(found->second);
}

std::vector<std::string> CataloguePaths(std::string_view language, const std::string& executableDirectory) {
    if (executableDirectory.empty()) return {};
    const fs::path file = fs::path(std::string(language)) / "LC_MESSAGES" / (std::string(kDomain) + ".mo");
    const fs::path base(executableDirectory);
    return {(base / "locale" / file).string(), (base / KELO_LOCALE_FROM_BINDIR / file).lexically_normal().string()};
}

std::string ExecutableFolder() {
    char* base = SDL_GetBasePath();
    if (base == nullptr) return "";
    std::string directory(base);
    SDL_free(base);
    return directory;
}

}  // namespace kelo
