#!/bin/bash
# The record file through kelo-sim: a damaged file is kept aside and replaced whole by
# the title's save, closing during the title's wipe-in leaves no file behind, and a save that fails
# (the file's place taken by a folder) is said on stderr, once per save, and ends the
# simulation with status 4.
set -u
build=$1
sim="$build/kelo-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir "$work/damaged" "$work/closed"
head -c 700 /dev/urandom >"$work/damaged.bin"
cp "$work/damaged.bin" "$work/damaged/kelodt.hsc"
"$sim" --records-dir "$work/damaged" --frames 30 --trace "$work/trace.json" || fail "damaged file: exit $?"
file="$work/damaged/kelodt.hsc"
[ "$(stat -c %s "$file")" -eq 1362 ] || fail "rewritten file has $(stat -c %s "$file") bytes"
python3 - "$file" "$work/trace.json" <<'PY' || fail "rewritten file or loaded state is wrong"
import json, sys
data = open(sys.argv[1], "rb").read()
assert all(32 <= b <= 121 for b in data), "byte outside 32..121"
last = [json.loads(line) for line in open(sys.argv[2])][-1]
assert 2 <= last["openCourses"] <= 9, last["openCourses"]
PY
kept=$(ls -A "$work/damaged" | grep -v '^kelodt.hsc$')
case "$kept" in
  kelodt.hsc.damaged-*[0-9]) cmp -s "$work/damaged/$kept" "$work/damaged.bin" || fail "$kept differs from the damaged file" ;;
  *) fail "expected the damaged file kept aside and nothing else: $(ls -A "$work/damaged")" ;;
esac

printf '10 close\n' >"$work/close.txt"
"$sim" --records-dir "$work/closed" --input "$work/close.txt" || fail "close during wipe-in: exit $?"
[ -z "$(ls -A "$work/closed")" ] || fail "closing during the wipe-in wrote $(ls -A "$work/closed")"

# One goal run from the title: two saves, the title's and the goal's, both failing.
mkdir -p "$work/blocked/kelodt.hsc/inside"
"$sim" --records-dir "$work/blocked" --bot 20 --runs 1 2>"$work/stderr"
rc=$?
[ $rc -eq 4 ] || fail "record file replaced by a folder: exit $rc, expected 4"
[ "$(grep -c 'cannot save the records' "$work/stderr")" -eq 2 ] || fail "failed saves said as: $(cat "$work/stderr")"
echo "records_sim: ok"
