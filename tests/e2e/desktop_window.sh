#!/usr/bin/env bash
# The desktop game under a private X server with no window manager: its window is
# captioned "Ke-Lo Typing" and shows the 400 x 300 picture enlarged by a whole zoom
# (2 on this 1920 x 1080 screen), centred on black at any size and fullscreen; it takes
# keys once focused and sounds through the audio device (SDL's disk driver, so its output
# can be measured); a second copy says so and ends with status 1 without a window or an
# audio device, leaving the first running; a close request ends the game promptly with
# status 0. Desktop_cli.sh covers the command line, the remembered zoom and Ctrl+Q.
# Usage: desktop_window.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$2" && pwd)"
game="$build/kelo-typing"
source "$source_dir/tests/e2e/desktop_session.bash"
run_under_xvfb 1920x1080 "$0" "$@"
begin_session
export SDL_AUDIODRIVER=disk
cd "$build"

# A copy that finds the instance lock taken says so in one line, ends at once, maps no
# window and exits 1.
second_copy_ends_at_once() {
  local started=$SECONDS result
  result="$(SDL_DISKAUDIOFILE="$work/second.raw" "${probe[@]}" maps -- timeout 20 "$game" 2> "$work/second.err")"
  [ "$result" = "exit=1 maps=0" ] || fail "second copy: $result (want exit=1 maps=0)"
  [ "$(cat "$work/second.err")" = "Ke-Lo Typing is already running" ] ||
    fail "second copy said: $(cat "$work/second.err")"
  [ $((SECONDS - started)) -le 10 ] || fail "second copy took $((SECONDS - started)) s to end"
  [ ! -e "$work/second.raw" ] || fail "second copy opened an audio device"
}

echo "-- a copy started while the lock is held elsewhere"
/usr/bin/python3 -c '
import fcntl, os, sys, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_CREAT, 0o600)
fcntl.flock(fd, fcntl.LOCK_EX)
print("locked", flush=True)
time.sleep(60)' "$XDG_RUNTIME_DIR/kelo-typing.lock" > "$work/holder.out" &
holder_pid=$!
helper_pids+=("$holder_pid")
for _ in $(seq 50); do grep -q locked "$work/holder.out" && break; sleep 0.1; done
second_copy_ends_at_once
kill "$holder_pid"; wait "$holder_pid" 2>/dev/null || true

picture_changed() { /usr/bin/python3 -c 'import sys; sys.exit(0 if float(sys.argv[1]) > 0.2 else 1)' "$1"; }

echo "-- the window"
SDL_DISKAUDIOFILE="$work/first.raw" "$game" &
game_pid=$!
window="$("${probe[@]}" find "Ke-Lo Typing" 20 "$game_pid")" || fail "$window"
echo "$window"
[[ "$window" == *"size=800x600 min=400x300 "* ]] || fail "window is not 800 x 600 (zoom 2), at least 400 x 300"
colours="${window##*colours=}"
[ "$colours" -gt 1 ] || fail "the window shows a blank picture"

# Checks that the window now shows picture $1 enlarged as "$2" (zoom=Z x=X y=Y).
shows_enlarged() {
  local result
  "${probe[@]}" grab "Ke-Lo Typing" "$work/big.ppm"
  result="$("${probe[@]}" enlarged "$1" "$work/big.ppm")"
  echo "$result"
  [ "$result" = "$2 wrong=0" ] || fail "window at $("${probe[@]}" size "Ke-Lo Typing"): $result (want $2 wrong=0)"
}

# Resizes the window and waits until the game has drawn at the new size.
resize_to() {
  "${probe[@]}" resize "Ke-Lo Typing" "$1" "$2"
  for _ in $(seq 20); do
    [ "$("${probe[@]}" size "Ke-Lo Typing")" = "$1x$2" ] && break
    sleep 0.1
  done
  sleep 0.5
}

echo "-- the picture enlarged, at 1x, letterboxed and fullscreen"
wait_for_still_picture "$work/zoom2.ppm"
resize_to 400 300
"${probe[@]}" grab "Ke-Lo Typing" "$work/zoom1.ppm"
shows_enlarged "$work/zoom1.ppm" "zoom=1 x=0 y=0"
"${probe[@]}" enlarged "$work/zoom1.ppm" "$work/zoom2.ppm" | grep -qx "zoom=2 x=0 y=0 wrong=0" ||
  fail "the 800 x 600 window was not the 1x picture enlarged: $("${probe[@]}" enlarged "$work/zoom1.ppm" "$work/zoom2.ppm")"
resize_to 1000 700
shows_enlarged "$work/zoom1.ppm" "zoom=2 x=100 y=50"
"${probe[@]}" press "Ke-Lo Typing" F11
sleep 1
[ "$("${probe[@]}" size "Ke-Lo Typing")" = "1920x1080" ] || fail "F11 left the window at $("${probe[@]}" size "Ke-Lo Typing")"
shows_enlarged "$work/zoom1.ppm" "zoom=3 x=360 y=90"
"${probe[@]}" press "Ke-Lo Typing" Alt_L+Return
sleep 1
[ "$("${probe[@]}" size "Ke-Lo Typing")" = "1000x700" ] || fail "Alt+Enter left the window at $("${probe[@]}" size "Ke-Lo Typing")"
resize_to 800 600

echo "-- Space leads from the title to course select"
# The title takes Space only once its wipe-in and loading frame are over, which can take
# a while on a busy machine: press again until the picture changes. The closing wipe
# repaints the whole window, the still title changes nowhere.
wait_for_still_picture "$work/title.ppm"
changed=0
for _ in $(seq 8); do
  "${probe[@]}" press "Ke-Lo Typing" space
  for _ in $(seq 4); do
    sleep 0.5
    "${probe[@]}" grab "Ke-Lo Typing" "$work/now.ppm"
    changed="$("${probe[@]}" differs "$work/title.ppm" "$work/now.ppm")"
    picture_changed "$changed" && break 2
  done
done
echo "share of pixels changed: $changed"
picture_changed "$changed" || fail "the picture stayed the title's after Space"
loudest=0
for _ in $(seq 10); do
  loudest="$(loudest_sample "$work/first.raw")"
  [ "$loudest" -gt 1000 ] && break
  sleep 0.3
done
echo "loudest sample after Space: $loudest"
[ "$loudest" -gt 1000 ] || fail "no sound after Space"

echo "-- a second copy while the game runs"
[ -S "$XDG_RUNTIME_DIR/kelo-typing.sock" ] || fail "the running copy does not listen for a second copy"
second_copy_ends_at_once
kill -0 "$game_pid" 2>/dev/null || fail "the first copy ended when the second started"
"${probe[@]}" find "Ke-Lo Typing" 5 "$game_pid" > /dev/null || fail "the first copy's window went away"

echo "-- a close request"
"${probe[@]}" close "Ke-Lo Typing" || fail "could not send the close request"
wait_for_exit "$game_pid" 5
[ -n "$ended" ] || fail "the game did not end within 5 s of the close request"
[ "$ended" -eq 0 ] || fail "the game ended with status $ended"
game_pid=""
echo PASS
