#!/bin/bash
# Replays in kelo-sim: a session recorded with --history (title, course select, two bot
# runs with misses) played again whole and run by run gives the original's PNGs, trace
# lines, sound log lines and record file bytes; the history read is left as it was; a
# missing, damaged, foreign-version or cut-short recording stops with its exit code.
set -u
build=$1
sim="$build/kelo-sim"
work=$(mktemp -d)
trap "rm -rf \"$work\"" EXIT
fail() { echo "FAIL: $*"; exit 1; }
db="$work/h.sqlite3"

# OUT [options...]: a session's outputs in $work/OUT.
play() {
    local out=$work/$1; shift
    mkdir -p "$out/rec"
    "$sim" --records-dir "$out/rec" --trace "$out/t.jsonl" --sound-log "$out/s.log" --png "$out/png" \
        --png-frames every:5 "$@"
}
play orig --seed 5 --bot 7,0.25 --runs 2 --history "$db" || fail "recording exited $?"
# The record file as the first run left it: the same session stopped after one run.
play first --seed 5 --bot 7,0.25 --runs 1 || fail "one-run session exited $?"
before=$(md5sum <"$db")

play session --replay "$db:session:1" --history "$work/replayed.sqlite3" || fail "session replay exited $?"
diff -r "$work/orig" "$work/session" >/dev/null || fail "the session's replay differs from the original"
for history in "$db" "$work/replayed.sqlite3"; do
    "$sim" --history "$history" --export-history "$history.csv" || fail "export of $history exited $?"
done
cmp -s "$db.csv" "$work/replayed.sqlite3.csv" || fail "the replay's history rows differ from the original's"

runs=$(sqlite3 "$db" 'SELECT run_id FROM replay_runs ORDER BY run_id' | tr '\n' ' ')
[ "$runs" = "1 2 " ] || fail "recorded runs are '$runs', not '1 2 '"
for run in 1 2; do
    play "run$run" --replay "$db:$run" || fail "run $run's replay exited $?"
done
cmp -s "$work/first/rec/kelodt.hsc" "$work/run1/rec/kelodt.hsc" || fail "run 1's replay saves other records"
cmp -s "$work/orig/rec/kelodt.hsc" "$work/run2/rec/kelodt.hsc" || fail "run 2's replay saves other records"
python3 - "$work" <<'PY' || exit 1
import filecmp, json, os, sys
work = sys.argv[1]
def fail(msg):
    print("FAIL:", msg); sys.exit(1)
# After the header line, one line per frame.
def frames_of(path):
    lines = open(path).read().splitlines()
    return lines[0], lines[1:]
orig_header, orig_trace = frames_of(f"{work}/orig/t.jsonl")
orig_sound = open(f"{work}/orig/s.log").read().splitlines()
spans = []
for run in (1, 2):
    d = f"{work}/run{run}"
    header, trace = frames_of(f"{d}/t.jsonl")
    if header != orig_header:
        fail(f"run {run}: trace header {header} is not the original's")
    first, last = json.loads(trace[0])["frame"], json.loads(trace[-1])["frame"]
    spans.append((first, last))
    if trace != [l for l in orig_trace if first <= json.loads(l)["frame"] <= last]:
        fail(f"run {run}: trace differs from the original's frames {first}..{last}")
    # A run sends sounds before its first frame and after its last (the same frame
    # numbers as course select's): its log is one unbroken stretch of the original's
    # that holds every command between those frames.
    sound = open(f"{d}/s.log").read().splitlines()
    inside = [i for i, l in enumerate(orig_sound) if first < int(l.split("\t")[0]) < last]
    at = [i for i in range(len(orig_sound)) if orig_sound[i:i + len(sound)] == sound]
    if not sound or len(at) != 1 or inside[0] < at[0] or inside[-1] >= at[0] + len(sound):
        fail(f"run {run}: sound log differs from the original's")
    pngs = sorted(os.listdir(f"{d}/png"))
    want = sorted(p for p in os.listdir(f"{work}/orig/png") if first <= int(p[6:12]) <= last)
    if pngs != want or not pngs:
        fail(f"run {run}: other PNG frames than the original's")
    for p in pngs:
        if not filecmp.cmp(f"{d}/png/{p}", f"{work}/orig/png/{p}", shallow=False):
            fail(f"run {run}: {p} differs")
# Each run's replay covers its run screen from its first frame to the hand-over.
if spans[0][0] >= spans[1][0] or spans[0][1] >= spans[1][0]:
    fail(f"run spans overlap: {spans}")
screens = {json.loads(l)["frame"]: json.loads(l)["screen"] for l in orig_trace}
for first, last in spans:
    if screens.get(first) != "run" or screens.get(first - 1) == "run":
        fail(f"a run's replay does not start at its run's first frame ({first})")
PY
# A reader of a WAL database leaves an empty -wal and an index (-shm) beside it, nothing more.
[ "$(md5sum <"$db")" = "$before" ] && [ ! -s "$db-wal" ] || fail "a replay wrote into the history it read"

# Refusals (8) and divergence (7), each said in one line.
expect() {  # EXIT-CODE REPLAY-ARGUMENT WHAT
    local err=$work/err.txt
    "$sim" --records-dir "$work/first/rec" --replay "$2" 2>"$err"
    local code=$?
    [ $code -eq "$1" ] || fail "$3: exit $code, not $1"
    [ "$(wc -l <"$err")" -eq 1 ] || fail "$3: not one line on stderr: $(cat "$err")"
}
expect 8 "$db:99" "a run without a recording"
expect 8 "$db:session:9" "no such session"
expect 8 "$work/none.sqlite3:1" "no history file"
[ ! -e "$work/none.sqlite3" ] || fail "a replay made a history file"
"$sim" --records-dir "$work/first/rec" --replay "$db:1" --history "$work/../$(basename "$work")/h.sqlite3" 2>/dev/null
[ $? -eq 2 ] || fail "a replay was let write into the history it reads"

# Doctored copies: another game version, damaged bytes, a run cut short.
doctor() {  # NAME PYTHON-EXPRESSION-ON-raw
    cp "$db" "$work/$1.sqlite3"
    python3 - "$work/$1.sqlite3" "$2" <<'PY'
import sqlite3, sys, zlib
db = sqlite3.connect(sys.argv[1])
(data,) = db.execute("SELECT data FROM replay_segments WHERE session_id = 1 AND segment = 2").fetchone()
raw = zlib.decompress(data)
def var(at):  # a varint's value and the offset after it
    value = shift = 0
    while True:
        value |= (raw[at] & 0x7f) << shift
        shift += 7
        at += 1
        if raw[at - 1] < 0x80:
            return value, at
def records_start():  # after magic, format, version, index, frame count, kind, snapshot
    at = var(4)[1]
    n, at = var(at)
    at = var(var(at + n)[1])[1]
    n, at = var(at + 1)
    return at + n
raw = eval(sys.argv[2])
db.execute("UPDATE replay_segments SET data = ? WHERE session_id = 1 AND segment = 2", (zlib.compress(raw),))
db.commit()
PY
}
doctor version "raw[:5] + bytes([3]) + b'0.1' + raw[6 + raw[5]:]"  # magic, format, then the version
expect 8 "$work/version.sqlite3:2" "another game version"
doctor damaged "raw[:10]"
expect 8 "$work/damaged.sqlite3:2" "a damaged segment"
doctor short "raw[:(records_start() + len(raw)) // 2]"
expect 7 "$work/short.sqlite3:2" "a recording that runs out"
grep -q "runs out" "$work/err.txt" || fail "running out is not said: $(cat "$work/err.txt")"
# The run's first call made a frame wait: the game asks for something else there.
doctor other "raw[:records_start()] + bytes([1 if raw[records_start()] != 1 else 2]) + raw[records_start() + 1:]"
expect 7 "$work/other.sqlite3:2" "a call that disagrees"
grep -q "the game asks for" "$work/err.txt" || fail "the disagreement is not said: $(cat "$work/err.txt")"
echo "replay_sim: ok"
