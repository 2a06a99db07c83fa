#!/usr/bin/env bash
# Installs what the game needs, builds it and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"${KELO_JOBS:-2}" --target kelo-typing kelo_sounds
# The game finds its "snd" folder in the current directory; the build folder has one.
cd "$build"
exec ./kelo-typing
