#!/usr/bin/env bash
# Prints what recording a session costs: instruction counts (valgrind's callgrind) of one
# kelo-sim session without a history, with one (history and recording), and the part of
# the latter spent recording on the game's own thread (the recording platform and the
# run-start snapshots) per frame; then the recording's size per minute of play, records
# and snapshots apart. Figures only; nothing passes or fails.
#   scripts/measure-replay.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
runs="${2:-2}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
session=(--seed 7 --start run --course 4 --bot 7,0.2 --runs "$runs" --records-dir "$work")

total() { grep -m1 "PROGRAM TOTALS" "$1" | awk '{ gsub(",", "", $1); print $1 }'; }
for mode in without with; do
  extra=()
  [ $mode = with ] && extra=(--history "$work/h.sqlite3")
  rm -f "$work/kelodt.hsc"
  valgrind --tool=callgrind --callgrind-out-file="$work/$mode.out" "$build/kelo-sim" "${session[@]}" "${extra[@]}" \
    >/dev/null 2>&1
  callgrind_annotate --threshold=100 --auto=no "$work/$mode.out" >"$work/$mode.txt"
done
frames=$("$build/kelo-sim" "${session[@]}" \
  --trace /dev/stdout 2>/dev/null | tail -1 | sed 's/.*"frame":\([0-9]*\).*/\1/')
# Self cost of the recording platform's own code, and everything a run-start capture
# does (copying the planes included); the snapshot's encoding and the compression run on
# the history's writing thread on the desktop.
callgrind_annotate --threshold=100 --auto=no --inclusive=yes "$work/with.out" >"$work/inclusive.txt"
sum() { awk '{ gsub(",", "", $1); s += $1 } END { print s + 0 }'; }
own=$(grep -E "kelo::RecordingPlatform::|kelo::ReplayWriter::|kelo::WriteSegmentHeader" "$work/with.txt" | sum)
capture=$(grep -E "kelo::CaptureSnapshot" "$work/inclusive.txt" | head -1 | sum)
encode=$(grep -E "kelo::EncodeSnapshot\(kelo::ReplaySnapshotCapture|kelo::CompressReplay" "$work/inclusive.txt" | sum)
echo "instructions: without history $(total "$work/without.txt"), with history and recording $(total "$work/with.txt")"
awk -v o="$own" -v c="$capture" -v e="$encode" -v f="$frames" -v n="$runs" -v t="$(total "$work/without.txt")" 'BEGIN {
  printf "game thread: recording %.0f instructions a frame (a frame of the session: %.0f), a run-start capture %.0f\n", o / f, t / f, c / n
  printf "writing thread: encoding and compressing the segments %.0f in all\n", e }'
python3 - "$work/h.sqlite3" "$frames" <<'PY'
import sqlite3, sys, zlib
db, frames = sqlite3.connect(sys.argv[1]), int(sys.argv[2])
def var(raw, at):
    value = shift = 0
    while True:
        value |= (raw[at] & 0x7F) << shift
        shift += 7
        at += 1
        if raw[at - 1] < 0x80:
            return value, at
stored = records = snapshots = 0
for (data,) in db.execute("SELECT data FROM replay_segments"):
    raw = zlib.decompress(data)
    at = var(raw, 4)[1]
    n, at = var(raw, at)
    at = var(raw, var(raw, at + n)[1])[1]
    snap = b""
    if raw[at] == 1:
        n, at = var(raw, at + 1)
        snap, at = raw[at:at + n], at + n
    else:
        at += 4
    stored += len(data)
    records += len(zlib.compress(raw[at:], 9))
    snapshots += len(zlib.compress(snap, 9)) if snap else 0
minutes = frames * 33 / 60000
print(f"size: {stored / 1024:.1f} KiB stored for {minutes:.2f} min of play ({frames} frames): "
      f"{stored / 1024 / minutes:.1f} KiB/min; records alone {records / 1024 / minutes:.1f} KiB/min, "
      f"snapshots {snapshots / 1024:.1f} KiB in all")
PY
