#!/bin/bash
# The run history kept by kelo-sim: keeping it changes no output (trace, sound log, PNGs,
# record file); its per-key figures agree with a recount from the trace; the export
# (CSV and JSON) holds every run; the sqlite3 client opens the file as it is.
set -u
build=$1
sim="$build/kelo-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

for mode in off on; do
    mkdir -p "$work/$mode/png"
    extra=()
    [ $mode = on ] && extra=(--history "$work/h.sqlite3")
    "$sim" --bot 7,0.2 --runs 3 --seed 11 --course 1 --records-dir "$work/$mode" --trace "$work/$mode/t.jsonl" \
        --sound-log "$work/$mode/s.log" --png "$work/$mode/png" --png-frames every:97 "${extra[@]}" ||
        fail "bot run with history $mode exited $?"
done
diff -r "$work/off" "$work/on" >/dev/null || fail "outputs differ with the history kept"
[ "$(sqlite3 "$work/h.sqlite3" 'PRAGMA integrity_check; PRAGMA journal_mode; PRAGMA user_version;' | tr '\n' ' ')" = \
  "ok wal 1 " ] || fail "sqlite3 does not see a sound WAL database of version 1"
[ "$(sqlite3 "$work/h.sqlite3" 'SELECT count(*) FROM runs')" -eq 3 ] || fail "not 3 runs"

"$sim" --history "$work/h.sqlite3" --export-history "$work/x.json" || fail "JSON export exited $?"
"$sim" --history "$work/h.sqlite3" --export-history - >"$work/x.csv" || fail "CSV export exited $?"
"$sim" --history "$work/missing.sqlite3" --export-history "$work/none.csv" || fail "export of no history failed"
[ ! -e "$work/missing.sqlite3" ] || fail "the export made a database"

python3 - "$work" <<'PY' || exit 1
import csv, json, sqlite3, sys
work = sys.argv[1]
def fail(msg):
    print("FAIL:", msg); sys.exit(1)

# Recount from the trace (keyTally: touches left, right, misses left, right): a hand's touches rising is a hit on its queue's head of the
# frame before; its misses rising a wrong key charged to that head (wrong keys arrive
# before the hands type); the clock's start forgets the misses before it.
LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ,."
runs, cur, prev = [], None, None
for line in open(f"{work}/on/t.jsonl").readlines()[1:]:  # after the header
    f = json.loads(line)
    if f["screen"] != "run":
        prev = None
        continue
    if prev is None or prev["screen"] != "run":
        cur = {k: dict(targeted=0, hits=0, misses=0, rcount=0, rsum=0) for k in LETTERS}
        since = [0, 0]
        for h in range(2):
            cur[f["targetQueue"][h][0]]["targeted"] += 1
        runs.append(cur)
        prev = f
        continue
    if prev["elapsedTime"] == 0 and f["elapsedTime"] > 0:
        for k in cur.values(): k["misses"] = 0
    else:
        for h in range(2):
            cur[prev["targetQueue"][h][0]]["misses"] += f["keyTally"][2 + h] - prev["keyTally"][2 + h]
    for h in range(2):
        if f["keyTally"][h] != prev["keyTally"][h]:
            letter = prev["targetQueue"][h][0]
            cur[letter]["hits"] += 1
            running = f["elapsedTime"] > 0 and f["stageTime"][f["stageIndex"]] > 0 and f["distance"] < f["courseLength"]
            if prev["elapsedTime"] > 0 and running:
                cur[letter]["rcount"] += 1
                cur[letter]["rsum"] += f["elapsedTime"] - max(since[h], 1)
            cur[f["targetQueue"][h][0]]["targeted"] += 1
            since[h] = f["elapsedTime"]
    prev = f
if len(runs) != 3: fail(f"{len(runs)} runs in the trace")

db = sqlite3.connect(f"file:{work}/h.sqlite3?mode=ro", uri=True)
total_misses = 0
for n, counted in enumerate(runs, 1):
    stored = {k: dict(targeted=t, hits=h, misses=m, rcount=c, rsum=s) for k, t, h, m, c, s in db.execute(
        "SELECT key, targeted, hits, misses, reaction_count, reaction_sum_ms FROM run_keys WHERE run_id=? AND key<>'other'", (n,))}
    want = {k: v for k, v in counted.items() if v["targeted"] or v["hits"] or v["misses"]}
    if stored != want: fail(f"run {n}: stored {stored}\n recounted {want}")
    total_misses += sum(v["misses"] for v in want.values())
if total_misses == 0: fail("the bot made no misses to count")

runs_db = db.execute("SELECT count(*) FROM runs").fetchone()[0]
keys_db = db.execute("SELECT count(*) FROM run_keys").fetchone()[0]
pairs_db = db.execute("SELECT count(*) FROM wrong_keys").fetchone()[0]
data = json.load(open(f"{work}/x.json"))
if (len(data["runs"]), len(data["keys"]), len(data["wrong_keys"])) != (runs_db, keys_db, pairs_db):
    fail("the JSON export does not hold every row")
rows = list(csv.DictReader(open(f"{work}/x.csv")))
kinds = [r["kind"] for r in rows]
if (kinds.count("run"), kinds.count("key"), kinds.count("wrong_key")) != (runs_db, keys_db, pairs_db):
    fail("the CSV export does not hold every row")
if [r for r in rows if r["kind"] == "key" and r["key"] == ","] and not any(r["key"] == "," for r in rows): fail("comma")
outcomes = db.execute("SELECT outcome, rank FROM runs ORDER BY run_id").fetchall()
if outcomes[0] != ("goal", 1): fail(f"the first run is not a goal in first place: {outcomes}")
empty = list(csv.reader(open(f"{work}/none.csv")))
if len(empty) != 1: fail("the export of no history is not a lone header")
PY
echo "history_sim: ok"
