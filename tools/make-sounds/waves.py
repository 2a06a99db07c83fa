"""Designs of the six effects: tap, selection blip, decision, extend fanfare, start
sound and goal fanfare. Bright, clean tones that sit above the music."""

from effects import Effect, hz

REVERB_SMALL = ("reverb", 25, 50, 40, 100, 0, 0)
REVERB_HALL = ("reverb", 45, 50, 70, 100, 10, 0)


def bell(e, start, note, length, level=1.0):
    """A glassy bell: the fundamental with a soft octave and a faint inharmonic shimmer."""
    f = hz(note)
    e.tone(start, length, [("sine", f, 0.62 * level), ("sine", 2 * f, 0.25 * level),
                           ("sine", 3.01 * f, 0.08 * level)], attack=0.002)


def brass(e, start, note, length, level=1.0, release=None):
    """A synth-brass note: sawtooth and square an octave apart, softened above 3.5 kHz."""
    f = hz(note)
    e.tone(start, length, [("sawtooth", f, 0.55 * level), ("square", f / 2, 0.2 * level)], attack=0.012,
           release=release if release is not None else min(0.08, length / 3), shape="q",
           effects=("lowpass", 3500))


def tap(workdir, path):
    """The key tap: a 45 ms tick, a high sine dropping a little in pitch over a breath of
    noise; soft at the top so that hundreds of them in a row do not tire."""
    e = Effect(workdir, "tap")
    e.tone(0, 0.045, [("sine", "1700:1300", 0.7), ("sine", "3400:2600", 0.13)], attack=0.0015)
    e.noise(0, 0.006, 0.25, effects=("highpass", 3000))
    e.render(path, -9, effects=("lowpass", 7000))


def selection(workdir, path):
    """The course-select blip: two quick rising square steps, rounded off."""
    e = Effect(workdir, "sel")
    e.tone(0, 0.05, [("square", hz("E6"), 0.5), ("sine", hz("E6"), 0.3)], attack=0.002, release=0.035)
    e.tone(0.045, 0.075, [("square", hz("B6"), 0.5), ("sine", hz("B6"), 0.3)], attack=0.002, release=0.06)
    e.render(path, -7, effects=("lowpass", 5000))


def decision(workdir, path):
    """The confirming sound: a quick rising major arpeggio of bells ending on a ringing
    top note."""
    e = Effect(workdir, "dec")
    for i, note in enumerate(["C6", "E6", "G6"]):
        bell(e, 0.035 * i, note, 0.16, 0.8)
    bell(e, 0.105, "C7", 0.42)
    e.tone(0.105, 0.3, [("sine", hz("C5"), 0.5)], attack=0.004)
    e.render(path, -4, effects=REVERB_SMALL, tail=0.25)


def extend(workdir, path):
    """Time Extend: a brass run up a G major chord into a held chord with a bell on top."""
    e = Effect(workdir, "extend")
    run = ["G5", "B5", "D6", "G6"]
    for i, note in enumerate(run):
        brass(e, 0.065 * i, note, 0.09, 0.8)
    start = 0.065 * len(run)
    for note in ["G5", "B5", "D6", "G6"]:
        brass(e, start, note, 0.75, 0.5, release=0.45)
    e.tone(start, 0.7, [("sine", hz("G3"), 0.8)], attack=0.01, release=0.5, shape="q")
    bell(e, start, "D7", 0.6, 0.5)
    e.render(path, -3, effects=("tremolo", 7, 12, *REVERB_HALL), tail=0.4)


def start(workdir, path):
    """The start: a rising whoosh into a bright chord hit."""
    e = Effect(workdir, "start")
    e.tone(0, 0.38, [("sine", "220/1760", 0.45), ("triangle", "440/3520", 0.2)], attack=0.25, release=0.06,
           shape="t")
    e.noise(0, 0.4, 0.35, colour="pinknoise", attack=0.3, release=0.08, shape="t", effects=("highpass", 1500))
    for note in ["C5", "G5", "C6", "E6", "G6"]:
        brass(e, 0.38, note, 0.5, 0.45, release=0.4)
    e.tone(0.38, 0.5, [("sine", hz("C3"), 0.8)], attack=0.005, release=0.45)
    e.noise(0.38, 0.35, 0.25, effects=("highpass", 6000))
    e.render(path, -3, effects=REVERB_SMALL, tail=0.25)


def goal(workdir, path):
    """The goal fanfare: three quick calls, a rising answer and a big C major chord with
    a cymbal swell."""
    e = Effect(workdir, "goal")
    beat = 0.13
    calls = [("G5", "E5", 0, 1), ("G5", "E5", 1, 1), ("G5", "E5", 2, 1), ("C6", "G5", 3, 3),
             ("A5", "F5", 6, 1), ("B5", "G5", 7, 1)]
    for top, lower, at, beats in calls:
        brass(e, at * beat, top, beats * beat * 0.92, 0.7)
        brass(e, at * beat, lower, beats * beat * 0.92, 0.45)
    chord_at = 8 * beat
    for note in ["C5", "E5", "G5", "C6", "E6"]:
        brass(e, chord_at, note, 1.5, 0.42, release=1.0)
    e.tone(chord_at, 1.5, [("sine", hz("C3"), 0.7), ("sine", hz("C2"), 0.3)], attack=0.01, release=1.1)
    bell(e, chord_at, "C7", 1.2, 0.45)
    bell(e, chord_at + 0.12, "G7", 0.9, 0.25)
    e.noise(chord_at, 1.4, 0.22, attack=0.005, effects=("highpass", 5000))
    e.render(path, -2, effects=REVERB_HALL, tail=0.5)


EFFECTS = {
    "tap.wav": tap,
    "sel.wav": selection,
    "dec.wav": decision,
    "extend.wav": extend,
    "start.wav": start,
    "goal.wav": goal,
}
