#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "FrontEndHarness.h"
#include "GameLoop.h"
#include "platform/common/MessageCatalogue.h"
#include "run/RunDisplay.h"
#include "screens/SelectScreen.h"
#include "screens/TitleScreen.h"

namespace kelo {
namespace {

// The front-end harness speaking the language of a catalogue.
class TranslatingPlatform : public test::FrontEndPlatform {
public:
    explicit TranslatingPlatform(MessageCatalogue catalogue) : catalogue_(std::move(catalogue)) {}
    std::string_view Translate(std::string_view original) override { return catalogue_.Translate(original); }

private:
    MessageCatalogue catalogue_;
};

// Outside ASCII, only the arrows and the bullet may stay in an English text.
bool IsEnglish(std::string text) {
    for (const char* kept : {"↑", "↓", "・"}) {
        for (size_t at; (at = text.find(kept)) != std::string::npos;) text.erase(at, std::string(kept).size());
    }
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

MessageCatalogue BuiltCatalogue(std::string_view language) {
    std::string error;
    std::optional<MessageCatalogue> catalogue = MessageCatalogue::ForLanguage(language, KELO_BINARY_DIR, error);
    EXPECT_TRUE(catalogue) << error;
    return catalogue.value_or(MessageCatalogue());
}

// Every text of the title, of course select for every course cleared, and of the five
// ranks of a result is English; in Japanese the same screens show the originals.
TEST(MessageCatalogue, TheEnglishCatalogueLeavesNoJapaneseOnTheScreens) {
    for (const std::string_view language : {"en", "ja"}) {
        TranslatingPlatform platform(BuiltCatalogue(language));
        Game game(platform);
        ASSERT_TRUE(Form_Load(game));
        game.state.openCourses = kCourseCount;
        game.state.clearMark.fill(ClearMark::ClearedOnHard);
        platform.Press(30, vk::Space);
        for (int c = 0; c < kCourseCount; ++c) platform.Hold(60 + 10 * c, 62 + 10 * c, vk::Right);
        platform.CloseAt(160);
        ASSERT_EQ(TitleScreen(game), Screen::Select);
        SelectScreen(game);
        for (uint8_t rank = 1; rank <= 5; ++rank) {
            game.run.newRank = rank;
            game.run.endTimer = 200;
            DrawResultPanel(game);
            game.PresentFrame();
        }

        int japanese = 0;
        for (const auto& texts : platform.presentedTexts) {
            for (const std::string& text : texts) {
                if (language == "en") {
                    EXPECT_TRUE(IsEnglish(text)) << text;
                }
                japanese += !IsEnglish(text);
            }
        }
        if (language == "ja") {
            EXPECT_GT(japanese, 0);
        }
    }
}

TEST(MessageCatalogue, DamagedFilesAreRefusedWithAReason) {
    std::ifstream file(std::string(KELO_BINARY_DIR) + "/locale/en/LC_MESSAGES/kelo-typing.mo", std::ios::binary);
    std::stringstream read;
    read << file.rdbuf();
    const std::string good = read.str();
    std::string error;
    ASSERT_TRUE(MessageCatalogue::Parse(good, error)) << error;
    EXPECT_GT(MessageCatalogue::Parse(good, error)->Size(), 10u);

    std::string badMagic = good, pastTheEnd = good;
    badMagic[0] = 'X';
    pastTheEnd[16] = '\xff';  // the translations' table moves far past the end
    for (const std::string& bytes : {good.substr(0, 12), badMagic, pastTheEnd, good.substr(0, good.size() - 8)}) {
        error.clear();
        EXPECT_FALSE(MessageCatalogue::Parse(bytes, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(MessageCatalogue, OnlyALanguageWithoutACatalogueFails) {
    std::string error;
    EXPECT_EQ(MessageCatalogue::ForLanguage("ja", "/nonexistent", error)->Size(), 0u);
    EXPECT_FALSE(MessageCatalogue::ForLanguage("en", "/nonexistent", error));
    EXPECT_NE(error.find("en"), std::string::npos);
}

}  // namespace
}  // namespace kelo
