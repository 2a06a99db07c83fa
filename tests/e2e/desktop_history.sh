#!/usr/bin/env bash
# The desktop game's run history when it cannot be written: a run started and left with
# Escape is said in one line on stderr and in the window title, the game plays on, and
# the run is written at exit once the database can be made. The game runs from a
# portable copy, so the history lives beside the executable.
# Usage: desktop_history.sh BUILD_DIR SOURCE_DIR
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
# A folder where the database should be: SQLite cannot open it.
mkdir "$game_dir/history.sqlite3"

title() { xwininfo -root -tree | grep -o '"Ke-Lo Typing[^"]*"' | head -1; }

"$game_dir/kelo-typing" 2>"$work/stderr" &
game_pid=$!
"${probe[@]}" find "Ke-Lo Typing" 20 "$game_pid" >/dev/null || fail "no window"
wait_for_still_picture "$work/title.ppm"
for key in space space; do
  "${probe[@]}" press "Ke-Lo Typing" "$key"
  sleep 2
done
"${probe[@]}" press "Ke-Lo Typing" Escape
for _ in $(seq 50); do
  [ "$(title)" = '"Ke-Lo Typing - run history could not be saved"' ] && break
  sleep 0.1
done
[ "$(title)" = '"Ke-Lo Typing - run history could not be saved"' ] || fail "title is $(title)"
[ "$(grep -c 'history.sqlite3' "$work/stderr")" -eq 1 ] || fail "not one line on stderr: $(cat "$work/stderr")"
kill -0 "$game_pid" || fail "the game stopped"

# Mended before the game closes, the kept run is written at exit.
rmdir "$game_dir/history.sqlite3"
kill -TERM "$game_pid"
wait_for_exit "$game_pid" 10
[ "$ended" = 0 ] || fail "the game ended with status '$ended'"
game_pid=""
[ "$(sqlite3 "$game_dir/history.sqlite3" "SELECT outcome FROM runs")" = escape ] || fail "the kept run was not written at exit"
echo PASS
