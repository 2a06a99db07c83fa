#!/bin/bash
# kelo-sim's command line: help, rejected options and script lines (exit 2, one line on
# stderr, nothing written), and the sound log of start-up.
set -u
build=$1
sim="$build/kelo-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$sim" --help >"$work/help.txt" || fail "--help exited non-zero"
grep -q -- '--png-frames' "$work/help.txt" || fail "--help does not list --png-frames"
grep -q 'exit 3' "$work/help.txt" || fail "--help does not explain the stall and limit exit"
grep -q '4 a record save failed' "$work/help.txt" || fail "--help does not document exit 4"

expect_rejected() {
    local why=$1; shift
    rm -rf "$work/out"; mkdir "$work/out"
    "$sim" --trace "$work/out/t.json" --sound-log "$work/out/s.log" --png "$work/out/png" \
        --records-dir "$work/out" "$@" >"$work/stdout" 2>"$work/stderr"
    local rc=$?
    [ $rc -eq 2 ] || fail "$why: exit $rc, expected 2"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "$why: stderr is not one line: $(cat "$work/stderr")"
    [ -z "$(ls -A "$work/out")" ] || fail "$why: wrote $(ls -A "$work/out")"
}

expect_rejected "unknown option" --fly
expect_rejected "missing value" --frames
expect_rejected "course out of range" --course 9
expect_rejected "bad start" --start credits
expect_rejected "bad bot" --bot fast
printf '1 down SPACE\n2 smash SPACE\n' >"$work/bad.txt"
expect_rejected "bad script line" --input "$work/bad.txt"
grep -q 'line 2' "$work/stderr" || fail "bad script line: stderr does not name line 2"
expect_rejected "missing script" --input "$work/none.txt"

# Inputs that once ran out of memory, hung, overflowed or flooded the terminal. Each is
# refused at once (the timeout only stops a hang from stalling the suite).
expect_rejected_at_once() {
    local why=$1; shift
    timeout 20 "$sim" --records-dir "$work" "$@" >"$work/stdout" 2>"$work/stderr"
    local rc=$?
    [ $rc -eq 2 ] || fail "$why: exit $rc, expected 2"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "$why: stderr is not one line"
    [ "$(wc -c <"$work/stderr")" -lt 300 ] || fail "$why: $(wc -c <"$work/stderr") bytes on stderr"
}
expect_rejected_at_once "endless device" --input /dev/zero
head -c 5000000 /dev/zero | tr '\0' '#' >"$work/big.txt"
expect_rejected_at_once "a script over 4 MiB" --input "$work/big.txt"
mkfifo "$work/fifo"
expect_rejected_at_once "FIFO without a writer" --input "$work/fifo"
printf '9223372036854775807 tap A\n' >"$work/overflow.txt"
expect_rejected_at_once "frame beyond the limit" --input "$work/overflow.txt"
{ printf '1 tap '; head -c 1000000 /dev/zero | tr '\0' 'Q'; printf '\n'; } >"$work/long.txt"
expect_rejected_at_once "a 1 MB line" --input "$work/long.txt"
printf '1 tap \001\000\377\n' >"$work/binary.txt"
expect_rejected_at_once "binary bytes" --input "$work/binary.txt"
LC_ALL=C grep -q '[^[:print:]]' "$work/stderr" && fail "binary bytes: echoed raw: $(cat -v "$work/stderr")"

"$sim" --records-dir "$work" --frames 3 --trace /dev/null --sound-log /dev/null || fail "outputs to /dev/null: exit $?"

# Start-up sends the nine close commands before the first frame.
"$sim" --sound-log "$work/s.log" --frames 0 --records-dir "$work" || fail "plain run failed"
head -1 "$work/s.log" | grep -qP '^0\tclose wavTip$' || fail "first sound line: $(head -1 "$work/s.log")"
sed -n 9p "$work/s.log" | grep -qP '^0\tclose midChime$' || fail "ninth sound line: $(sed -n 9p "$work/s.log")"
echo "sim_cli: ok"
