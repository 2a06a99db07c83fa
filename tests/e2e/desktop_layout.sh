#!/usr/bin/env bash
# The desktop reads which keys type "," and "." from the X server's own keymap: under a
# private X server (US layout) the reader finds "," and "." on their US keys.
# The table test in DesktopLayoutTest.cpp covers other layouts from xkb-data.
# Usage: desktop_layout.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"

if [ -z "${KELO_UNDER_XVFB:-}" ]; then
  exec env KELO_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 640x480x24" bash "$0" "$@"
fi
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
KELO_TEST_X11_LAYOUT=us SDL_VIDEODRIVER=dummy "$build/tests/kelo_unit_tests" \
  --gtest_filter='DesktopX11Layout.*' > "$log" 2>&1 || { cat "$log"; echo "FAIL: reading the server's layout" >&2; exit 1; }
grep -q "1 test.*ran" "$log" || { cat "$log"; echo "FAIL: no test ran" >&2; exit 1; }
if grep -q "SKIPPED" "$log"; then cat "$log"; echo "FAIL: the test was skipped" >&2; exit 1; fi
echo PASS
