#!/usr/bin/env bash
# Installs what the game needs, then builds and runs the whole test suite headless:
# once as a normal build and once with AddressSanitizer and UndefinedBehaviorSanitizer,
# and builds and checks the .deb in between.
# Exits non-zero when anything fails.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="${KELO_JOBS:-2}"

bash "$root/scripts/install-deps.sh" --test

# No desktop and no sound card: the tests that need a display start their own X server.
unset DISPLAY WAYLAND_DISPLAY
export SDL_AUDIODRIVER=dummy

build_and_test() {
  local build="$1"
  shift
  echo "== $(basename "$build")"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELO_TESTS=ON "$@"
  cmake --build "$build" -j"$jobs"
  (cd "$build" && ctest --output-on-failure -j"$jobs")
}

build_and_test "$root/build" -DKELO_SANITIZE=OFF

# The .deb, checked and played from a temporary root without installing it.
echo "== build-deb"
bash "$root/scripts/make-deb.sh" "$root/build-deb"
bash "$root/tests/package/deb_check.sh" "$root"/build-deb/kelo-typing_*.deb "$root"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" \
LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  build_and_test "$root/build-sanitize" -DKELO_SANITIZE=ON

# The record codec and the replay reader under libFuzzer for 60 s each, from the committed corpora; new inputs go to
# a scratch folder so the corpus stays as committed.
if command -v clang++ >/dev/null; then
  echo "== fuzz"
  cmake -S "$root/fuzz" -B "$root/build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$root/build-fuzz" -j"$jobs"
  scratch="$(mktemp -d)"
  "$root/build-fuzz/record_fuzz" -max_total_time=60 -print_final_stats=1 "$scratch" "$root/fuzz/corpus/records"
  rm -rf "$scratch"
  scratch="$(mktemp -d)"
  "$root/build-fuzz/replay_fuzz" -max_total_time=60 -print_final_stats=1 "$scratch" "$root/fuzz/corpus/replays"
  rm -rf "$scratch"
fi
