#!/bin/bash
# Two kelo-sim copies saving into one record folder at once, one on course 3 and one on
# course 4, five goal runs each: in every round the file ends with all ten runs, each
# course's five places exactly those the same copy writes when it plays alone, and four
# open courses. KELO_TWO_COPIES_ROUNDS changes the number of rounds (default 3).
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$build/kelo-sim" "$work" "${KELO_TWO_COPIES_ROUNDS:-3}" <<'PY'
import os, subprocess, sys

sim, work, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])

def field(data, index, div9):
    value = 0
    for b in data[6 * index:6 * index + 6]:
        value = value * 10 + ((b - 32) // 9 if div9 else (b - 32) % 10)
    return value

def table(folder):
    """Open courses and the places of a whole record file; raises on any damage."""
    data = open(os.path.join(folder, "kelodt.hsc"), "rb").read()
    assert len(data) == 1362, f"{len(data)} bytes"
    assert field(data, 0, False) == field(data, 226, True), "header and trailer disagree"
    forward, mirror = {}, {}
    for g in range(45):
        c, p = divmod(g, 5)
        forward[c, p] = (field(data, 5 * g + 2, False), field(data, 5 * g + 3, False))
        mirror[8 - c, 4 - p] = (field(data, 5 * g + 4, True), field(data, 5 * g + 5, True))
    assert forward == mirror, "a place's two copies disagree"
    return field(data, 0, False), {c: [forward[c, p] for p in range(5)] for c in range(9)}

def command(folder, course):
    return [sim, "--records-dir", folder, "--start", "run", "--course", str(course), "--bot", "12", "--runs", "5"]

alone = {}
for course in (3, 4):
    folder = os.path.join(work, f"alone-{course}")
    os.mkdir(folder)
    subprocess.run(command(folder, course), check=True)
    alone[course] = table(folder)[1][course]
    assert all(time for time, _ in alone[course]), f"course {course} alone filled fewer than five places"

failures = 0
for n in range(rounds):
    folder = os.path.join(work, f"round-{n}")
    os.mkdir(folder)
    copies = [subprocess.Popen(command(folder, course)) for course in (3, 4)]
    codes = [copy.wait() for copy in copies]
    opened, places = table(folder)
    kept = sum(1 for c in places for time, _ in places[c] if time)
    ok = codes == [0, 0] and places[3] == alone[3] and places[4] == alone[4] and kept == 10 and opened == 4
    print(f"round {n}: exit {codes}, {kept} places kept, {opened} open courses: {'ok' if ok else 'FAILED'}")
    failures += not ok
print(f"{rounds - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
PY
