# What the desktop end-to-end scripts share, sourced once `source_dir` is set: a private
# X server, a scratch folder with private HOME and runtime folders, clean-up of the
# processes a script started, and waits on the game's window. It is no test of its own
# (ctest runs tests/e2e/*.sh). A script calls, in this order:
#   run_under_xvfb SIZE "$0" "$@"   (e.g. 1920x1080)
#   begin_session

probe=(/usr/bin/python3 "$source_dir/tests/e2e/desktop_x11.py")

# Runs the calling script again under an X server of its own, unless it already runs
# under one.
run_under_xvfb() {
  local size="$1" script="$2"
  shift 2
  if [ -z "${KELO_UNDER_XVFB:-}" ]; then
    exec env KELO_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 ${size}x24" bash "$script" "$@"
  fi
}

# The game's process is killed on exit; helpers the script started (a lock holder, a
# window manager) go into helper_pids and are asked to end.
game_pid=""
helper_pids=()
fail() { echo "FAIL: $*" >&2; exit 1; }

end_session() {
  local pid
  if [ -n "$game_pid" ] && kill -0 "$game_pid" 2>/dev/null; then kill -KILL "$game_pid"; fi
  for pid in "${helper_pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}

# Makes $work with private runtime and home folders, and cleans up on exit.
begin_session() {
  work="$(mktemp -d)"
  trap end_session EXIT
  mkdir -m 700 "$work/runtime" "$work/home"
  export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
  # In a sanitizer build the X11 libraries, which SDL loads and unloads itself, leave
  # allocations behind that the leak checker cannot attribute; the unit tests check leaks.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
}

# Returns once process $1 has ended or $2 seconds have passed; the status is in $ended.
wait_for_exit() {
  local pid="$1" deadline=$((SECONDS + $2))
  ended=""
  while [ $SECONDS -lt "$deadline" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" && ended=0 || ended=$?
      return
    fi
    sleep 0.1
  done
}

# Saves the window's picture to $1 once it has stopped changing (the wipe-in is over).
wait_for_still_picture() {
  "${probe[@]}" grab "Ke-Lo Typing" "$1"
  for _ in $(seq 30); do
    sleep 0.3
    "${probe[@]}" grab "Ke-Lo Typing" "$work/still.ppm"
    # The window is black until the font has loaded: that is no picture yet.
    [ "$("${probe[@]}" differs "$1" "$work/still.ppm")" = "0.000" ] &&
      [ "$("${probe[@]}" colours "$1")" -gt 1 ] && return
    mv "$work/still.ppm" "$1"
  done
  fail "the picture never stood still"
}

# The loudest 16-bit sample in the audio file $1 that SDL's disk driver wrote.
loudest_sample() {
  /usr/bin/python3 -c 'import array, sys
samples = array.array("h")
data = open(sys.argv[1], "rb").read()
samples.frombytes(data[:len(data) // 2 * 2])
print(max((abs(s) for s in samples), default=0))' "$1"
}
