"""The six wave effects, synthesised with sox from tones, noise and envelopes.

Each effect is a list of notes; every note is rendered to its own temporary file, placed
at its start time with silence in front, and the notes are mixed and levelled. sox runs
in repeatable mode (-R) so noise and dither come out the same on every run.
"""

import os
import subprocess

RATE = 44100


def sox(*args):
    subprocess.run(["sox", "-R", "-V1", *map(str, args)], check=True)


def hz(name):
    """Frequency of a note name such as 'A4' (440 Hz) or 'C#6'."""
    from compose import pitch
    return 440.0 * 2 ** ((pitch(name) - 69) / 12)


class Effect:
    def __init__(self, workdir, name):
        self.workdir = workdir
        self.name = name
        self.parts = []

    def _part(self):
        path = os.path.join(self.workdir, f"{self.name}-{len(self.parts):03d}.wav")
        self.parts.append(path)
        return path

    def tone(self, start, length, partials, attack=0.003, release=None, shape="l", effects=()):
        """A note from (wave, frequency or sweep, level) partials, faded in over `attack`
        and out over `release` (the whole length by default: a percussive decay)."""
        release = length - attack if release is None else release
        layers = []
        for i, (wave, frequency, level) in enumerate(partials):
            layer = os.path.join(self.workdir, f"{self.name}-layer{i}.wav")
            sox("-n", "-r", RATE, "-c", 1, "-b", 16, layer, "synth", length, wave, frequency, "vol", level)
            layers.append(layer)
        path = self._part()
        mix = ["-m", *layers] if len(layers) > 1 else layers
        sox(*mix, path, "vol", len(layers), "fade", shape, attack, length, release, *effects,
            "pad", start)
        return path

    def noise(self, start, length, level, colour="whitenoise", attack=0.001, release=None, shape="l",
              effects=()):
        release = length - attack if release is None else release
        path = self._part()
        sox("-n", "-r", RATE, "-c", 1, "-b", 16, path, "synth", length, colour, "vol", level,
            "fade", shape, attack, length, release, *effects, "pad", start)
        return path

    def render(self, path, peak_db, effects=(), tail=0.0):
        """Mixes the notes, applies the finishing effects (with `tail` seconds of room for
        a reverb to ring out), sets the peak level and closes with a short fade."""
        mix = ["-m", *self.parts] if len(self.parts) > 1 else self.parts
        sox(*mix, "-r", RATE, "-c", 1, "-b", 16, path, "pad", 0, tail, *effects, "gain", "-n", peak_db,
            "reverse", "fade", "q", 0.01 + tail / 2, "reverse")
