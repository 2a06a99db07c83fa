"""Accompaniment patterns and the section renderer shared by the pieces.

A section is a dict:
  chords   one entry per bar; an entry may hold two chords ("G A"), half a bar each
  melody   melody string for the lead (optional), exactly as long as the section
  lead     role that plays the melody (default "lead")
  double   role that doubles the melody an octave lower (optional)
  bass, drums, arp, pad   pattern names (see below; None leaves the part out)
  fill     "short" or "long": a drum fill closing the section
  crash    cymbal on the first beat
  level    velocity scale, 1.0 by default
  transpose  semitones added to chords and melody
"""

from compose import (BEATS_PER_BAR, CLAP, CLOSED_HAT, CRASH, HIGH_TOM, KICK, LOW_TOM, MID_TOM,
                     OPEN_HAT, PEDAL_HAT, RIDE, SNARE, SPLASH, TAMBOURINE, bass_root, chord_tones,
                     melody, nearest_voicing)


def chord_spans(chords):
    """[(start beat, length, symbol)] for per-bar chord entries."""
    spans = []
    for bar, entry in enumerate(chords):
        symbols = entry.split()
        length = BEATS_PER_BAR / len(symbols)
        for i, symbol in enumerate(symbols):
            spans.append((bar * BEATS_PER_BAR + i * length, length, symbol))
    return spans


def accent(beat_in_bar):
    """Velocity factor: downbeats strongest, off-beats softest."""
    if beat_in_bar % BEATS_PER_BAR == 0:
        return 1.0
    if beat_in_bar % 2 == 0:
        return 0.93
    if beat_in_bar % 1 == 0:
        return 0.88
    return 0.78


def grid(start, length, step):
    t = 0.0
    while t < length - 1e-9:
        yield start + t
        t += step


# ---- bass -------------------------------------------------------------------------------

def bass_pattern(name, start, length, root):
    """(beat, beats, pitch, base velocity) notes of one chord span."""
    if name == "long":
        return [(start, length, root, 92)]
    if name == "pulse":  # root and octave bouncing on eighths
        return [(t, 0.45, root + (12 if round((t - start) * 2) % 2 else 0), 96) for t in grid(start, length, 0.5)]
    if name == "drive":  # straight eighths, the last one of each span on the fifth
        notes = [(t, 0.45, root, 98) for t in grid(start, length, 0.5)]
        if len(notes) > 1:
            notes[-1] = (notes[-1][0], 0.45, root + 7, 92)
        return notes
    if name == "gallop":  # eighth and two sixteenths per beat
        notes = []
        for beat in grid(start, length, 1.0):
            notes += [(beat, 0.45, root, 100), (beat + 0.5, 0.22, root, 84), (beat + 0.75, 0.22, root + 12, 88)]
        return notes
    if name == "push":  # 3 + 3 + 2 eighths
        notes = []
        for bar_start in grid(start, length, BEATS_PER_BAR):
            span = min(BEATS_PER_BAR, start + length - bar_start)
            for offset, beats, interval in ((0, 1.4, 0), (1.5, 1.4, 0), (3, 0.45, 12), (3.5, 0.45, 7)):
                if offset < span:
                    notes.append((bar_start + offset, beats, root + interval, 100))
        return notes
    raise ValueError(f"unknown bass pattern {name!r}")


# ---- drums ------------------------------------------------------------------------------

DRUM_BARS = {
    "intro": [(KICK, 0, 100), (KICK, 2, 90)] + [(CLOSED_HAT, t / 2, 60) for t in range(8)],
    "drive": [(KICK, 0, 112), (KICK, 2, 104), (KICK, 2.5, 92), (SNARE, 1, 104), (SNARE, 3, 108)]
             + [(CLOSED_HAT, t / 2, 70) for t in range(7)] + [(OPEN_HAT, 3.5, 72)],
    "four": [(KICK, t, 112) for t in range(4)] + [(SNARE, 1, 100), (SNARE, 3, 104), (CLAP, 1, 80), (CLAP, 3, 84)]
            + [(OPEN_HAT, t + 0.5, 66) for t in range(4)] + [(CLOSED_HAT, t / 4, 48) for t in range(16) if t % 2 == 0],
    "half": [(KICK, 0, 108), (KICK, 2.5, 90), (SNARE, 2, 100)] + [(RIDE, t, 70) for t in range(4)]
            + [(PEDAL_HAT, t + 0.5, 50) for t in range(4)],
    "ride": [(KICK, 0, 100), (KICK, 1.5, 84), (SNARE, 1, 96), (SNARE, 3, 100)]
            + [(RIDE, t / 2, 64) for t in range(8)] + [(TAMBOURINE, t + 0.5, 50) for t in range(4)],
    "pulse": [(KICK, 0, 96)] + [(CLOSED_HAT, t / 4, 44 + (12 if t % 4 == 0 else 0)) for t in range(16)],
}


def drum_fill(kind):
    """Notes replacing the end of a section's last bar: (key, beat in bar, velocity)."""
    if kind == "short":
        return [(SNARE, 3 + t / 4, 76 + 8 * t) for t in range(4)] + [(KICK, 3, 100)]
    if kind == "long":
        toms = [HIGH_TOM, HIGH_TOM, MID_TOM, MID_TOM, LOW_TOM, LOW_TOM, SNARE, SNARE]
        notes = [(SNARE, 2 + t / 4, 70 + 4 * t) for t in range(4)]
        notes += [(tom, 3 + t / 8 * 1.0, 90 + 3 * t) for t, tom in enumerate(toms)]
        return notes + [(KICK, 2, 100), (KICK, 3, 104)]
    raise ValueError(f"unknown fill {kind!r}")


def play_drums(band, section, bars, level):
    pattern = section.get("drums")
    fill = section.get("fill")
    for bar in range(bars):
        notes = list(DRUM_BARS[pattern]) if pattern else []
        if fill and bar == bars - 1:
            fill_notes = drum_fill(fill)
            fill_start = min(beat for _, beat, _ in fill_notes)
            notes = [n for n in notes if n[1] < fill_start] + fill_notes
        if bar == 0 and section.get("crash"):
            notes = [n for n in notes if n[0] not in (CLOSED_HAT, OPEN_HAT) or n[1] > 0] + [(CRASH, 0, 108)]
        for key, beat, velocity in notes:
            length = 1.0 if key in (CRASH, SPLASH, OPEN_HAT) else 0.25
            band.play("drums", bar * BEATS_PER_BAR + beat, length, key, velocity * level)


# ---- harmony ----------------------------------------------------------------------------

def play_pad(band, spans, level, transpose):
    for start, length, symbol in spans:
        _, tones = chord_tones(symbol)
        tones = [(pc + transpose) % 12 for pc in tones]
        band.pad_voicing = nearest_voicing(tones, band.pad_voicing)
        for note in band.pad_voicing:
            band.play("pad", start, length - 0.05, note, 62 * level)


def arp_notes(tones, low=72):
    """Chord tones spread upwards over two octaves from `low`."""
    first = sorted(low + (pc - low) % 12 for pc in tones[:3])
    return first + [n + 12 for n in first]


def play_arp(band, name, spans, level, transpose):
    step = {"up16": 0.25, "up8": 0.5}[name]
    for start, length, symbol in spans:
        _, tones = chord_tones(symbol)
        notes = arp_notes([(pc + transpose) % 12 for pc in tones])
        order = notes + notes[-2:0:-1]  # up and back down
        for i, t in enumerate(grid(start, length, step)):
            band.play("arp", t, step * 0.9, order[i % len(order)], 58 * level * accent(t))


def play_bass(band, name, spans, level, transpose):
    for start, length, symbol in spans:
        bass_pc, _ = chord_tones(symbol)
        root = bass_root((bass_pc + transpose) % 12)
        for t, beats, note, velocity in bass_pattern(name, start, length, root):
            band.play("bass", t, beats, note, velocity * level * accent(t))


def play_melody(band, section, bars, level, transpose):
    notes = melody(section["melody"])
    total = sum(beats for _, beats in notes)
    if abs(total - bars * BEATS_PER_BAR) > 1e-6:
        raise ValueError(f"melody lasts {total} beats, section {bars * BEATS_PER_BAR}: {section['melody'][:30]}")
    lead = section.get("lead", "lead")
    double = section.get("double")
    t = 0.0
    for note, beats in notes:
        if note is not None:
            velocity = 100 * level * (0.9 + 0.1 * accent(t))
            band.play(lead, t, beats * 0.95, note + transpose, velocity)
            if double:
                band.play(double, t, beats * 0.95, note + transpose - 12, velocity * 0.8)
        t += beats


def play_section(band, section):
    bars = len(section["chords"])
    spans = chord_spans(section["chords"])
    level = section.get("level", 1.0)
    transpose = section.get("transpose", 0)
    if section.get("melody"):
        play_melody(band, section, bars, level, transpose)
    if section.get("bass"):
        play_bass(band, section["bass"], spans, level, transpose)
    if section.get("pad"):
        play_pad(band, spans, level, transpose)
    if section.get("arp"):
        play_arp(band, section["arp"], spans, level, transpose)
    play_drums(band, section, bars, level)
    band.advance(bars)


def play_ending(band, symbol, transpose=0, lead_note=None):
    """A final chord struck on the downbeat and left to ring for a bar."""
    bass_pc, tones = chord_tones(symbol)
    tones = [(pc + transpose) % 12 for pc in tones]
    band.pad_voicing = nearest_voicing(tones, band.pad_voicing)
    for note in band.pad_voicing:
        band.play("pad", 0, 3.5, note, 70)
    band.play("bass", 0, 3, bass_root((bass_pc + transpose) % 12), 104)
    if lead_note is not None:
        band.play("lead", 0, 3, lead_note + transpose, 104)
    for key, velocity in ((KICK, 116), (CRASH, 112), (SPLASH, 80)):
        band.play("drums", 0, 2.0, key, velocity)
    band.advance(1)
