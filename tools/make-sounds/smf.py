"""Standard MIDI File (format 1) writer.

Times are in beats (quarter notes) as floats; they are converted to ticks when the file
is written, so a piece can be described with plain fractions of a beat.
"""

import struct

TICKS_PER_BEAT = 480
DRUM_CHANNEL = 9  # General MIDI channel 10


def _variable_length(value):
    """MIDI variable-length quantity: 7 bits per byte, high bit set on all but the last."""
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append((value & 0x7F) | 0x80)
        value >>= 7
    return bytes(reversed(out))


def _ticks(beats):
    return int(round(beats * TICKS_PER_BEAT))


class Track:
    def __init__(self, name):
        self.events = []  # (tick, order, bytes); order keeps note-offs before note-ons
        self.meta(0, 0x03, name.encode("ascii"))

    def _add(self, beats, order, data):
        self.events.append((_ticks(beats), order, bytes(data)))

    def meta(self, beats, kind, payload):
        self._add(beats, 0, bytes([0xFF, kind]) + _variable_length(len(payload)) + payload)

    def tempo(self, beats, bpm):
        microseconds = int(round(60_000_000 / bpm))
        self.meta(beats, 0x51, microseconds.to_bytes(3, "big"))

    def time_signature(self, beats, numerator, denominator_power):
        self.meta(beats, 0x58, bytes([numerator, denominator_power, 24, 8]))

    def program(self, beats, channel, program):
        self._add(beats, 1, [0xC0 | channel, program])

    def control(self, beats, channel, controller, value):
        self._add(beats, 1, [0xB0 | channel, controller, value])

    def note(self, beats, length, channel, pitch, velocity):
        if not 0 <= pitch <= 127:
            raise ValueError(f"pitch {pitch} out of range")
        velocity = max(1, min(127, int(round(velocity))))
        self._add(beats, 3, [0x90 | channel, pitch, velocity])
        # Released a hair early so that repeated notes of one pitch never overlap.
        self._add(beats + max(length - 0.02, 0.01), 2, [0x80 | channel, pitch, 0])

    def encode(self):
        body = bytearray()
        last = 0
        for tick, _, data in sorted(self.events, key=lambda e: (e[0], e[1])):
            body += _variable_length(tick - last) + data
            last = tick
        body += _variable_length(0) + bytes([0xFF, 0x2F, 0x00])
        return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


def write(path, tracks):
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS_PER_BEAT)
    with open(path, "wb") as out:
        out.write(header)
        for track in tracks:
            out.write(track.encode())
