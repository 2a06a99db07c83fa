#!/usr/bin/env bash
# Installs what the game needs, builds it and starts it; arguments go to the game
# (kelo-typing --help lists them). Run it as the player: only installing packages asks
# for sudo. Started through sudo, it installs as root and then builds and plays as the
# user who called sudo ($SUDO_USER). Any failure ends with one line saying what to do.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Its own build folder: the test suite's build/ may belong to root.
build="$root/build-play"

hint=""
trap 'status=$?; [ $status -eq 0 ] || [ -z "$hint" ] || echo "play.sh: $hint" >&2' EXIT

# The command that runs what follows as the player.
as_player=()
if [ "$(id -u)" -eq 0 ]; then
  if [ -z "${SUDO_USER:-}" ] || [ "$SUDO_USER" = root ]; then
    hint="the game is not played as root: run scripts/play.sh as the user who plays (it asks for sudo only to install packages)."
    exit 1
  fi
  player_uid="$(id -u "$SUDO_USER")"
  player_home="$(getent passwd "$SUDO_USER" | cut -d: -f6)"
  # sudo keeps DISPLAY and XAUTHORITY; the sound server is found through the player's
  # runtime folder.
  player_env=(HOME="$player_home" USER="$SUDO_USER" LOGNAME="$SUDO_USER" PATH="$PATH")
  for variable in DISPLAY XAUTHORITY WAYLAND_DISPLAY LANG LC_ALL KELO_JOBS; do
    [ -n "${!variable:-}" ] && player_env+=("$variable=${!variable}")
  done
  [ -d "/run/user/$player_uid" ] && player_env+=(XDG_RUNTIME_DIR="/run/user/$player_uid")
  as_player=(runuser -u "$SUDO_USER" -- env -i "${player_env[@]}")
fi

# install-deps.sh ends its own failures with what to do.
bash "$root/scripts/install-deps.sh"
hint="the build failed (errors above); after fixing them, or with a fresh build folder (rm -rf $build), run scripts/play.sh again."
"${as_player[@]}" cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELO_TESTS=OFF
"${as_player[@]}" cmake --build "$build" -j"${KELO_JOBS:-2}" --target kelo-typing kelo_sounds kelo_catalogues
hint=""
status=0
"${as_player[@]}" "$build/kelo-typing" "$@" || status=$?
case $status in
  0) ;;
  1) hint="Ke-Lo Typing could not start (the line above says why): it needs a desktop session, and only one copy runs at a time." ;;
  2) hint="see $build/kelo-typing --help for the options." ;;
  *) hint="Ke-Lo Typing ended unexpectedly (status $status); please report it with the output above." ;;
esac
exit $status
