"""Arranging helpers: note names, chord symbols, melody strings and accompaniment
patterns, laid out section by section on a small band of General MIDI channels."""

import re

from smf import DRUM_CHANNEL, Track, write

NOTE_OFFSETS = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}

CHORD_SHAPES = {
    "": (0, 4, 7),
    "m": (0, 3, 7),
    "7": (0, 4, 7, 10),
    "m7": (0, 3, 7, 10),
    "maj7": (0, 4, 7, 11),
    "sus4": (0, 5, 7),
    "sus2": (0, 2, 7),
    "add9": (0, 4, 7, 14),
}

# General MIDI percussion keys.
KICK, SNARE, CLAP, CLOSED_HAT, PEDAL_HAT, OPEN_HAT = 36, 38, 39, 42, 44, 46
LOW_TOM, MID_TOM, HIGH_TOM, CRASH, RIDE, SPLASH, TAMBOURINE = 45, 47, 50, 49, 51, 55, 54

BEATS_PER_BAR = 4


def pitch(name):
    """'C4' is middle C (60); sharps with '#', flats with 'b'."""
    match = re.fullmatch(r"([A-G])([#b]?)(-?\d)", name)
    if not match:
        raise ValueError(f"bad note name {name!r}")
    letter, accidental, octave = match.groups()
    value = NOTE_OFFSETS[letter] + (12 * (int(octave) + 1))
    return value + (1 if accidental == "#" else -1 if accidental == "b" else 0)


def melody(text):
    """'A5:1 F#5:.5 r:.5' -> [(pitch or None, beats), ...]."""
    notes = []
    for word in text.split():
        name, beats = word.split(":")
        notes.append((None if name == "r" else pitch(name), float(beats)))
    return notes


def chord_tones(symbol):
    """Pitch classes of a chord symbol such as 'F#m', 'Bb', 'A7', 'Gsus4', 'D/F#'."""
    body, _, over = symbol.partition("/")
    match = re.fullmatch(r"([A-G][#b]?)(.*)", body)
    if not match or match.group(2) not in CHORD_SHAPES:
        raise ValueError(f"bad chord {symbol!r}")
    root = pitch(match.group(1) + "0") % 12
    tones = [(root + step) % 12 for step in CHORD_SHAPES[match.group(2)]]
    bass = pitch(over + "0") % 12 if over else root
    return bass, tones


def nearest_voicing(tones, previous, low=55, high=74):
    """Close-position voicing that moves least from the previous one. Four-note chords
    leave out the root, which the bass plays."""
    core = tones[:3] if len(tones) == 3 else tones[1:4]
    best, best_cost = None, None
    for base in range(low, high - 7):
        candidate = sorted(_place_above(base, pc) for pc in core)
        if candidate[-1] > high:
            continue
        if previous:
            cost = sum(abs(a - b) for a, b in zip(candidate, previous))
        else:
            cost = abs(candidate[0] - 60)
        if best_cost is None or cost < best_cost:
            best, best_cost = candidate, cost
    return best


def _place_above(base, pitch_class):
    return base + (pitch_class - base) % 12


def bass_root(pitch_class, low=36):
    return _place_above(low, pitch_class)


class Band:
    """One channel per part; parts are written section by section at a running offset."""

    def __init__(self, bpm, parts):
        self.bpm = bpm
        self.conductor = Track("conductor")
        self.conductor.tempo(0, bpm)
        self.conductor.time_signature(0, 4, 2)
        self.tracks = {}
        for role, (channel, program, volume, pan, reverb, chorus) in parts.items():
            track = Track(role)
            if channel != DRUM_CHANNEL:
                track.program(0, channel, program)
            track.control(0, channel, 7, volume)
            track.control(0, channel, 10, pan)
            track.control(0, channel, 91, reverb)
            track.control(0, channel, 93, chorus)
            self.tracks[role] = (track, channel)
        self.position = 0.0
        self.pad_voicing = None

    def play(self, role, start, length, note, velocity):
        track, channel = self.tracks[role]
        track.note(self.position + start, length, channel, note, velocity)

    def program_change(self, role, program):
        track, channel = self.tracks[role]
        track.program(self.position, channel, program)

    def advance(self, bars):
        self.position += bars * BEATS_PER_BAR

    def save(self, path):
        write(path, [self.conductor] + [track for track, _ in self.tracks.values()])
