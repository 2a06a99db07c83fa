// The desktop's command line is told in three places: --help (CommandLine.cpp), the man
// page and the README. --help is the reference; the other two must say the same
// synopsis, and the man page must list the same options, each opening with its line of
// --help.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
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

// --help's options: "  --name [ARG]   text", continued on lines indented further.
std::vector<Option> HelpOptions() {
    static const std::regex optionLine(R"(  (--[a-z-]+)(?: ([A-Z]+))?(?: {2,}(.*))?)");
    std::vector<Option> options;
    for (const std::string& line : Lines(HelpText())) {
        std::smatch m;
        if (std::regex_match(line, m, optionLine)) {
            options.push_back({m[1], m[2], m[3]});
        } else if (!options.empty() && line.starts_with("        ")) {
            std::string& text = options.back().text;
            text += (text.empty() ? "" : " ") + line.substr(line.find_first_not_of(' '));
        } else if (!options.empty()) {
            break;
        }
    }
    return options;
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
        std::vector<std::string> words;
        std::smatch m;
        static const std::regex word(R"re("([^"]*)"|(\S+))re");
        for (; std::regex_search(rest, m, word); rest = m.suffix()) words.push_back(m[1].matched ? m[1] : m[2]);
        for (const std::string& w : words) text += (text.empty() ? "" : separator) + w;
    } else {
        text = line;
    }
    text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
    return std::regex_replace(text, std::regex(R"(\\-)"), "-");
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
