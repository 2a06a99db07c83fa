#!/usr/bin/env bash
# Builds the Debian package (kelo-typing_<version>_<arch>.deb) in its own build folder,
# laid out as Debian's games are: /usr/games/kelo-typing, /usr/share/games/kelo-typing/snd.
# Compiled with the distribution's flags (dpkg-buildflags, every hardening feature:
# fortify, stack protector, relro, bindnow) and stripped as dh_strip would.
# Needs dpkg-dev (dpkg-buildflags; dpkg-shlibdeps finds the library dependencies).
# Usage: scripts/make-deb.sh [BUILD_DIR]   (default: build-deb beside the sources)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-deb}"

# From the sources, so that -ffile-prefix-map maps them to ".".
cd "$root"
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
flag() { dpkg-buildflags --get "$1"; }
# CMake reads no CPPFLAGS: the preprocessor's flags (_FORTIFY_SOURCE) go with the compiler's.
cxxflags="$(flag CPPFLAGS) $(flag CXXFLAGS)"
ldflags="$(flag LDFLAGS)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELO_TESTS=OFF -DKELO_SANITIZE=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_BINDIR=games -DCMAKE_INSTALL_DATADIR=share/games
cmake --build "$build" -j"${KELO_JOBS:-2}"
# The sections no player needs; cpack strips the symbols.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$build/kelo-typing"
rm -f "$build"/kelo-typing_*.deb
(cd "$build" && cpack -G DEB)
