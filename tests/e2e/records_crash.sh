#!/bin/bash
# Crash safety of the record file: kelo-sim plays and saves in a loop and is killed with
# SIGKILL at 200 random moments. After every kill the file is absent (when it was before)
# or exactly 1362 bytes that decode with every copy in agreement, it holds no fewer runs
# than before, and at most one temporary file lies beside it.
# KELO_CRASH_KILLS changes the number of kills.
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$build/kelo-sim" "$work" "${KELO_CRASH_KILLS:-200}" <<'PY'
import os, random, signal, subprocess, sys, time

sim, folder, kills = sys.argv[1], sys.argv[2], int(sys.argv[3])
record = os.path.join(folder, "kelodt.hsc")

def field(data, index, div9):
    value = 0
    for b in data[6 * index:6 * index + 6]:
        value = value * 10 + ((b - 32) // 9 if div9 else (b - 32) % 10)
    return value

def runs_in(data):
    """Filled places of a whole, consistent record file; raises on any damage."""
    assert len(data) == 1362, f"{len(data)} bytes"
    assert all(32 <= b <= 121 for b in data), "byte outside 32..121"
    assert field(data, 0, False) == field(data, 226, True), "header and trailer disagree"
    forward, mirror = {}, {}
    for g in range(45):
        c, p = divmod(g, 5)
        forward[c, p] = (field(data, 5 * g + 2, False), field(data, 5 * g + 3, False))
        mirror[8 - c, 4 - p] = (field(data, 5 * g + 4, True), field(data, 5 * g + 5, True))
    assert forward == mirror, "a place's two copies disagree"
    return sum(1 for time_, _ in forward.values() if time_ != 0)

# Kill moments spread over about the time two runs take on this build and machine, so
# they fall before, during and after the goal saves alike.
started = time.monotonic()
scratch = os.path.join(folder, "scratch")
os.mkdir(scratch)
subprocess.run([sim, "--records-dir", scratch, "--bot", "1000", "--runs", "2"], check=True,
               stdout=subprocess.DEVNULL, env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0"))
window = min(max(time.monotonic() - started, 0.2), 0.6)
for name in os.listdir(scratch):
    os.remove(os.path.join(scratch, name))
os.rmdir(scratch)

rng = random.Random(int(os.environ.get("KELO_CRASH_SEED", time.time())))
env = dict(os.environ, ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0")
before = None  # runs in the file, None while there is no file
saves_seen = 0
for kill in range(1, kills + 1):
    course = rng.randrange(2)
    game = subprocess.Popen([sim, "--records-dir", folder, "--bot", "1000", "--course", str(course),
                             "--seed", str(kill)], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    time.sleep(rng.uniform(0, window))
    game.send_signal(signal.SIGKILL)
    _, err = game.communicate()
    if game.returncode != -signal.SIGKILL:
        sys.exit(f"kill {kill}: kelo-sim ended by itself with {game.returncode}: {err.decode(errors='replace')}")
    temporaries = [n for n in os.listdir(folder) if n.startswith("kelodt.hsc.tmp-")]
    if len(temporaries) > 1:
        sys.exit(f"kill {kill}: {len(temporaries)} temporary files: {temporaries}")
    if not os.path.exists(record):
        if before is not None:
            sys.exit(f"kill {kill}: the record file is gone")
        continue
    try:
        runs = runs_in(open(record, "rb").read())
    except AssertionError as damage:
        sys.exit(f"kill {kill}: damaged record file: {damage}")
    if before is not None and runs < before:
        sys.exit(f"kill {kill}: {runs} runs recorded, {before} before")
    saves_seen += runs != before
    before = runs
print(f"records_crash: ok: {kills} kills within {window:.2f} s of the start, {before} runs recorded, "
      f"the count rose {saves_seen} times")
PY
