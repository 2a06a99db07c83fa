#!/bin/bash
# Crash safety of the run history: kelo-sim plays fast runs in a loop, adding each to
# the database, and is killed with SIGKILL at 50 random moments. After every kill the
# database opens, PRAGMA integrity_check is ok, and it holds no fewer runs than before.
# KELO_CRASH_KILLS changes the number of kills.
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$build/kelo-sim" "$work" "${KELO_CRASH_KILLS:-50}" <<'PY'
import os, random, signal, sqlite3, subprocess, sys, time

sim, folder, kills = sys.argv[1], sys.argv[2], int(sys.argv[3])
db = os.path.join(folder, "history.sqlite3")
env = dict(os.environ, ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0")

def command(seed):
    return [sim, "--records-dir", folder, "--history", db, "--bot", "1000", "--runs", "1000", "--seed", str(seed)]

# Kill moments spread over the time about five runs take, so they fall before, during
# and between the writes.
started = time.monotonic()
subprocess.run(command(0)[:-4] + ["--runs", "5"], check=True, stdout=subprocess.DEVNULL, env=env)
window = min(max(time.monotonic() - started, 0.2), 1.0)

rng = random.Random(int(os.environ.get("KELO_CRASH_SEED", time.time())))
before = 5
rises = 0
for kill in range(1, kills + 1):
    game = subprocess.Popen(command(kill), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    time.sleep(rng.uniform(0, window))
    game.send_signal(signal.SIGKILL)
    _, err = game.communicate()
    if game.returncode != -signal.SIGKILL:
        sys.exit(f"kill {kill}: kelo-sim ended by itself with {game.returncode}: {err.decode(errors='replace')}")
    try:
        con = sqlite3.connect(db)
        check = con.execute("PRAGMA integrity_check").fetchall()
        runs = con.execute("SELECT count(*) FROM runs").fetchone()[0]
        keyless = con.execute("SELECT count(*) FROM runs WHERE run_id NOT IN (SELECT run_id FROM run_keys)").fetchone()[0]
        con.close()
    except sqlite3.Error as error:
        sys.exit(f"kill {kill}: the database does not open: {error}")
    if check != [("ok",)]:
        sys.exit(f"kill {kill}: integrity_check says {check}")
    if runs < before:
        sys.exit(f"kill {kill}: {runs} runs kept, {before} before")
    if keyless:
        sys.exit(f"kill {kill}: {keyless} runs without their key rows")
    damaged = [n for n in os.listdir(folder) if ".damaged-" in n]
    if damaged:
        sys.exit(f"kill {kill}: a file was moved aside as damaged: {damaged}")
    rises += runs != before
    before = runs
print(f"history_crash: ok: {kills} kills within {window:.2f} s of the start, {before} runs kept, "
      f"the count rose {rises} times")
PY
