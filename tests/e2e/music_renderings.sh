#!/bin/bash
# The desktop's music plays from its renderings without loading the synthesizer library;
# a copy of the game whose bgm.ogg is missing synthesises bgm.mid live and says so once
# on stderr. Runs kelo-audio-cost on SDL's dummy audio driver (the disk driver talks on stderr).
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export SDL_AUDIODRIVER=dummy

line=$("$build/kelo-audio-cost" music 1 2>"$work/stderr") || fail "kelo-audio-cost exited non-zero"
echo "renderings: $line"
[[ "$line" == *" fluidsynth=0"* ]] || fail "the synthesizer library was loaded: $line"
[ ! -s "$work/stderr" ] || fail "unexpected stderr: $(cat "$work/stderr")"

mkdir "$work/game"
cp "$build/kelo-audio-cost" "$work/game/"
cp -r "$build/snd" "$work/game/snd"
rm "$work/game/snd/bgm.ogg"
line=$("$work/game/kelo-audio-cost" music 1 2>"$work/stderr") || fail "kelo-audio-cost exited non-zero"
echo "bgm.ogg missing: $line"
cat "$work/stderr"
[[ "$line" == *" fluidsynth=1"* ]] || fail "bgm.mid was not synthesised: $line"
grep -c . "$work/stderr" | grep -qx 1 || fail "expected one line on stderr"
grep -qx "kelo-typing: the rendering $work/game/snd/bgm.ogg is missing: synthesising $work/game/snd/bgm.mid live" \
  "$work/stderr" || fail "stderr does not say the rendering is missing"
echo "PASS"
