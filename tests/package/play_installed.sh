#!/usr/bin/env bash
# Starts an installed kelo-typing under a private X server, from a working folder that
# holds an empty snd/ (which must not hide the installed sounds), with private HOME and
# XDG folders and SDL's disk audio driver. Passes when the window comes up, Space on the
# title makes sound, and a close request ends the game with status 0.
# Usage: play_installed.sh GAME SOURCE_DIR
set -euo pipefail
game="$(realpath "$1")"
source_dir="$(cd "$2" && pwd)"
source "$source_dir/tests/e2e/desktop_session.bash"
run_under_xvfb 640x480 "$0" "$@"
begin_session
mkdir -p "$work/start/snd"
export XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" SDL_AUDIODRIVER=disk \
  SDL_DISKAUDIOFILE="$work/audio.raw"
cd "$work/start"

echo "-- $game, started in a folder with an empty snd/"
"$game" &
game_pid=$!
"${probe[@]}" find "Ke-Lo Typing" 30 "$game_pid" || fail "no window"

# The title takes Space only once its sounds are open and its wipe-in is over: press
# until the sound of the key is heard.
loudest=0
for _ in $(seq 12); do
  "${probe[@]}" press "Ke-Lo Typing" space
  sleep 0.7
  [ -e "$SDL_DISKAUDIOFILE" ] && loudest="$(loudest_sample "$SDL_DISKAUDIOFILE")"
  [ "$loudest" -gt 1000 ] && break
done
echo "loudest sample after Space: $loudest"
[ "$loudest" -gt 1000 ] || fail "the installed game made no sound"

"${probe[@]}" close "Ke-Lo Typing" || fail "could not send the close request"
for _ in $(seq 50); do
  kill -0 "$game_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$game_pid" 2>/dev/null && fail "the game did not end within 5 s of the close request"
status=0
wait "$game_pid" || status=$?
game_pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status"
echo PASS
