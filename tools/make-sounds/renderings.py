"""Renders the MIDI pieces ahead of time: each .mid is synthesised by the game's own
live path (the built kelo-render-music: FluidSynth with the mixer's rate, gain, reverb,
chorus and tail) with the FluidR3_GM soundfont of Debian's fluid-soundfont-gm, and
encoded to Ogg Vorbis by oggenc (libvorbis). The rendering carries the SHA-256 digest of
the .mid it was made from, so the game plays it only for exactly that file.

FluidR3_GM is under the MIT licence, so the renderings ship under the game's own terms.
"""

import hashlib
import os
import shutil
import subprocess
import sys

SOUNDFONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
QUALITY = 4  # about 128 kbit/s: indistinguishable from the synthesis at game volume
SERIAL = 1  # a fixed stream serial number keeps the output the same on every run
DIGEST_COMMENT = "KELO_MIDI_SHA256"


def find_renderer(root):
    renderer = os.environ.get("KELO_RENDER_MUSIC", os.path.join(root, "build", "kelo-render-music"))
    if not os.access(renderer, os.X_OK):
        sys.exit(f"{renderer} not found: build it first (cmake --build build --target kelo-render-music), "
                 "or name it in KELO_RENDER_MUSIC")
    return renderer


def check_tools():
    if not os.path.isfile(SOUNDFONT):
        sys.exit(f"{SOUNDFONT} not found: install fluid-soundfont-gm")
    if not shutil.which("oggenc"):
        sys.exit("oggenc not found: install vorbis-tools")


def render(renderer, midi_path, ogg_path):
    """Writes the rendering of `midi_path` to `ogg_path`; returns its length in seconds."""
    with open(midi_path, "rb") as midi:
        digest = hashlib.sha256(midi.read()).hexdigest()
    pcm = subprocess.run([renderer, SOUNDFONT, midi_path], check=True, stdout=subprocess.PIPE).stdout
    subprocess.run(["oggenc", "--quiet", "--raw", "--raw-bits=16", "--raw-chan=2", "--raw-rate=44100",
                    "--raw-endianness=0", f"--quality={QUALITY}", f"--serial={SERIAL}",
                    f"--comment={DIGEST_COMMENT}={digest}", "--output", ogg_path, "-"],
                   input=pcm, check=True)
    return len(pcm) / 4 / 44100
