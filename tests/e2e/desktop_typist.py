"""Types a run of course 1 into the real game window with XTest key events, reading the
letters off the window (needs python3-xlib, an X server and the window at zoom 1).

  desktop_typist.py TITLE SECONDS SHAPES [STOP_FILE]

Each hand's next letter is the one large white glyph in its column; the hand whose turn
it is shows it low, in the band. A glyph unlike any seen before is found by trying the
hand's letters in turn, the likeliest first: a right key sends the hand's next letter in from the top of its
column, a wrong one leaves the glyph where it is. Every thirtieth letter also gets one wrong
key first. The letters learnt are kept in the file SHAPES (JSON) for the next call.
Without STOP_FILE, typing stops once every letter of course 1 is known (exit 0); with it,
when STOP_FILE's bytes change (the record file, at the goal). After SECONDS, or once the
letters are gone (the run is over), it gives up (exit 1). Prints how many keys were right and wrong.
"""
import json
import os
import sys
import time

from Xlib import X, XK, display
from Xlib.ext import xtest

HANDS = (("F", "A", "S", "D", "G"), ("J", "H", "K", "L"))
COLUMNS = ((50, 150), (150, 250))
WHITE = b"\xff\xff\xff"
GRID = 6
GONE = 12
LETTER_HEIGHT = (40, 50)
MATCH = 12
# The letter whose turn it is stands this much lower (its centre's y) than the other. One
# above ARRIVING has just come in at the top; a wrong key only shakes a letter.
AHEAD = 30
ARRIVING = 70


def window_named(disp, title):
    root = disp.screen().root
    for child in root.query_tree().children:
        for window in [child] + list(child.query_tree().children):
            try:
                if window.get_wm_name() == title and window.get_attributes().map_state == X.IsViewable:
                    return window
            except Exception:
                continue
    return None


def glyph(data, width, columns):
    """The largest group of nearby white pixels in the columns, as (a coarse picture of
    it, its centre y). Nearby reaches over one row: the band blackens every other row."""
    white = set()
    first, end = columns
    for y in range(300):
        row = data[(y * width + first) * 4:(y * width + end) * 4]
        at = row.find(WHITE)
        while at >= 0:
            if at % 4 == 0:
                white.add((first + at // 4, y))
            at = row.find(WHITE, at + 1)
    best = []
    while white:
        todo, group = [white.pop()], []
        while todo:
            x, y = todo.pop()
            group.append((x, y))
            for dx in (-1, 0, 1):
                for dy in (-2, -1, 0, 1, 2):
                    if (x + dx, y + dy) in white:
                        white.remove((x + dx, y + dy))
                        todo.append((x + dx, y + dy))
        if len(group) > len(best):
            best = group
    if len(best) < 40:  # stars, not a letter
        return None
    left, right = min(x for x, _ in best), max(x for x, _ in best) + 1
    top, bottom = min(y for _, y in best), max(y for _, y in best) + 1
    # A line across the column, or a letter cut at the top or run into a sign, is none.
    if not (LETTER_HEIGHT[0] <= bottom - top <= LETTER_HEIGHT[1] and right - left <= 60):
        return None
    cells = set((GRID * (x - left) // (right - left), GRID * (y - top) // (bottom - top)) for x, y in best)
    return (right - left, bottom - top, frozenset(cells)), (top + bottom) / 2


def distance(a, b):
    return abs(a[0] - b[0]) + abs(a[1] - b[1]) + 3 * len(a[2] ^ b[2])


def read(window):
    left, right = COLUMNS[0][0], COLUMNS[-1][1]
    data = window.get_image(left, 0, right - left, 300, X.ZPixmap, 0xFFFFFFFF).data
    return [glyph(data, right - left, (first - left, end - left)) for first, end in COLUMNS]


def main(title, seconds, shapes_file, stop_file):
    disp = display.Display()
    window = window_named(disp, title)
    if window is None:
        print(f"no window named {title!r}")
        return 1
    window.set_input_focus(X.RevertToParent, X.CurrentTime)
    disp.sync()
    def file_bytes():
        return open(stop_file, "rb").read() if stop_file else None

    start_bytes = file_bytes()
    keycodes = {name: disp.keysym_to_keycode(XK.string_to_keysym(name.lower())) for hand in HANDS for name in hand}
    learnt = ([], [])  # per hand: (coarse picture, key)
    if os.path.exists(shapes_file):
        for hand, key, width, height, cells in json.load(open(shapes_file)):
            learnt[hand].append(((width, height, frozenset(map(tuple, cells))), key))

    def done():
        if stop_file:
            return file_bytes() != start_bytes
        return all({key for _, key in learnt[hand]} == set(HANDS[hand]) for hand in (0, 1))
    tried = set()  # keys found wrong for the letter waiting now
    right = wrong = 0
    deadline = time.monotonic() + seconds

    def tap(name):
        xtest.fake_input(disp, X.KeyPress, keycodes[name])
        disp.sync()
        time.sleep(0.01)
        xtest.fake_input(disp, X.KeyRelease, keycodes[name])
        disp.sync()

    def ranked(hand, shape):
        """The hand's keys, the likeliest first: by the nearest picture learnt for each."""
        def score(key):
            return min((distance(shape, known) for known, k in learnt[hand] if k == key), default=1000)
        return sorted(HANDS[hand], key=score), min(map(score, HANDS[hand]))

    last_seen = time.monotonic()
    heads = None  # a look at both columns still current, from a key's check
    while time.monotonic() < deadline and not done():
        heads = heads or read(window)
        if None in heads or abs(heads[0][1] - heads[1][1]) < AHEAD:
            # No letters for a while after some were typed: the run is over (near the line
            # no letters come, and the craft coasts over it).
            if right and time.monotonic() - last_seen > GONE:
                break
            time.sleep(0.01)
            heads = None
            continue
        last_seen = time.monotonic()
        hand = 0 if heads[0][1] > heads[1][1] else 1
        shape = heads[hand][0]
        keys, nearest = ranked(hand, shape)
        keys = [k for k in keys if k not in tried] or keys
        if right % 30 == 29 and not tried and nearest <= MATCH:
            # A wrong key on purpose: known to be wrong, it needs no look.
            tap(keys[1])
            tried.add(keys[1])
            wrong += 1
            time.sleep(0.04)
            heads = None
            continue
        key = keys[0]
        tap(key)
        # A right key sends the hand's next letter in from the top of its column.
        taken = False
        until = time.monotonic() + 0.6
        heads = None
        while not taken and time.monotonic() < until:
            now = read(window)
            taken = now[hand] is not None and now[hand][1] < ARRIVING
            if taken:
                heads = now
            else:
                time.sleep(0.005)
        if taken:
            if nearest > MATCH:
                learnt[hand].append((shape, key))
            tried.clear()
            right += 1
        else:
            tried.add(key)
            wrong += 1
    json.dump([[hand, key, shape[0], shape[1], sorted(shape[2])] for hand in (0, 1) for shape, key in learnt[hand]],
              open(shapes_file, "w"))
    print(f"right={right} wrong={wrong} shapes={len(learnt[0]) + len(learnt[1])}")
    return 0 if done() else 1


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1], float(sys.argv[2]), sys.argv[3], sys.argv[4] if len(sys.argv) == 5 else None))
