#!/bin/bash
# The bot plays every course on Normal and Hard, with and without misses, through the
# title and course select, to the goal; the record file then holds the run under its
# course, and a Hard goal has marked the course cleared on Hard. In a sanitizer build this is the soak (36 runs): any address,
# leak or undefined-behaviour report ends kelo-sim with a non-zero status. A normal build
# plays only two of the runs, to keep the script itself working.
set -u
build=$1
sim="$build/kelo-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

if grep -q '^KELO_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
    courses=$(seq 0 8); difficulties="0 1"; misses="0 0.1"
else
    echo "not a sanitizer build: two runs instead of the soak"
    courses="8"; difficulties="1"; misses="0 0.1"
fi

# Nine open courses, each cleared once, no runs: the bot can page to every course on
# course select and switch it to Hard.
python3 - "$work/cleared.hsc" <<'PY'
import sys
def field(value, div9):
    return bytes(32 + (9 * int(d) if div9 else int(d)) for d in f"{value:06d}")
data = field(9, False)
for g in range(45):
    data += field(1, False) + field(0, False) * 2 + field(0, True) * 2
data += field(9, True)
open(sys.argv[1], "wb").write(data)
PY

runs=0
for course in $courses; do
    for difficulty in $difficulties; do
        for miss in $misses; do
            what="course $course, difficulty $difficulty, misses $miss"
            rm -rf "$work/run"; mkdir "$work/run"
            cp "$work/cleared.hsc" "$work/run/kelodt.hsc"
            "$sim" --records-dir "$work/run" --seed "$course" --course "$course" --difficulty "$difficulty" \
                --bot "100,$miss" --runs 1 2>"$work/stderr" || fail "$what: exit $?: $(tail -5 "$work/stderr")"
            python3 - "$work/run/kelodt.hsc" "$course" "$difficulty" <<'PY' || fail "$what: not played as asked"
import sys
data = open(sys.argv[1], "rb").read()
course, hard = int(sys.argv[2]), sys.argv[3] == "1"
def field(index):
    return int("".join(str((b - 32) % 10) for b in data[6 * index:6 * index + 6]))
group = 5 * course
assert field(5 * group + 2) > 0, "no goal run recorded for the course"
assert field(5 * group + 1) == (2 if hard else 1), f"clear mark {field(5 * group + 1)}"
PY
            runs=$((runs + 1))
        done
    done
done
echo "sanitizer_soak: ok: $runs runs"
