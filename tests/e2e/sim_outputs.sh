#!/bin/bash
# kelo-sim's files: the trace (a header naming its format and the game's version, then
# JSON lines with every game state field), the sound log,
# PNG frames, --frames stopping exactly, the record file in --records-dir, and
# identical output for identical seeds.
set -u
build=$1
sim="$build/kelo-sim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$sim" --bot 8 --runs 1 --seed 5 --records-dir "$work" --trace "$work/t.json" --sound-log "$work/s.log" \
    --png "$work/png" --png-frames 1,40,every:1000 2>"$work/err" && fail "every:K inside a list was accepted"
"$sim" --bot 8 --runs 1 --seed 5 --records-dir "$work" --trace "$work/t.json" --sound-log "$work/s.log" \
    --png "$work/png" --png-frames every:100 || fail "bot run exited $?"
[ "$(stat -c %s "$work/kelodt.hsc")" -eq 1362 ] || fail "record file missing or not 1362 bytes"

version=$(sed -n 's/^project(KeLoTyping VERSION \([^ ]*\) .*/\1/p' "$2/CMakeLists.txt")
python3 - "$work" "$version" <<'PY' || exit 1
import json, os, struct, sys, zlib
work, version = sys.argv[1:]
state_fields = """quitRequested lastFrameTime loopIndex courseIndex difficulty openCourses
clearMark courseRecords courseNotes courseLength checkpointDistance stageTime difficultyRating
backColour starTint starBand bgmIndex keyPoolSize handPeriodTarget curveRate signKind signTimer
distance speed elapsedTime stageIndex countdown extendTimer frameStartTime frameEndTime fpsSum
fpsFrames targetQueue targetKey keyLatch handPeriod handWait keyTally missShake queueJitter
hitFlash hitFlashSlot letterSpacing letterSpacingTarget queueScroll warpCharge warpLevel""".split()
run_fields = "endTimer newRank loadLevel ringSlot frameTime heldKey".split()

def fail(msg):
    print("FAIL:", msg); sys.exit(1)

header, *lines = [l.rstrip("\n") for l in open(os.path.join(work, "t.json"), encoding="utf-8")]
if header != f'{{"format": 2, "game": "{version}"}}':
    fail(f"trace header {header}")
lines = [json.loads(l) for l in lines]
screens = []
for line in lines:
    expected = ["frame", "clock", "screen"] + state_fields + (run_fields if line["screen"] == "run" else [])
    if list(line.keys()) != expected:
        fail(f"frame {line.get('frame')}: keys differ: {sorted(set(line) ^ set(expected))}")
    if not screens or screens[-1] != line["screen"]:
        screens.append(line["screen"])
if screens != ["title", "select", "run"]:
    fail(f"screens {screens}")
frames = [l["frame"] for l in lines]
if frames != sorted(frames) or frames[0] < 1:
    fail("frame numbers are not rising from 1")
first = lines[0]
if first["courseNotes"][3] != ["直線のみ", "左右交互に打つ"]:
    fail(f"courseNotes[3] = {first['courseNotes'][3]}")
if set(first["courseRecords"][0]) != {"times", "speeds"} or len(first["courseRecords"]) != 9:
    fail("courseRecords shape")
goal = [l for l in lines if l["screen"] == "run" and l["courseRecords"][0]["times"][0] > 0]
if not goal or goal[0]["newRank"] != 1:
    fail("no goal recorded with rank 1")
for l in lines:
    if l["clock"] != l["lastFrameTime"] % 2**32:
        fail(f"frame {l['frame']}: clock {l['clock']} is not the end of its wait {l['lastFrameTime']}")

sounds = [l.rstrip("\n").split("\t") for l in open(os.path.join(work, "s.log"), encoding="utf-8")]
if any(len(s) != 2 or not s[0].isdigit() for s in sounds):
    fail("sound log lines are not FRAME<TAB>COMMAND")
commands = [c for _, c in sounds]
if commands[:9] != ["close wavTip", "close wavSel", "close wavDec", "close wavExtend", "close wavGop",
                    "close wavGoal", "close midBGM1", "close midBGM2", "close midChime"]:
    fail(f"start-up commands {commands[:9]}")
if commands.count("open snd/tap.wav Alias wavTip") != 1 or commands.count("play wavGoal notify from 0") != 1:
    fail("sounds not opened once or no goal sound")

def png_size(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        fail(f"{path} is not a PNG")
    return struct.unpack(">II", data[16:24])

def png_pixel(path, x, y):
    data = open(path, "rb").read()
    width, height = png_size(path)
    bit_depth, colour_type = data[24], data[25]
    if bit_depth != 8 or colour_type != 2:
        fail(f"{path}: expected 8-bit RGB")
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, prev = [], bytearray(stride)
    for r in range(height):
        kind, row = raw[r * (stride + 1)], bytearray(raw[r * (stride + 1) + 1:(r + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if kind == 1: row[i] = (row[i] + a) & 255
            elif kind == 2: row[i] = (row[i] + b) & 255
            elif kind == 3: row[i] = (row[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(row)
        prev = row
    return tuple(rows[y][x * 3:x * 3 + 3])

pngs = sorted(os.listdir(os.path.join(work, "png")))
wanted = [f"frame-{f:06d}.png" for f in frames if f % 100 == 0]
if pngs != sorted(set(wanted)):
    fail(f"png files {pngs[:5]}... expected {wanted[:5]}...")
for name in pngs:
    if png_size(os.path.join(work, "png", name)) != (400, 300):
        fail(f"{name} is not 400x300")
# The course-select frame's background is the course's base colour (0, 20, 100) at its
# left edge, in red, green, blue order.
select = [l["frame"] for l in lines if l["screen"] == "select" and l["frame"] % 100 == 0]
if select:
    pixel = png_pixel(os.path.join(work, "png", f"frame-{select[-1]:06d}.png"), 0, 299)
    if pixel != (0, 20, 100):
        fail(f"course select base colour reads {pixel}")
PY

# --frames N: the trace ends with frame N; the same seed gives the same trace.
"$sim" --start run --course 5 --bot 6,0.2 --seed 9 --frames 250 --records-dir "$work" --trace "$work/a.json" || fail "a"
"$sim" --start run --course 5 --bot 6,0.2 --seed 9 --frames 250 --records-dir "$work" --trace "$work/b.json" || fail "b"
cmp -s "$work/a.json" "$work/b.json" || fail "same seed, different traces"
last=$(tail -1 "$work/a.json" | python3 -c 'import json,sys; print(json.load(sys.stdin)["frame"])')
[ "$last" = 250 ] || fail "--frames 250 ended the trace at frame $last"
echo "sim_outputs: ok"
