"""First background music: a bright D major cruise at 144 beats a minute, square lead
over a bouncing synth bass, pads and a crystal arpeggio; about two minutes, not looped."""

from arrange import play_ending, play_section
from compose import Band, pitch
from smf import DRUM_CHANNEL

BPM = 144

# role: (channel, GM program, volume, pan, reverb, chorus)
PARTS = {
    "lead": (0, 80, 92, 64, 40, 20),     # Lead 1 (square)
    "lead2": (1, 62, 88, 58, 50, 30),    # Synth Brass 1
    "pad": (2, 89, 72, 70, 70, 60),      # Pad 2 (warm)
    "arp": (3, 98, 70, 80, 60, 30),      # FX 3 (crystal)
    "bass": (4, 38, 104, 64, 10, 0),     # Synth Bass 1
    "drums": (DRUM_CHANNEL, 0, 100, 64, 30, 0),
}

VERSE = ["D", "A/C#", "Bm", "G", "D", "A", "G", "A"]

VERSE_TUNE = (
    "A5:1 F#5:.5 A5:.5 D6:1.5 C#6:.5 "
    "B5:.5 A5:.5 E5:1 r:.5 E5:.5 C#6:1 "
    "D6:1 C#6:.5 B5:.5 F#5:1.5 B5:.5 "
    "A5:.5 G5:.5 D5:1 G5:.5 A5:.5 B5:1 "
    "A5:1 F#5:.5 A5:.5 D6:1.5 E6:.5 "
    "F#6:1 E6:.5 C#6:.5 A5:2 "
    "B5:.5 A5:.5 G5:.5 B5:.5 D6:1 G5:1 "
    "A5:3 r:1"
)

VERSE_TUNE_2 = (
    "A5:1 F#5:.5 A5:.5 D6:1.5 C#6:.5 "
    "B5:.5 A5:.5 E5:1 r:.5 E5:.5 C#6:1 "
    "D6:1 C#6:.5 B5:.5 F#5:1.5 B5:.5 "
    "A5:.5 G5:.5 D5:1 G5:.5 A5:.5 B5:1 "
    "A5:1 F#5:.5 A5:.5 D6:1.5 E6:.5 "
    "F#6:1 E6:.5 C#6:.5 A5:2 "
    "B5:.5 C#6:.5 D6:1 E6:.5 D6:.5 B5:1 "
    "E6:1 C#6:1 A5:1.5 r:.5"
)

CLIMB = ["Em", "F#m", "G", "A", "Em", "F#m", "G", "Asus4 A"]

CLIMB_TUNE = (
    "G5:1.5 F#5:.5 E5:1 B4:1 "
    "C#5:1.5 D5:.5 E5:1 F#5:1 "
    "G5:1.5 A5:.5 B5:1 D6:1 "
    "C#6:2 A5:1 E5:1 "
    "G5:1.5 F#5:.5 E5:1 G5:1 "
    "A5:1.5 B5:.5 C#6:1 A5:1 "
    "B5:1 D6:1 G6:1 F#6:.5 E6:.5 "
    "E6:2 r:.5 A5:.5 C#6:.5 E6:.5"
)

CHORUS = ["G", "A", "F#m", "Bm", "G", "A", "D", "D"]

CHORUS_TUNE = (
    "D6:1 B5:.5 D6:.5 G6:1 F#6:.5 E6:.5 "
    "E6:1.5 C#6:.5 A5:1 E6:.5 F#6:.5 "
    "F#6:1 E6:.5 C#6:.5 A5:1 C#6:1 "
    "D6:1.5 C#6:.5 B5:1 F#5:1 "
    "G5:.5 A5:.5 B5:.5 D6:.5 G6:1 F#6:.5 G6:.5 "
    "A6:1.5 G6:.5 F#6:.5 E6:.5 C#6:1 "
    "D6:1 F#6:1 A6:2 "
    "F#6:.5 E6:.5 D6:3"
)

BRIDGE = ["Bm", "G", "D", "A", "Bm", "G", "Em", "A"]

BRIDGE_TUNE = (
    "B5:.75 B5:.75 A5:.5 F#5:1 D5:1 "
    "G5:.75 G5:.75 A5:.5 B5:2 "
    "A5:.75 A5:.75 F#5:.5 D6:1 A5:1 "
    "C#6:.75 B5:.75 A5:.5 E5:2 "
    "B5:.75 D6:.75 F#6:.5 E6:1 D6:1 "
    "D6:.75 B5:.75 G5:.5 B5:2 "
    "E6:.75 D6:.75 B5:.5 G5:1 E5:1 "
    "C#6:1 E6:1 A6:1 r:1"
)

INTRO = ["D", "G", "Em", "A"]
OUTRO = ["G", "A", "Bm", "A"]
OUTRO_TUNE = "B5:1 D6:1 G6:2 A6:1 G6:.5 F#6:.5 E6:2 F#6:1 D6:1 B5:2 C#6:1 E6:1 A6:2"

SECTIONS = [
    dict(chords=INTRO, bass="long", arp="up16", drums="intro", fill="short", level=0.85),
    dict(chords=INTRO, bass="pulse", arp="up16", pad=True, drums="drive", fill="short", crash=True, level=0.9),
    dict(chords=VERSE, melody=VERSE_TUNE, bass="pulse", pad=True, drums="drive", crash=True),
    dict(chords=VERSE, melody=VERSE_TUNE_2, double="lead2", bass="pulse", pad=True, arp="up16", drums="drive",
         fill="short"),
    dict(chords=CLIMB, melody=CLIMB_TUNE, lead="lead2", bass="push", pad=True, drums="half", fill="long",
         crash=True, level=0.92),
    dict(chords=CHORUS, melody=CHORUS_TUNE, bass="drive", pad=True, arp="up16", drums="four", crash=True),
    dict(chords=CHORUS, melody=CHORUS_TUNE, double="lead2", bass="drive", pad=True, arp="up16", drums="four",
         fill="long"),
    dict(chords=BRIDGE, melody=BRIDGE_TUNE, lead="lead2", bass="push", pad=True, arp="up8", drums="ride",
         crash=True, fill="short", level=0.9),
    dict(chords=INTRO, bass="pulse", arp="up16", pad=True, drums="pulse", fill="short", level=0.85),
    dict(chords=VERSE, melody=VERSE_TUNE_2, bass="pulse", pad=True, arp="up8", drums="drive", crash=True),
    dict(chords=CLIMB, melody=CLIMB_TUNE, lead="lead2", bass="push", pad=True, drums="half", fill="long",
         crash=True, level=0.92),
    dict(chords=CHORUS, melody=CHORUS_TUNE, bass="drive", pad=True, arp="up16", drums="four", crash=True),
    dict(chords=CHORUS, melody=CHORUS_TUNE, double="lead2", bass="drive", pad=True, arp="up16", drums="four",
         fill="short", transpose=0),
    dict(chords=OUTRO, melody=OUTRO_TUNE, double="lead2", bass="drive", pad=True, arp="up16", drums="four",
         fill="long", crash=True),
]


def build(path):
    band = Band(BPM, PARTS)
    for section in SECTIONS:
        play_section(band, section)
    play_ending(band, "D", lead_note=pitch("D6"))
    band.save(path)
    return band.position * 60 / BPM
