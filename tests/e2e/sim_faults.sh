#!/bin/bash
# kelo-sim against damaged record files and outputs that cannot be written, one table:
# - a record file that does not load whole is kept as kelodt.hsc.damaged-<time> with its
#   bytes, said in one line naming the damage, and replaced by a whole file; a whole file
#   is replaced without a word;
# - a trace, sound log or PNG folder on a full device ends the simulation with exit 5 and
#   one line naming the option, and leaves no empty PNG file.
# The full-filesystem rows need root (a small tmpfs) and are skipped without it.
set -u
build=$1
work=$(mktemp -d)
cleanup() {
  mountpoint -q "$work/full" && umount "$work/full"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/full"
full=""
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=96k tmpfs "$work/full" 2>/dev/null; then
  full="$work/full"
fi
python3 - "$build/kelo-sim" "$work" "$full" <<'PY'
import glob, os, subprocess, sys

sim, work, full = sys.argv[1], sys.argv[2], sys.argv[3]

def field(data, index, div9):
    value = 0
    for b in data[6 * index:6 * index + 6]:
        value = value * 10 + ((b - 32) // 9 if div9 else (b - 32) % 10)
    return value

def whole(data):
    if len(data) != 1362 or field(data, 0, False) != field(data, 226, True):
        return False
    for g in range(45):
        c, p = divmod(g, 5)
        m = 5 * (5 * (8 - c) + 4 - p)
        if (field(data, 5 * g + 2, False), field(data, 5 * g + 3, False)) != (field(data, m + 4, True), field(data, m + 5, True)):
            return False
    return True

def run(args, folder):
    done = subprocess.run([sim, "--records-dir", folder] + args, capture_output=True, text=True)
    return done.returncode, [line for line in done.stderr.splitlines() if line]

base = os.path.join(work, "base")
os.mkdir(base)
assert run(["--start", "run", "--bot", "12", "--runs", "1"], base)[0] == 0
good = open(os.path.join(base, "kelodt.hsc"), "rb").read()
assert whole(good)

def bump(data, offset):
    """The byte at offset holding the next digit in the mod-10 scheme."""
    out = bytearray(data)
    out[offset] = 32 + ((data[offset] - 32) % 10 + 1) % 10
    return bytes(out)

record_cases = [
    ("whole file", good, None),
    ("one byte cut", good[:-1], "it is not 1362 bytes long"),
    ("bytes added", good + b"xyz", "it is not 1362 bytes long"),
    ("header changed", bump(good, 0), "its header and trailer disagree"),
    ("a place's time changed", bump(good, 12), "a place failed its mirror check"),
]
failures = passed = 0

def check(name, ok, detail):
    global failures, passed
    print(f"{name}: {'ok' if ok else 'FAILED ' + detail}")
    failures += not ok
    passed += ok

for name, data, reason in record_cases:
    folder = os.path.join(work, name.replace(" ", "-").replace("'", ""))
    os.mkdir(folder)
    open(os.path.join(folder, "kelodt.hsc"), "wb").write(data)
    code, said = run(["--bot", "12", "--runs", "1"], folder)
    kept = glob.glob(os.path.join(folder, "kelodt.hsc.damaged-*"))
    now = open(os.path.join(folder, "kelodt.hsc"), "rb").read()
    if reason is None:
        ok = code == 0 and said == [] and kept == [] and whole(now)
    else:
        ok = (code == 0 and len(said) == 1 and reason in said[0] and len(kept) == 1 and kept[0] in said[0]
              and open(kept[0], "rb").read() == data and whole(now))
    check(name, ok, f"exit {code}, said {said}, kept {kept}, now {len(now)} bytes")

output_cases = [("trace on /dev/full", ["--trace", "/dev/full"], "--trace"),
                ("sound log on /dev/full", ["--sound-log", "/dev/full"], "--sound-log")]
if full:
    output_cases += [("trace on a full disk", ["--trace", os.path.join(full, "run.jsonl")], "--trace"),
                     ("PNGs on a full disk", ["--png", os.path.join(full, "png")], "--png")]
else:
    print("full-disk rows skipped: no small filesystem could be mounted")
for name, args, option in output_cases:
    folder = os.path.join(work, "out-" + str(abs(hash(name))))
    os.mkdir(folder)
    if full:
        for leftover in glob.glob(os.path.join(full, "*")):
            subprocess.run(["rm", "-rf", leftover], check=True)
    code, said = run(["--start", "run", "--bot", "12", "--runs", "1", "--frames", "400"] + args, folder)
    empty_pngs = [p for p in glob.glob(os.path.join(full or work, "png", "*.png")) if os.path.getsize(p) == 0]
    ok = code == 5 and len(said) == 1 and said[0].startswith("kelo-sim: " + option + ": cannot write") and not empty_pngs
    check(name, ok, f"exit {code}, said {said}, {len(empty_pngs)} empty PNGs")
print(f"{passed} passed, {failures} failed")
sys.exit(1 if failures else 0)
PY
