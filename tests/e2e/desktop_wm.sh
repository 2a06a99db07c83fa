#!/usr/bin/env bash
# The desktop game under a private X server with a window manager (openbox): F11 makes
# the window fullscreen through the window manager and the picture is then enlarged by
# 3 and centred on black, F11 again gives the 800 x 600 window back, and a display
# choice that ends where it started is not written to the settings file.
# Usage: desktop_wm.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$2" && pwd)"
game="$build/kelo-typing"
source "$source_dir/tests/e2e/desktop_session.bash"
run_under_xvfb 1920x1080 "$0" "$@"
begin_session
export SDL_AUDIODRIVER=dummy
cd "$build"

openbox --sm-disable > "$work/wm.log" 2>&1 &
helper_pids+=($!)
for _ in $(seq 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done

"$game" &
game_pid=$!
window="$("${probe[@]}" find "Ke-Lo Typing" 20 "$game_pid")" || fail "$window"
echo "$window"
[[ "$window" == "size=800x600 "* ]] || fail "the window is not 800 x 600"

# Waits for the still title at zoom 2 and keeps its 1x picture in $work/one.ppm.
"${probe[@]}" grab "Ke-Lo Typing" "$work/a.ppm"
for _ in $(seq 30); do
  sleep 0.3
  "${probe[@]}" grab "Ke-Lo Typing" "$work/b.ppm"
  [ "$("${probe[@]}" differs "$work/a.ppm" "$work/b.ppm")" = "0.000" ] && break
  mv "$work/b.ppm" "$work/a.ppm"
done
"${probe[@]}" shrink "$work/a.ppm" 2 "$work/one.ppm"
result="$("${probe[@]}" enlarged "$work/one.ppm" "$work/a.ppm")"
[ "$result" = "zoom=2 x=0 y=0 wrong=0" ] || fail "the 800 x 600 window is not a zoom-2 picture: $result"

echo "-- F11 through the window manager"
"${probe[@]}" press "Ke-Lo Typing" F11
sleep 1.5
[ "$("${probe[@]}" size "Ke-Lo Typing")" = "1920x1080" ] || fail "F11 left the window at $("${probe[@]}" size "Ke-Lo Typing")"
"${probe[@]}" grab "Ke-Lo Typing" "$work/full.ppm"
result="$("${probe[@]}" enlarged "$work/one.ppm" "$work/full.ppm")"
echo "$result"
[ "$result" = "zoom=3 x=360 y=90 wrong=0" ] || fail "fullscreen picture: $result"
"${probe[@]}" press "Ke-Lo Typing" F11
sleep 1.5
[ "$("${probe[@]}" size "Ke-Lo Typing")" = "800x600" ] || fail "F11 again left the window at $("${probe[@]}" size "Ke-Lo Typing")"

echo "-- Ctrl+Q; nothing was chosen, so nothing is remembered"
"${probe[@]}" press "Ke-Lo Typing" Control_L+q
for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
wait "$game_pid" && status=0 || status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status"
[ ! -e "$HOME/.config/kelo-typing/settings.ini" ] || fail "settings written: $(cat "$HOME/.config/kelo-typing/settings.ini")"
echo PASS
