#!/usr/bin/env bash
# The record file across the simulator and the real game: a goal run recorded by
# kelo-sim shows on the desktop game's course select, a run started with Space and left
# with Escape changes nothing but is in the run history beside it, the game closes with status 0, the file still decodes to
# the same table, and a second start shows the record again. The game runs from a
# portable copy (its folder holds portable.txt), so the file lives beside the executable.
# Usage: desktop_records.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$2" && pwd)"
source "$source_dir/tests/e2e/desktop_session.bash"
# 640 x 480 keeps the window at its natural size, one screen pixel per game pixel.
run_under_xvfb 640x480 "$0" "$@"
begin_session
export XDG_DATA_HOME="$work/home/data" SDL_AUDIODRIVER=dummy
game_dir="$work/game"
mkdir "$game_dir"
cp "$build/kelo-typing" "$game_dir/"
cp -r "$source_dir/snd" "$game_dir/snd"
touch "$game_dir/portable.txt"
record="$game_dir/kelodt.hsc"

# The record table of a file: open courses, clear marks and the agreeing places.
table() {
  /usr/bin/python3 - "$1" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
assert len(data) == 1362, len(data)
def field(i, div9):
    return int("".join(str((b - 32) // 9 if div9 else (b - 32) % 10) for b in data[6 * i:6 * i + 6]))
places = {}
for g in range(45):
    c, p = divmod(g, 5)
    places.setdefault((c, p), []).extend([field(5 * g + 2, False), field(5 * g + 3, False)])
    places.setdefault((8 - c, 4 - p), []).extend([field(5 * g + 4, True), field(5 * g + 5, True)])
kept = {k: v[:2] for k, v in places.items() if v[:2] == v[2:]}
marks = [field(1 + 25 * c, False) for c in range(9)]
print(field(0, False), field(226, True), marks, sorted(kept.items()))
PY
}

echo "-- a goal run recorded by the simulator"
"$build/kelo-sim" --records-dir "$game_dir" --start run --course 0 --bot 10 --runs 1 || fail "kelo-sim: exit $?"
recorded="$(table "$record")"
echo "$recorded" | grep -q '((0, 0), \[[1-9]' || fail "no goal run on course 0: $recorded"

# Presses KEY until the picture differs from the still picture FILE in most pixels.
press_until_changed() {
  local key="$1" before="$2" changed=0
  for _ in $(seq 8); do
    "${probe[@]}" press "Ke-Lo Typing" "$key"
    for _ in $(seq 4); do
      sleep 0.5
      "${probe[@]}" grab "Ke-Lo Typing" "$work/now.ppm"
      changed="$("${probe[@]}" differs "$before" "$work/now.ppm")"
      /usr/bin/python3 -c 'import sys; sys.exit(0 if float(sys.argv[1]) > 0.2 else 1)' "$changed" && return
    done
  done
  fail "the picture did not change after $key"
}

# White pixels of the time and speed texts in record row ROW (1..5) of a course-select
# picture; a row without a run shows "No Data" in the course's faint colour instead.
white_in_row() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import re, sys
ppm = open(sys.argv[1], "rb").read()
header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)  # the pixels may start with "\n"
assert header and (int(header[1]), int(header[2])) == (400, 300), "picture is not a 400 x 300 PPM"
row, width, data = int(sys.argv[2]), int(header[1]), ppm[header.end():]
top = 25 * (row - 1) + 66
print(sum(1 for y in range(top, top + 20) for x in range(95, 360)
          if data[3 * (y * width + x):3 * (y * width + x) + 3] == b"\xff\xff\xff"))
PY
}

# Starts the game, goes to course select and checks that row 1 shows a run and row 2
# does not.
open_course_select() {
  "$game_dir/kelo-typing" &
  game_pid=$!
  "${probe[@]}" find "Ke-Lo Typing" 20 "$game_pid" >/dev/null || fail "no window"
  wait_for_still_picture "$work/title.ppm"
  press_until_changed space "$work/title.ppm"
  wait_for_still_picture "$work/select.ppm"
  local first second
  first="$(white_in_row "$work/select.ppm" 1)"
  second="$(white_in_row "$work/select.ppm" 2)"
  echo "white pixels: row 1 $first, row 2 $second"
  [ "$first" -gt $((second + 100)) ] || fail "course select does not show the recorded run in row 1"
}

close_game() {
  "${probe[@]}" close "Ke-Lo Typing" || fail "could not send the close request"
  local deadline=$((SECONDS + 10))
  while kill -0 "$game_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
  kill -0 "$game_pid" 2>/dev/null && fail "the game did not end within 10 s of the close request"
  local status=0
  wait "$game_pid" || status=$?
  game_pid=""
  [ "$status" -eq 0 ] || fail "the game ended with status $status"
}

echo "-- the desktop game shows it, a run is started and left"
open_course_select
press_until_changed space "$work/select.ppm"
sleep 1
"${probe[@]}" grab "Ke-Lo Typing" "$work/run.ppm"
press_until_changed Escape "$work/run.ppm"
wait_for_still_picture "$work/back.ppm"
close_game
[ "$(table "$record")" = "$recorded" ] || fail "the table changed: $(table "$record")"
[ ! -e "$XDG_DATA_HOME/kelo-typing/kelodt.hsc" ] || fail "records went to the per-user folder"
history="$("$game_dir/kelo-typing" --export-history - | grep '^run,')" || fail "no run in the history export"
[ "$(echo "$history" | wc -l)" -eq 1 ] || fail "not one run in the history: $history"
echo "$history" | grep -q ',1,normal,escape,0,0,0,' || fail "the left run is not an escape on course 1: $history"

echo "-- a second start shows it again"
open_course_select
close_game
[ "$(table "$record")" = "$recorded" ] || fail "the table changed on the second start"
echo PASS
