#!/usr/bin/env bash
# Checks the .deb without installing it: its control fields (name, version from
# CMakeLists.txt, section, the font and the shared libraries among its dependencies, the
# synthesizer and soundfont only recommended), exactly the expected files in Debian's
# games layout, what lintian --pedantic says (no error or warning) and
# desktop-file-validate (not even a hint), then unpacks it with dpkg -x into a temporary
# root and plays the unpacked game (play_installed.sh).
# Usage: deb_check.sh DEB SOURCE_DIR
set -euo pipefail
deb="$(realpath "$1")"
source_dir="$(cd "$2" && pwd)"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
version="$(sed -n 's/^project(KeLoTyping VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")"
echo "-- $(basename "$deb"): $(field Package) $(field Version), section $(field Section)"
[ "$(field Package)" = kelo-typing ] || fail "package name $(field Package)"
[ -n "$version" ] && [ "$(field Version)" = "$version" ] || fail "version $(field Version), CMakeLists.txt has $version"
[ "$(field Section)" = games ] || fail "section $(field Section)"
depends="$(field Depends)"
echo "Depends: $depends"
for needed in fonts-ipafont-gothic libsdl2-2.0-0 libsdl2-ttf-2.0-0 libvorbisfile3 libfontconfig1; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed"
done
[[ "$depends" != *fluidsynth* && "$depends" != *soundfont* ]] || fail "Depends names the synthesizer or a soundfont"
recommends="$(field Recommends)"
echo "Recommends: $recommends"
for wanted in libfluidsynth3 timgm6mb-soundfont; do
  [[ ", $recommends," == *", $wanted"[\ ,]* ]] || fail "Recommends lacks $wanted"
done

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||' | LC_ALL=C sort > "$root.files"
trap 'rm -rf "$root" "$root.files" "$root.want"' EXIT
bash "$source_dir/tests/package/expected_files.sh" games share/games share share/man \
  "$(sed -n 's/^set(KELO_APP_ID "\([^"]*\)".*/\1/p' "$source_dir/dist/Install.cmake")" > "$root.want"
diff -u "$root.want" "$root.files" || fail "the package's files differ from the expected ones"

# Information tags are shown but pass: the title's "Plase Wait..." is the game's own text.
lintian --pedantic --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian reports errors or warnings"

dpkg -x "$deb" "$root"
desktop="$root/usr/share/applications/kelo-typing.desktop"
validation="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate: $validation"
[ -z "$validation" ] || fail "desktop-file-validate has remarks: $validation"
bash "$source_dir/tests/package/play_installed.sh" "$root/usr/games/kelo-typing" "$source_dir"
