#!/bin/bash
# The progress screen through kelo-sim: Tab on course select opens it and Tab, Escape
# or Space go back; P starts a practice run that reaches its goal without touching the
# record file and is kept in the history as practice; and a session that never presses
# Tab is the same, frame for frame, sound for sound and byte for byte, whether or not a
# run history is present.
set -u
build=$1
sim="$build/kelo-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Screens by frame, from a trace: "frame screen" per line where the screen changes.
screens() { python3 -c '
import json, sys
last = None
for line in open(sys.argv[1]).readlines()[1:]:  # after the header
    f = json.loads(line)
    if f["screen"] != last:
        print(f["frame"], f["screen"]); last = f["screen"]' "$1"; }

echo "-- Tab opens the screen; Tab, Escape and Space each go back to course select"
mkdir "$work/flow"
printf '10 tap TAB\n30 tap RIGHT\n40 tap UP\n50 tap TAB\n80 tap TAB\n100 tap ESCAPE\n130 tap TAB\n150 tap SPACE\n' >"$work/flow.txt"
"$sim" --start select --records-dir "$work/flow" --input "$work/flow.txt" --frames 180 --trace "$work/flow.jsonl" ||
  fail "flow: exit $?"
got=$(screens "$work/flow.jsonl" | awk '{print $2}' | tr '\n' ' ')
[ "$got" = "select progress select progress select progress select " ] || fail "screens were: $got"

echo "-- a practice run reaches its goal and leaves the record file as it was"
mkdir "$work/practice"
"$sim" --records-dir "$work/practice" --bot 8 --runs 1 >/dev/null || fail "first run: exit $?"
before=$(sha1sum <"$work/practice/kelodt.hsc")
printf '3 tap P\n' >"$work/p.txt"
"$sim" --records-dir "$work/practice" --start progress --input "$work/p.txt" --bot 8 --runs 1 \
  --history "$work/practice/history.sqlite3" --sound-log "$work/p.tsv" --trace "$work/p.jsonl" || fail "practice: exit $?"
grep -q 'play wavGoal' "$work/p.tsv" || fail "the practice run never reached its goal"
[ "$(screens "$work/p.jsonl" | awk '{print $2}' | tr '\n' ' ')" = "progress run " ] || fail "practice screens"
[ "$(sha1sum <"$work/practice/kelodt.hsc")" = "$before" ] || fail "a practice run changed the record file"
kept=$(python3 -c 'import sqlite3, sys
print(sqlite3.connect(sys.argv[1]).execute("select practice, outcome, rank from runs").fetchall())' \
  "$work/practice/history.sqlite3")
[ "$kept" = "[(1, 'goal', None)]" ] || fail "the history kept the practice run as $kept"

echo "-- a session that never presses Tab is the same with a history as without one"
mkdir "$work/with" "$work/without"
"$sim" --records-dir "$work/with" --history "$work/with/history.sqlite3" --start run --course 4 --bot 7,0.1 \
  --runs 3 >/dev/null || fail "making the history: exit $?"
cp "$work/with/kelodt.hsc" "$work/without/kelodt.hsc"
for place in with without; do
  history=()
  [ $place = with ] && history=(--history "$work/with/history.sqlite3")
  mkdir "$work/$place/png"
  "$sim" --records-dir "$work/$place" "${history[@]}" --seed 9 --bot 8,0.1 --runs 2 --trace "$work/$place.jsonl" \
    --sound-log "$work/$place.tsv" --png "$work/$place/png" --png-frames every:10 >/dev/null ||
    fail "session $place history: exit $?"
done
cmp -s "$work/with.jsonl" "$work/without.jsonl" || fail "traces differ with a history present"
cmp -s "$work/with.tsv" "$work/without.tsv" || fail "sound logs differ with a history present"
cmp -s "$work/with/kelodt.hsc" "$work/without/kelodt.hsc" || fail "record files differ with a history present"
diff -rq "$work/with/png" "$work/without/png" >/dev/null || fail "frames differ with a history present"
[ "$(ls "$work/with/png" | wc -l)" -gt 100 ] || fail "too few frames compared"

echo "progress_sim: ok"
