"""The "Ready...." chime: a glockenspiel run up a C major chord to a ringing top note
over a vibraphone chord; about three seconds with its ring."""

from compose import Band, pitch
from smf import DRUM_CHANNEL

BPM = 140

PARTS = {
    "glock": (0, 9, 127, 70, 60, 20),    # Glockenspiel
    "celesta": (1, 8, 120, 56, 60, 20),  # Celesta
    "vibes": (2, 11, 112, 64, 70, 30),   # Vibraphone
    "pad": (3, 88, 90, 64, 80, 60),      # Pad 1 (new age)
    "bass": (4, 33, 120, 64, 20, 0),     # Electric Bass (finger)
    "drums": (DRUM_CHANNEL, 0, 110, 64, 50, 0),
}

OPEN_TRIANGLE, SPLASH = 81, 55

RUN = [("G5", 0, 0.5), ("C6", 0.5, 0.5), ("E6", 1, 0.5), ("G6", 1.5, 0.5), ("E6", 2, 0.5), ("G6", 2.5, 0.5),
       ("C7", 3, 2)]


def build(path):
    band = Band(BPM, PARTS)
    for note, at, beats in RUN:
        band.play("glock", at, beats, pitch(note), 108 if at < 3 else 124)
        band.play("celesta", at, beats, pitch(note) - 12, 84)
    for note in ["C5", "E5", "G5", "B5"]:
        band.play("pad", 0, 5, pitch(note), 52)
    for note in ["E5", "G5", "C6"]:
        band.play("vibes", 3, 2, pitch(note), 84)
    band.play("bass", 3, 2, pitch("C3"), 96)
    band.play("drums", 3, 1, OPEN_TRIANGLE, 80)
    band.play("drums", 3, 1, SPLASH, 56)
    band.advance(5 / 4)
    band.save(path)
    return band.position * 60 / BPM
