#!/usr/bin/env bash
# Prints what the desktop's sound costs: the median of several runs of kelo-audio-cost
# per scenario (CPU in % of one core, the audio thread's alone and per wake in µs, threads,
# peak and current resident memory), plus the peak resident memory /usr/bin/time saw. Figures only; nothing passes or fails.
#   scripts/measure-audio.sh [BUILD_DIR] [RUNS] [SECONDS]
set -euo pipefail
build="${1:-build}"
runs="${2:-5}"
seconds="${3:-5}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-disk}"
export SDL_DISKAUDIOFILE="${SDL_DISKAUDIOFILE:-/dev/null}"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
field() { tr ' ' '\n' | sed -n "s/^$1=//p"; }

cd "$build"
for scenario in idle music run; do
  lines=()
  for _ in $(seq "$runs"); do
    lines+=("$(/usr/bin/time -f "time_maxrss_kib=%M" ./kelo-audio-cost "$scenario" "$seconds" 2>&1 | tr '\n' ' ')")
  done
  printf '%-6s' "$scenario"
  for name in cpu_percent audio_thread_percent audio_us_per_wake threads vmhwm_kib vmrss_kib time_maxrss_kib; do
    printf ' %s=%s' "$name" "$(printf '%s\n' "${lines[@]}" | field "$name" | median)"
  done
  printf '  (median of %s runs of %s s)\n' "$runs" "$seconds"
done
