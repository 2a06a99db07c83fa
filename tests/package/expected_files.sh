#!/usr/bin/env bash
# Prints the files an install holds, one path a line relative to the prefix, sorted.
# Usage: expected_files.sh BINDIR DATADIR DATAROOTDIR MANDIR APP_ID [with-sim]
set -euo pipefail
bindir="$1" datadir="$2" datarootdir="$3" mandir="$4" app_id="$5"
{
  echo "$bindir/kelo-typing"
  [ "${6:-}" = with-sim ] && echo "$bindir/kelo-sim"
  for sound in bgm.mid bgm.ogg bgm2.mid bgm2.ogg chime.mid chime.ogg dec.wav extend.wav goal.wav sel.wav start.wav \
    tap.wav; do
    echo "$datadir/kelo-typing/snd/$sound"
  done
  echo "$datarootdir/applications/kelo-typing.desktop"
  for size in 16 22 24 32 48 64 128 256; do
    echo "$datarootdir/icons/hicolor/${size}x$size/apps/kelo-typing.png"
  done
  echo "$datarootdir/icons/hicolor/scalable/apps/kelo-typing.svg"
  echo "$datarootdir/metainfo/$app_id.metainfo.xml"
  echo "$mandir/man6/kelo-typing.6.gz"
  echo "$datarootdir/doc/kelo-typing/copyright"
  echo "$datarootdir/doc/kelo-typing/changelog.gz"
  echo "$datarootdir/locale/en/LC_MESSAGES/kelo-typing.mo"
} | LC_ALL=C sort
