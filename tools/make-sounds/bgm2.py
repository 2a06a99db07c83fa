"""Second background music: a driving F major run at 160 beats a minute, sawtooth lead
over a galloping bass and four-on-the-floor drums, with a minor-key break and a final
chorus a tone higher; a little over two minutes, not looped."""

from arrange import play_ending, play_section
from compose import Band, pitch
from smf import DRUM_CHANNEL

BPM = 160

# role: (channel, GM program, volume, pan, reverb, chorus)
PARTS = {
    "lead": (0, 81, 84, 60, 45, 30),     # Lead 2 (sawtooth)
    "lead2": (1, 87, 80, 70, 50, 20),    # Lead 8 (bass + lead)
    "pad": (2, 90, 70, 56, 70, 60),      # Pad 3 (polysynth)
    "arp": (3, 10, 76, 84, 60, 20),      # Music Box
    "bass": (4, 39, 104, 64, 10, 0),     # Synth Bass 2
    "drums": (DRUM_CHANNEL, 0, 104, 64, 30, 0),
}

INTRO = ["Dm", "Bb", "C", "C"]

VERSE = ["Dm", "Bb", "C", "F", "Dm", "Bb", "C", "C"]

VERSE_TUNE = (
    "D5:.5 F5:.5 A5:1 G5:.5 F5:.5 A5:1 "
    "Bb5:1 A5:.5 F5:.5 D5:2 "
    "E5:.5 G5:.5 C6:1 Bb5:.5 A5:.5 G5:1 "
    "A5:2 F5:.5 G5:.5 A5:.5 C6:.5 "
    "D6:1.5 C6:.5 A5:1 F5:1 "
    "Bb5:.5 C6:.5 D6:1 F6:1 D6:1 "
    "E6:1.5 D6:.5 C6:1 G5:1 "
    "C6:2 Bb5:1 G5:1"
)

VERSE_TUNE_2 = VERSE_TUNE.rsplit("E6:1.5", 1)[0] + "E6:1 F6:.5 E6:.5 D6:1 C6:1 G6:2 E6:1 C6:1"

CHORUS = ["Bb", "C", "Am", "Dm", "Gm", "C", "F", "F"]

CHORUS_TUNE = (
    "F6:1 D6:.5 Bb5:.5 F6:1 G6:.5 F6:.5 "
    "E6:1.5 C6:.5 G5:1 C6:1 "
    "C6:1 E6:1 A6:1 G6:.5 E6:.5 "
    "F6:1.5 E6:.5 D6:1 A5:1 "
    "Bb5:.5 D6:.5 G6:1 F6:.5 D6:.5 Bb5:1 "
    "C6:.5 E6:.5 G6:1 E6:1 C6:1 "
    "F6:1.5 E6:.5 F6:1 A6:1 "
    "F6:3 r:1"
)

BREAK = ["Dm", "C", "Bb", "A", "Dm", "C", "Bb", "A"]

BREAK_TUNE = (
    "A5:1.5 D6:.5 F6:1 E6:1 "
    "E6:1.5 G5:.5 C6:1 E6:1 "
    "D6:1.5 F5:.5 Bb5:1 D6:1 "
    "C#6:2 E6:1 A5:1 "
    "F6:1.5 E6:.5 D6:1 A5:1 "
    "G5:.5 A5:.5 C6:1 E6:1 G6:1 "
    "F6:1.5 D6:.5 Bb5:1 D6:1 "
    "E6:2 C#6:1 A5:1"
)

OUTRO = ["Bb", "C", "Bb", "C"]
OUTRO_TUNE = "F6:1 D6:1 Bb5:2 C6:1 E6:1 G6:2 F6:1 D6:1 Bb5:1 D6:1 E6:2 G6:2"

UP = 2  # the last choruses, a whole tone higher

SECTIONS = [
    dict(chords=INTRO, bass="gallop", arp="up16", drums="pulse", level=0.85),
    dict(chords=INTRO, bass="gallop", arp="up16", pad=True, drums="four", fill="short", crash=True, level=0.9),
    dict(chords=VERSE, melody=VERSE_TUNE, bass="gallop", pad=True, drums="drive", crash=True),
    dict(chords=VERSE, melody=VERSE_TUNE_2, double="lead2", bass="gallop", pad=True, arp="up16", drums="drive",
         fill="long"),
    dict(chords=CHORUS, melody=CHORUS_TUNE, bass="drive", pad=True, arp="up16", drums="four", crash=True),
    dict(chords=CHORUS, melody=CHORUS_TUNE, double="lead2", bass="drive", pad=True, arp="up16", drums="four",
         fill="long"),
    dict(chords=BREAK, melody=BREAK_TUNE, lead="lead2", bass="push", pad=True, drums="half", crash=True,
         level=0.9),
    dict(chords=BREAK, melody=BREAK_TUNE, lead="lead", bass="push", pad=True, arp="up8", drums="ride",
         fill="long", level=0.95),
    dict(chords=VERSE, melody=VERSE_TUNE_2, bass="gallop", pad=True, arp="up16", drums="drive", crash=True,
         fill="short"),
    dict(chords=CHORUS, melody=CHORUS_TUNE, bass="drive", pad=True, arp="up16", drums="four", crash=True,
         transpose=UP),
    dict(chords=CHORUS, melody=CHORUS_TUNE, double="lead2", bass="drive", pad=True, arp="up16", drums="four",
         fill="short", transpose=UP),
    dict(chords=OUTRO, melody=OUTRO_TUNE, double="lead2", bass="gallop", pad=True, arp="up16", drums="four",
         fill="long", crash=True, transpose=UP),
]


def build(path):
    band = Band(BPM, PARTS)
    for section in SECTIONS:
        play_section(band, section)
    play_ending(band, "F", transpose=UP, lead_note=pitch("F6"))
    band.save(path)
    return band.position * 60 / BPM
