#!/usr/bin/env bash
# Builds the Debian package (kelo-typing_<version>_<arch>.deb) in its own build folder,
# laid out as Debian's games are: /usr/games/kelo-typing, /usr/share/games/kelo-typing/snd.
# Needs dpkg-dev (dpkg-shlibdeps finds the library dependencies).
# Usage: scripts/make-deb.sh [BUILD_DIR]   (default: build-deb beside the sources)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-deb}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELO_TESTS=OFF -DKELO_SANITIZE=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_BINDIR=games -DCMAKE_INSTALL_DATADIR=share/games
cmake --build "$build" -j"${KELO_JOBS:-2}"
rm -f "$build"/kelo-typing_*.deb
(cd "$build" && cpack -G DEB)
