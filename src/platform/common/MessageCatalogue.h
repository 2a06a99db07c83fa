#pragma once
// The game's texts in another language: a gettext catalogue (.mo, compiled by msgfmt
// from po/<language>.po) whose message ids are the original Japanese texts. Read here
// rather than through libintl, whose choice of language follows the process's locale;
// the player's choice must work whatever the locale is, "C" included.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelo {

// The languages the game speaks: the original, which needs no catalogue, comes first.
inline constexpr std::string_view kOriginalLanguage = "ja";
inline constexpr std::string_view kLanguages[] = {"ja", "en"};

bool IsGameLanguage(std::string_view language);

class MessageCatalogue {
public:
    // An empty catalogue: every text stays as it is.
    MessageCatalogue() = default;
    // The catalogue in the bytes of a .mo file, or nothing with a reason in `error`.
    static std::optional<MessageCatalogue> Parse(std::string_view bytes, std::string& error);
    // The catalogue of `language` for a game whose executable is in `executableDirectory`
    // (see CataloguePaths); the original language needs none and gives an empty one.
    // Nothing, with a one-line reason in `error`, when no file can be read.
    static std::optional<MessageCatalogue> ForLanguage(std::string_view language,
                                                       const std::string& executableDirectory, std::string& error);

    // The translation of `original`, or `original` itself when the catalogue has none.
    // A returned translation lives as long as the catalogue.
    std::string_view Translate(std::string_view original) const;
    size_t Size() const { return texts_.size(); }

private:
    std::unordered_map<std::string, std::string> texts_;
};

// Where the catalogue of `language` may be, in order: locale/ beside the executable (the
// build folder, a portable copy), then the installed locale folder found relative to it.
std::vector<std::string> CataloguePaths(std::string_view language, const std::string& executableDirectory);

// The folder of the running executable, or "" when unknown.
std::string ExecutableFolder();

}  // namespace kelo
