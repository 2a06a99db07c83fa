#!/usr/bin/env bash
# The desktop game's command line and start-up checks under a private X server:
# --help and --version print and end with status 0 without a window, a bad option gets
# one line and status 2 without a window, a start without a reachable display gets one
# line and status 1, --scale and --windowed size the window, Ctrl+Q ends the game with
# status 0 as Escape on the title does, the zoom and fullscreen chosen with the keys are
# remembered but the command line's are not, and a damaged settings file is ignored with
# one line.
# Usage: desktop_cli.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$2" && pwd)"
game="$build/kelo-typing"
source "$source_dir/tests/e2e/desktop_session.bash"
run_under_xvfb 1920x1080 "$0" "$@"
begin_session
export SDL_AUDIODRIVER=dummy
settings="$HOME/.config/kelo-typing/settings.ini"
cd "$build"

# Runs the game with the given arguments; checks it maps no window and ends with status
# $1, printing exactly one line on stderr when $2 is "one-line" (none when "quiet").
ends_without_window() {
  local want="$1" errors="$2" result
  shift 2
  result="$("${probe[@]}" maps -- bash -c 'exec "$@" > "$0"' "$work/out" timeout 20 "$game" "$@" 2> "$work/err")"
  [ "$result" = "exit=$want maps=0" ] || fail "kelo-typing $*: $result (want exit=$want maps=0)"
  case "$errors" in
    quiet) [ ! -s "$work/err" ] || fail "kelo-typing $* printed on stderr: $(cat "$work/err")" ;;
    one-line) [ "$(wc -l < "$work/err")" -eq 1 ] || fail "kelo-typing $* printed on stderr: $(cat "$work/err")" ;;
  esac
}

echo "-- --help, --version, bad options"
ends_without_window 0 quiet --help
grep -q -- "--scale N" "$work/out" || fail "--help does not describe --scale"
ends_without_window 0 quiet --version
version="$(sed -n 's/^project(KeLoTyping VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")"
[ "$(cat "$work/out")" = "Ke-Lo Typing $version" ] || fail "--version printed: $(cat "$work/out")"
for bad in --bogus "--scale 0" "--scale x" --scale "--fullscreen extra"; do
  # shellcheck disable=SC2086
  ends_without_window 2 one-line $bad
done

echo "-- no display"
result="$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$game" 2> "$work/err")" && status=0 || status=$?
[ "$status" -eq 1 ] || fail "with DISPLAY unset the game ended with status $status"
[ "$(wc -l < "$work/err")" -eq 1 ] || fail "with DISPLAY unset the game printed: $(cat "$work/err")"
cat "$work/err"
env DISPLAY=:9999 timeout 20 "$game" 2> "$work/err" && status=0 || status=$?
[ "$status" -eq 1 ] || fail "with an unreachable display the game ended with status $status"
grep -c . "$work/err" | grep -qx 1 || fail "with an unreachable display the game printed: $(cat "$work/err")"
cat "$work/err"

# Starts the game with the given arguments and waits for its window; $window holds the
# probe's description of it.
start_game() {
  "$game" "$@" 2> "$work/err" &
  game_pid=$!
  window="$("${probe[@]}" find "Ke-Lo Typing" 20 "$game_pid")" || fail "$window"
  echo "$window"
}

# Ends the game with Ctrl+Q and checks it exits with status 0 within 5 s.
quit_with_ctrl_q() {
  local ended=""
  "${probe[@]}" press "Ke-Lo Typing" Control_L+q
  for _ in $(seq 50); do
    if ! kill -0 "$game_pid" 2>/dev/null; then
      wait "$game_pid" && ended=0 || ended=$?
      break
    fi
    sleep 0.1
  done
  [ -n "$ended" ] || fail "Ctrl+Q did not end the game within 5 s"
  [ "$ended" -eq 0 ] || fail "after Ctrl+Q the game ended with status $ended"
  game_pid=""
}

# Waits up to 5 s for the game to end and checks it ended with status 0 after $1.
expect_end() {
  local ended=""
  for _ in $(seq 50); do
    if ! kill -0 "$game_pid" 2>/dev/null; then
      wait "$game_pid" && ended=0 || ended=$?
      break
    fi
    sleep 0.1
  done
  [ -n "$ended" ] || fail "$1 did not end the game within 5 s"
  [ "$ended" -eq 0 ] || fail "after $1 the game ended with status $ended"
  game_pid=""
}

echo "-- --scale 1 and Ctrl+Q, for that launch only; the frame log"
KELO_FRAME_LOG="$work/frames.log" start_game --scale 1 --windowed
sleep 1
[[ "$window" == "size=400x300 "* ]] || fail "--scale 1 did not give a 400 x 300 window"
quit_with_ctrl_q
[ ! -e "$settings" ] || fail "the command line was written to the settings file: $(cat "$settings")"
# One line per presented frame: microseconds of the monotonic clock, never going back.
/usr/bin/python3 -c '
import sys
times = [int(line) for line in open(sys.argv[1])]
steps = [b - a for a, b in zip(times, times[1:])]
print(f"{len(times)} frames logged")
sys.exit(0 if len(times) >= 10 and min(steps) >= 0 else 1)' "$work/frames.log" || fail "bad frame log"

echo "-- Ctrl+Minus on the title zooms out and is remembered; Escape on the title quits"
start_game
[[ "$window" == "size=800x600 "* ]] || fail "the default window is not 800 x 600"
sleep 1
"${probe[@]}" press "Ke-Lo Typing" Control_L+minus
sleep 1
[ "$("${probe[@]}" size "Ke-Lo Typing")" = "400x300" ] || fail "Ctrl+Minus did not zoom the window out to 400 x 300"
"${probe[@]}" press "Ke-Lo Typing" Escape
expect_end "Escape on the title"
grep -qx "scale=1" "$settings" || fail "the settings file does not hold scale=1: $(cat "$settings")"
start_game
[[ "$window" == "size=400x300 "* ]] || fail "the remembered zoom 1 was not used"
quit_with_ctrl_q

echo "-- F11 is remembered, --windowed --scale 3 is not"
start_game
"${probe[@]}" press "Ke-Lo Typing" F11
sleep 1
quit_with_ctrl_q
grep -qx "fullscreen=1" "$settings" || fail "the settings file does not hold fullscreen=1: $(cat "$settings")"
start_game
[[ "$window" == "size=1920x1080 "* ]] || fail "the remembered fullscreen did not fill the screen"
quit_with_ctrl_q
start_game --windowed --scale 3
[[ "$window" == "size=1200x900 "* ]] || fail "--windowed --scale 3 did not give a 1200 x 900 window"
quit_with_ctrl_q
grep -qx "fullscreen=1" "$settings" && grep -qx "scale=1" "$settings" ||
  fail "--windowed --scale 3 changed the settings file: $(cat "$settings")"
echo "-- a settings file's unknown lines are left out with one line, its known ones kept"
printf 'volume=banana\nscale=3\nscale=banana\n' > "$settings"
start_game
[[ "$window" == "size=1200x900 "* ]] || fail "the known scale=3 beside unknown lines did not give a 1200 x 900 window"
quit_with_ctrl_q
grep -c . "$work/err" | grep -qx 1 || fail "the unknown lines gave: $(cat "$work/err")"
grep -q "settings.ini" "$work/err" || fail "the warning does not name the file: $(cat "$work/err")"
echo PASS
