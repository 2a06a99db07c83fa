#include <gtest/gtest.h>

#include "sound/SoundCommand.h"

namespace kelo {
namespace {

struct OpenCase {
    const char* command;
    const char* path;
    const char* alias;
    SoundFileKind kind;
};

// Every open command the title screen sends, with the file and alias it must yield.
const OpenCase kOpenCommands[] = {
    {"open snd/tap.wav Alias wavTip", "snd/tap.wav", "wavTip", SoundFileKind::Wave},
    {"open snd/sel.wav Alias wavSel", "snd/sel.wav", "wavSel", SoundFileKind::Wave},
    {"open snd/dec.wav Alias wavDec", "snd/dec.wav", "wavDec", SoundFileKind::Wave},
    {"open snd/extend.wav Alias wavExtend", "snd/extend.wav", "wavExtend", SoundFileKind::Wave},
    {"open snd/start.wav Alias wavGop", "snd/start.wav", "wavGop", SoundFileKind::Wave},
    {"open snd/goal.wav Alias wavGoal", "snd/goal.wav", "wavGoal", SoundFileKind::Wave},
    {"open snd/bgm.mid Alias midBGM1", "snd/bgm.mid", "midBGM1", SoundFileKind::Midi},
    {"open snd/bgm2.mid Alias midBGM2", "snd/bgm2.mid", "midBGM2", SoundFileKind::Midi},
    {"open snd/chime.mid Alias midChime", "snd/chime.mid", "midChime", SoundFileKind::Midi},
};

TEST(SoundCommand, TheGamesOpenCommands) {
    for (const OpenCase& c : kOpenCommands) {
        SCOPED_TRACE(c.command);
        SoundCommand command = ParseSoundCommand(c.command);
        EXPECT_EQ(command.verb, SoundVerb::Open);
        EXPECT_EQ(command.path, c.path);
        EXPECT_EQ(command.alias, c.alias);
        EXPECT_EQ(SoundFileKindOf(command.path), c.kind);
    }
}

TEST(SoundCommand, TheGamesPlayStopAndCloseCommands) {
    SoundCommand effect = ParseSoundCommand("play wavDec notify from 0");
    EXPECT_EQ(effect.verb, SoundVerb::Play);
    EXPECT_EQ(effect.alias, "wavDec");
    EXPECT_TRUE(effect.notify);
    EXPECT_EQ(effect.fromMs, 0u);

    SoundCommand music = ParseSoundCommand("play midBGM2 from 0");
    EXPECT_EQ(music.verb, SoundVerb::Play);
    EXPECT_EQ(music.alias, "midBGM2");
    EXPECT_FALSE(music.notify);
    EXPECT_EQ(music.fromMs, 0u);

    SoundCommand stop = ParseSoundCommand("stop midBGM1");
    EXPECT_EQ(stop.verb, SoundVerb::Stop);
    EXPECT_EQ(stop.alias, "midBGM1");

    SoundCommand close = ParseSoundCommand("close midChime");
    EXPECT_EQ(close.verb, SoundVerb::Close);
    EXPECT_EQ(close.alias, "midChime");
}

TEST(SoundCommand, KeywordsIgnoreCaseButNamesKeepIt) {
    SoundCommand open = ParseSoundCommand("OPEN Snd/Tap.WAV alias WavTip");
    EXPECT_EQ(open.verb, SoundVerb::Open);
    EXPECT_EQ(open.path, "Snd/Tap.WAV");
    EXPECT_EQ(open.alias, "WavTip");
    EXPECT_EQ(SoundFileKindOf(open.path), SoundFileKind::Wave);

    SoundCommand play = ParseSoundCommand("Play wavTip FROM 250 Notify");
    EXPECT_EQ(play.verb, SoundVerb::Play);
    EXPECT_TRUE(play.notify);
    EXPECT_EQ(play.fromMs, 250u);

    EXPECT_TRUE(SameAlias("midBGM1", "MIDbgm1"));
    EXPECT_FALSE(SameAlias("midBGM1", "midBGM2"));
    EXPECT_FALSE(SameAlias("wavTip", "wavTi"));
}

TEST(SoundCommand, BlanksAndQuotedPaths) {
    SoundCommand open = ParseSoundCommand("  open  \"my snd/a b.wav\"\tAlias  wavTip ");
    EXPECT_EQ(open.verb, SoundVerb::Open);
    EXPECT_EQ(open.path, "my snd/a b.wav");
    EXPECT_EQ(open.alias, "wavTip");

    SoundCommand resume = ParseSoundCommand("play midBGM1");
    EXPECT_EQ(resume.verb, SoundVerb::Play);
    EXPECT_FALSE(resume.fromMs.has_value());
}

TEST(SoundCommand, MalformedCommandsAreNothingToDo) {
    const char* const malformed[] = {
        "",
        "   ",
        "play",
        "stop",
        "close",
        "open snd/tap.wav",
        "open snd/tap.wav Alias",
        "open snd/tap.wav As wavTip",
        "open snd/tap.wav Alias wavTip extra",
        "open \"snd/tap.wav Alias wavTip",
        "play wavTip from",
        "play wavTip from zero",
        "play wavTip from -5",
        "play wavTip from 0 from 0",
        "play wavTip notify notify",
        "play wavTip wait",
        "stop midBGM1 now",
        "close wavTip wavSel",
        "pause midBGM1",
        "seek midBGM1 to start",
    };
    for (const char* text : malformed) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(ParseSoundCommand(text).IsNothing());
    }
}

TEST(SoundCommand, FileKindFollowsTheExtension) {
    EXPECT_EQ(SoundFileKindOf("snd/chime.MID"), SoundFileKind::Midi);
    EXPECT_EQ(SoundFileKindOf("snd/song.midi"), SoundFileKind::Midi);
    EXPECT_EQ(SoundFileKindOf("snd/tap.ogg"), SoundFileKind::Unknown);
    EXPECT_EQ(SoundFileKindOf("snd.wav/tap"), SoundFileKind::Unknown);
    EXPECT_EQ(SoundFileKindOf("tap"), SoundFileKind::Unknown);
}

}  // namespace
}  // namespace kelo
