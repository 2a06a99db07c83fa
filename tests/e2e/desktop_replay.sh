#!/usr/bin/env bash
# The desktop proven equal to the simulator: a real desktop session played by X key
# events (the title, course select, a run on course 1 left with Escape and a goal run on
# it, both with wrong keys, then Ctrl+Q), replayed from its recording in kelo-sim, gives
# the same digest for every presented frame, the same record file and the same history
# rows; the goal run replayed alone from its start gives the same frames as in the
# session. The game runs from a portable copy with KELO_FRAME_LOG and KELO_FRAME_DIGESTS
# set.
# Usage: desktop_replay.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$2" && pwd)"
source "$source_dir/tests/e2e/desktop_session.bash"
run_under_xvfb 640x480 "$0" "$@"
begin_session
export XDG_DATA_HOME="$work/home/data" SDL_AUDIODRIVER=dummy
game_dir="$work/game"
mkdir "$game_dir"
cp "$build/kelo-typing" "$game_dir/"
cp -r "$source_dir/snd" "$game_dir/snd"
touch "$game_dir/portable.txt"
history="$game_dir/history.sqlite3"

# The sqlite3 client would make the file when it is missing.
runs_kept() { [ -e "$history" ] && sqlite3 -readonly "$history" "SELECT count(*) FROM runs" 2>/dev/null || echo 0; }

# Presses KEY every 1.5 s until the history holds RUNS runs: a run is written as it is
# left, before course select takes keys again.
press_until_runs() {
  local key="$1" runs="$2"
  for _ in $(seq 20); do
    [ "$(runs_kept)" -ge "$runs" ] && return
    "${probe[@]}" press "Ke-Lo Typing" "$key"
    sleep 1.5
  done
  fail "run $runs was never kept (the history holds $(runs_kept))"
}

KELO_FRAME_LOG="$work/frames.log" KELO_FRAME_DIGESTS="$work/digests.log" "$game_dir/kelo-typing" 2>"$work/stderr" &
game_pid=$!
"${probe[@]}" find "Ke-Lo Typing" 20 "$game_pid" >/dev/null || fail "no window"
wait_for_still_picture "$work/title.ppm"
for key in space space; do
  "${probe[@]}" press "Ke-Lo Typing" "$key"
  sleep 2
done

typist=(/usr/bin/python3 "$source_dir/tests/e2e/desktop_typist.py" "Ke-Lo Typing")
# The first run learns what it can of the letters in 18 s (the goal run learns the rest).
echo "-- a run on course 1 that learns its letters, with wrong keys, left with Escape"
"${typist[@]}" 18 "$work/letters.json" || true
press_until_runs Escape 1
sleep 1
# A machine busy with other work runs the game's frames late, and the clock runs out
# sooner: a run that times out is left and another one started.
echo "-- a goal run on course 1, with wrong keys"
# The history, not the typist, tells how each run ended: a goal reached just as the
# typist gives up is still a goal.
last_outcome() { sqlite3 -readonly "$history" "SELECT outcome FROM runs ORDER BY run_id DESC LIMIT 1"; }
runs=1 goal=""
for _ in 1 2 3; do
  "${probe[@]}" press "Ke-Lo Typing" space
  sleep 2
  runs=$((runs + 1))
  "${typist[@]}" 90 "$work/letters.json" "$game_dir/kelodt.hsc" || true
  sleep 5
  press_until_runs space "$runs"
  [ "$(last_outcome)" = goal ] && goal=1 && break
  sleep 1
done
[ -n "$goal" ] || fail "no goal"
sleep 2
echo "-- R on the progress screen watches the goal run; Escape comes back"
"${probe[@]}" press "Ke-Lo Typing" Tab
sleep 2
"${probe[@]}" press "Ke-Lo Typing" r
sleep 4
"${probe[@]}" grab "Ke-Lo Typing" "$work/watching.ppm"
"${probe[@]}" press "Ke-Lo Typing" Escape
sleep 2
"${probe[@]}" grab "Ke-Lo Typing" "$work/back.ppm"
[ "$("${probe[@]}" differs "$work/watching.ppm" "$work/back.ppm")" != "0.000" ] || fail "the watch showed nothing"
"${probe[@]}" press "Ke-Lo Typing" Control_L+q
wait_for_exit "$game_pid" 10
[ "$ended" = 0 ] || fail "the game ended with status '$ended': $(cat "$work/stderr")"
game_pid=""

outcomes="$(sqlite3 "$history" "SELECT course || ' ' || outcome || ' ' || (left_wrong + right_wrong > 0) FROM runs ORDER BY run_id")"
[ "$(echo "$outcomes" | head -1)" = "1 escape 1" ] && [ "$(echo "$outcomes" | tail -1)" = "1 goal 1" ] &&
  [ "$(echo "$outcomes" | wc -l)" -eq "$runs" ] && ! echo "$outcomes" | sed '1d;$d' | grep -qv '^1 time-out ' ||
  fail "the history holds: $outcomes"
frames="$(wc -l <"$work/frames.log")"
[ "$(wc -l <"$work/digests.log")" -eq "$frames" ] && [ "$frames" -gt 500 ] ||
  fail "$frames frames logged, $(wc -l <"$work/digests.log") digests"
# Frame numbers never go back, and the run's frames differ from each other.
awk 'NF != 2 || $1 < last { exit 1 } { last = $1 }' "$work/digests.log" || fail "digest lines out of order"
[ "$(cut -d' ' -f2 "$work/digests.log" | sort -u | wc -l)" -gt 300 ] || fail "too few distinct frames"

echo "-- the session replayed in kelo-sim"
session="$(sqlite3 "$history" "SELECT session_id FROM replay_sessions")"
[ "$(echo "$session" | wc -l)" -eq 1 ] || fail "not one recorded session: $session"
history_sum="$(md5sum <"$history")"
mkdir "$work/replayed"
"$build/kelo-sim" --replay "$history:session:$session" --records-dir "$work/replayed" \
  --frame-digests "$work/replayed.log" --history "$work/replayed.sqlite3" || fail "kelo-sim --replay: exit $?"
cmp "$work/digests.log" "$work/replayed.log" ||
  fail "the frames differ: $(diff "$work/digests.log" "$work/replayed.log" | head -4)"
cmp "$game_dir/kelodt.hsc" "$work/replayed/kelodt.hsc" || fail "the record files differ"
# The runs, key figures and wrong keys, wall-clock fields included (the clock is recorded).
for db in "$history" "$work/replayed.sqlite3"; do
  "$build/kelo-sim" --history "$db" --export-history "$db.csv" || fail "export of $db: exit $?"
done
cmp "$history.csv" "$work/replayed.sqlite3.csv" ||
  fail "the history rows differ: $(diff "$history.csv" "$work/replayed.sqlite3.csv" | head -4)"
rm "$history.csv"
[ "$(md5sum <"$history")" = "$history_sum" ] || fail "the replay wrote into the history"

echo "-- the goal run replayed alone"
goal_run="$(sqlite3 "$history" "SELECT run_id FROM runs WHERE outcome = 'goal'")"
mkdir "$work/run"
"$build/kelo-sim" --replay "$history:$goal_run" --records-dir "$work/run" --frame-digests "$work/run.log" ||
  fail "kelo-sim --replay of run $goal_run: exit $?"
[ "$(wc -l <"$work/run.log")" -gt 300 ] && grep -qxFf "$work/run.log" "$work/digests.log" &&
  [ -z "$(grep -vxFf "$work/digests.log" "$work/run.log")" ] || fail "the goal run's frames differ from the session's"

echo "-- kelo-typing --replay shows the goal run's frames and writes nothing"
records_sum="$(md5sum <"$game_dir/kelodt.hsc")"
KELO_FRAME_DIGESTS="$work/watched.log" "$game_dir/kelo-typing" --replay "$goal_run" 2>"$work/stderr" &
game_pid=$!
"${probe[@]}" find "Ke-Lo Typing" 20 "$game_pid" >/dev/null || fail "no replay window: $(cat "$work/stderr")"
sleep 3
"${probe[@]}" press "Ke-Lo Typing" Escape
wait_for_exit "$game_pid" 10
[ "$ended" = 0 ] || fail "the replay ended with status '$ended': $(cat "$work/stderr")"
game_pid=""
shown="$(wc -l <"$work/watched.log")"
[ "$shown" -gt 20 ] && [ "$(cut -d' ' -f2 "$work/watched.log")" = "$(cut -d' ' -f2 "$work/run.log" | head -n "$shown")" ] ||
  fail "the replay's $shown frames are not the run's first"
[ "$(md5sum <"$history")" = "$history_sum" ] && [ "$(md5sum <"$game_dir/kelodt.hsc")" = "$records_sum" ] &&
  [ ! -e "$HOME/.config/kelo-typing/settings.ini" ] || fail "the replay wrote something"
echo PASS
