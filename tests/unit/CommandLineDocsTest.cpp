// The desktop's command line is told in three places: --help (CommandLine.cpp), the man
// page and the README. --help is the reference; the other two must say the same
// synopsis, and the man page must list the same options, each opening with its line of
// --help.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sdl/CommandLine.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string ReadSource(const std::string& relative) {
    std::ifstream in(fs::path(KELO_SOURCE_DIR) / relative);
    EXPECT_TRUE(in) << "cannot read " << relative;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Option {
    std::string name;      // --scale
    std::string argument;  // N, or empty
    std::string text;      // its help, on one line

    bool operator==(const Option&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Option& o) {
    return out << o.name << (o.argument.empty() ? "" : " " + o.argument) << ": \"" << o.text << "\"";
}

// The characters from `at` on that `accepts` takes, moving `at` past them.
template <typename Accepts>
std::string TakeWhile(const std::string& line, size_t& at, Accepts accepts) {
    const size_t from = at;
    while (at < line.size() && accepts(static_cast<unsigned char>(line[at]))) ++at;
    return line.substr(from, at - from);
}

// "  --name", then " ARG" in capitals, then two or more spaces and the text, the last
// two optional; nothing when the line is not such.
std::optional<Option> OptionLine(const std::string& line) {
    if (!line.starts_with("  --")) return std::nullopt;
    size_t at = 2;
    Option option;
    option.name = TakeWhile(line, at, [](unsigned char c) { return std::islower(c) || c == '-'; });
    if (line.compare(at, 1, " ") == 0 && at + 1 < line.size() && line[at + 1] != ' ') {
        ++at;
        option.argument = TakeWhile(line, at, [](unsigned char c) { return std::isupper(c) || c == '_'; });
        if (option.argument.empty()) return std::nullopt;
    }
    if (at == line.size()) return option;
    if (TakeWhile(line, at, [](unsigned char c) { return c == ' '; }).size() < 2) return std::nullopt;
    option.text = line.substr(at);
    return option;
}

// --help's options: "  --name [ARG]   text", continued on lines indented further.
std::vector<Option> HelpOptions() {
    std::vector<Option> options;
    for (const std::string& line : Lines(HelpText())) {
        if (std::optional<Option> option = OptionLine(line)) {
            options.push_back(*option);
        } else if (!options.empty() && line.starts_with("        ")) {
            std::string& text = options.back().text;
            text += (text.empty() ? "" : " ") + line.substr(line.find_first_not_of(' '));
        } else if (!options.empty()) {
            break;
        }
    }
    return options;
}

// Font changes (\fB, \fI, \fR, \fP) dropped and \- as a hyphen.
std::string WithoutEscapes(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\f") == 0 && i + 2 < text.size() &&
            std::string_view("BIRP").find(text[i + 2]) != std::string_view::npos) {
            i += 2;
        } else if (text.compare(i, 2, "\\-") == 0) {
            plain += '-';
            ++i;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

// One line of man page source as it reads (lines read joined by spaces): a font macro's
// arguments joined, with spaces for .B and .I and without for the alternating ones
// (.BR, .IR, .RB, ...); escapes resolved.
std::string RoffText(const std::string& line) {
    std::string text;
    if (line.starts_with(".")) {
        const std::string macro = line.substr(1, line.find(' ') - 1);
        const std::string separator = macro.size() == 1 ? " " : "";
        std::string rest = line.size() > macro.size() + 1 ? line.substr(macro.size() + 2) : "";
        // Words are quoted ("two words") or end at a space.
        for (size_t at = 0; (at = rest.find_first_not_of(' ', at)) != std::string::npos;) {
            const bool quoted = rest[at] == '"';
            const size_t from = at + (quoted ? 1 : 0);
            size_t end = rest.find(quoted ? '"' : ' ', from);
            if (end == std::string::npos) end = rest.size();
            text += (text.empty() ? "" : separator) + rest.substr(from, end - from);
            at = end + (quoted && end < rest.size() ? 1 : 0);
        }
    } else {
        text = line;
    }
    return WithoutEscapes(text);
}

// The source lines of the section .SH NAME, up to the next section.
std::vector<std::string> ManSection(const std::string& name) {
    std::vector<std::string> section;
    bool inside = false;
    for (const std::string& line : Lines(ReadSource("dist/kelo-typing.6.in"))) {
        if (line.starts_with(".SH ")) {
            if (inside) break;
            inside = line == ".SH " + name;
        } else if (inside) {
            section.push_back(line);
        }
    }
    EXPECT_FALSE(section.empty()) << "no section " << name << " in the man page";
    return section;
}

// The man page's options: .TP, the tag (the option and its argument), then the text.
std::vector<Option> ManOptions() {
    std::vector<Option> options;
    std::vector<std::string> lines = ManSection("OPTIONS");
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != ".TP" || i + 1 == lines.size()) continue;
        std::istringstream tag(RoffText(lines[++i]));
        Option option;
        tag >> option.name >> option.argument;
        while (i + 1 < lines.size() && lines[i + 1] != ".TP") {
            const std::string text = RoffText(lines[++i]);
            if (!text.empty()) option.text += (option.text.empty() ? "" : " ") + text;
        }
        options.push_back(option);
    }
    return options;
}

TEST(CommandLineDocs, HelpManPageAndReadmeShowTheSameSynopsis) {
    const std::string usage = Lines(HelpText()).at(0);
    ASSERT_TRUE(usage.starts_with("Usage: kelo-typing ")) << usage;
    const std::string synopsis = usage.substr(7);

    std::string man;
    for (const std::string& line : ManSection("SYNOPSIS")) {
        if (line == ".br") break;
        man += (man.empty() ? "" : " ") + RoffText(line);
    }
    EXPECT_EQ(man, synopsis) << "the man page's SYNOPSIS";
    EXPECT_NE(ReadSource("README.md").find("`" + synopsis + "`"), std::string::npos)
        << "README.md does not show `" << synopsis << "`";
}

TEST(CommandLineDocs, ManPageListsEveryOptionOpeningWithItsHelpLine) {
    const std::vector<Option> help = HelpOptions();
    ASSERT_GE(help.size(), 7u) << "the options were not found in --help";
    std::vector<Option> man = ManOptions();
    ASSERT_EQ(man.size(), help.size()) << "the man page's OPTIONS and --help list different options";
    for (size_t i = 0; i < help.size(); ++i) {
        Option expected = help[i];
        expected.text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(expected.text[0])));
        expected.text += ".";
        // The man page may say more after the help's line.
        if (man[i].text.starts_with(expected.text)) man[i].text.resize(expected.text.size());
        EXPECT_EQ(man[i], expected) << "man page entry " << i + 1 << " of OPTIONS";
    }
}

}  // namespace
}  // namespace kelo
