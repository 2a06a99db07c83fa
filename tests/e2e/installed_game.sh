#!/usr/bin/env bash
# The build installed as a packager would (cmake --install into a fresh prefix): exactly
# the expected files in the configured folders, a valid menu entry and metainfo, a man
# page without warnings, and the installed game plays its installed sounds even when
# started from a folder with an empty snd/.
# Usage: installed_game.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(cd "$2" && pwd)"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

read -r bindir datadir datarootdir mandir app_id install_sim < "$build/install-layout.txt"
sim=""
[ "$install_sim" = ON ] && sim=with-sim

echo "-- cmake --install into $prefix"
cmake --install "$build" --prefix "$prefix" > /dev/null
(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) > "$prefix.files"
trap 'rm -rf "$prefix" "$prefix.files" "$prefix.want"' EXIT
bash "$source_dir/tests/package/expected_files.sh" "$bindir" "$datadir" "$datarootdir" "$mandir" "$app_id" $sim > "$prefix.want"
diff -u "$prefix.want" "$prefix.files" || fail "the installed files differ from the expected ones"

echo "-- validators"
report="$(desktop-file-validate "$prefix/$datarootdir/applications/kelo-typing.desktop")" ||
  fail "desktop-file-validate: $report"
appstreamcli validate --no-net "$prefix/$datarootdir/metainfo/"*.metainfo.xml || fail "appstreamcli validate"
warnings="$(zcat "$prefix/$mandir/man6/kelo-typing.6.gz" | groff -man -Tutf8 -ww 2>&1 > /dev/null)"
[ -z "$warnings" ] || fail "man page: $warnings"

bash "$source_dir/tests/package/play_installed.sh" "$prefix/$bindir/kelo-typing" "$source_dir"
