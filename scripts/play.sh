#!/usr/bin/env bash
# Installs what the game needs, builds it and starts it; arguments go to the game
# (kelo-typing --help lists them). Any failure ends with one line saying what to do.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

hint=""
trap 'status=$?; [ $status -eq 0 ] || [ -z "$hint" ] || echo "play.sh: $hint" >&2' EXIT

# install-deps.sh ends its own failures with what to do.
bash "$root/scripts/install-deps.sh"
hint="the build failed (errors above); after fixing them, or with a fresh build folder (rm -rf $build), run scripts/play.sh again."
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"${KELO_JOBS:-2}" --target kelo-typing kelo_sounds
# The build folder is a portable copy: the game takes the snd/ beside it.
hint=""
status=0
"$build/kelo-typing" "$@" || status=$?
case $status in
  0) ;;
  1) hint="Ke-Lo Typing could not start (the line above says why): it needs a desktop session, and only one copy runs at a time." ;;
  2) hint="see $build/kelo-typing --help for the options." ;;
  *) hint="Ke-Lo Typing ended unexpectedly (status $status); please report it with the output above." ;;
esac
exit $status
