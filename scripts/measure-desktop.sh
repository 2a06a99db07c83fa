#!/usr/bin/env bash
# Measures the desktop game the way a player meets it and prints one table of figures.
# It passes or fails nothing and CI never runs it; the figures vary with the machine.
#
# Usage: scripts/measure-desktop.sh [BUILD_DIR ...]      (default: build)
#   Several build folders are measured in the same rounds, interleaved, one column each
#   (kelo 1, kelo 2, ... in the order given), with each one's ratio to the first: a
#   change measured against the build before it on an equally busy machine.
#   KELO_MEASURE_ROUNDS   launches per program (default 5; the table shows medians)
#   KELO_MEASURE_SECONDS  length of each idle and run measurement (default 4)
#
# It starts a private Xvfb (1024 x 768), runs a copy of BUILD_DIR/kelo-typing with its
# sounds in a scratch folder (private HOME and XDG folders, SDL's dummy audio driver),
# and in each round: launch -> window mapped, then CPU on the title, on course select
# (Space) and during a run (Space, then a letter every 0.2 s), with peak RSS, the most
# threads seen, context switches per second (all threads, on the idle title) and the
# frame intervals of the run from KELO_FRAME_LOG ("-" when the game writes none).
# CPU is the sum over the program's threads (/proc/PID/task, in nanoseconds from
# schedstat where the kernel keeps it, else in clock ticks), and each screen's is also
# split: the game (main) thread, audio threads (by name: SDLAudio..., or audio, sound,
# fluid, vorbis in it) and the rest; each row is its own median, so the three need not
# add up to the total's. A thread that ends during a measurement is left out of it.
# Where Tux Typing (/usr/games/tuxtype) is installed it is measured in the same rounds,
# interleaved (title = its main menu, select = a game's level menu, run = that game's
# first wave with letters typed), and the ratios ours / Tux Typing are printed.
# Needs: Xvfb, python3 with python3-xlib.
set -euo pipefail
[ $# -gt 0 ] || set -- build
builds=()
for given in "$@"; do
  build="$(cd "$given" && pwd)"
  [ -x "$build/kelo-typing" ] || { echo "no $build/kelo-typing" >&2; exit 2; }
  [ -d "$build/snd" ] || { echo "no $build/snd" >&2; exit 2; }
  builds+=("$build")
done

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then kill "$xvfb_pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

display_number=90
while [ -e "/tmp/.X11-unix/X$display_number" ] || [ -e "/tmp/.X$display_number-lock" ]; do
  display_number=$((display_number + 1))
done
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display_number" ] && break
  sleep 0.05
done

mkdir -m 700 "$work/runtime" "$work/home" "$work/config" "$work/data"
for index in "${!builds[@]}"; do
  mkdir "$work/game-$index"
  cp "${builds[$index]}/kelo-typing" "$work/game-$index/"
  cp -r "${builds[$index]}/snd" "$work/game-$index/"
done
export DISPLAY=":$display_number" XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" SDL_AUDIODRIVER=dummy

/usr/bin/python3 - "$work" "${builds[@]}" <<'PY'
import os
import statistics
import subprocess
import sys
import time

from Xlib import X, XK, display, protocol
from Xlib.ext import xtest

WORK = sys.argv[1]
BUILDS = sys.argv[2:]
ROUNDS = int(os.environ.get("KELO_MEASURE_ROUNDS", "5"))
SECONDS = float(os.environ.get("KELO_MEASURE_SECONDS", "4"))
TICKS = os.sysconf("SC_CLK_TCK")
TUXTYPE = "/usr/games/tuxtype"




def thread_kind(pid, tid):
    """"game" for the main thread, "audio" for an audio thread (SDL names its own
    SDLAudio..., a decoder or synthesiser thread says audio, sound, fluid or vorbis in
    its name), "other" for the rest."""
    if tid == pid:
        return "game"
    try:
        with open(f"/proc/{pid}/task/{tid}/comm") as comm:
            name = comm.read().strip().lower()
    except FileNotFoundError:
        return "other"
    if any(word in name for word in ("audio", "sound", "fluid", "vorbis")):
        return "audio"
    return "other"


def thread_seconds(pid, task):
    """CPU seconds so far of one thread: the scheduler's nanosecond count where the
    kernel keeps one (schedstat), else utime + stime, which step by whole clock ticks
    (10 ms, a quarter of a percent over 4 s)."""
    try:
        with open(f"/proc/{pid}/task/{task}/schedstat") as stat:
            return int(stat.read().split()[0]) / 1e9
    except (FileNotFoundError, IndexError, ValueError):
        pass
    with open(f"/proc/{pid}/task/{task}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def thread_times(pid):
    """CPU seconds so far of each live thread, by thread id: (kind, seconds)."""
    times = {}
    try:
        tids = os.listdir(f"/proc/{pid}/task")
    except FileNotFoundError:
        return times
    for task in tids:
        try:
            times[int(task)] = (thread_kind(pid, int(task)), thread_seconds(pid, task))
        except FileNotFoundError:
            continue
    return times


def split_by_kind(before, after, seconds):
    """CPU % of one core per kind of thread between two thread_times() readings; a
    thread that started meanwhile counts from 0, one that ended is left out."""
    split = {"game": 0.0, "audio": 0.0, "other": 0.0}
    for tid, (kind, spent) in after.items():
        earlier = before.get(tid, (kind, 0))[1]
        split[kind] += (spent - earlier) / seconds * 100
    return split


def status_value(path, key):
    with open(path) as status:
        for line in status:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def context_switches(pid):
    """Context switches so far of each live thread, by thread id."""
    switches = {}
    for task in os.listdir(f"/proc/{pid}/task"):
        path = f"/proc/{pid}/task/{task}/status"
        try:
            switches[int(task)] = (status_value(path, "voluntary_ctxt_switches")
                                   + status_value(path, "nonvoluntary_ctxt_switches"))
        except FileNotFoundError:
            pass
    return switches


def switches_between(before, after):
    """As split_by_kind: a thread that started meanwhile counts from 0, one that ended
    is left out."""
    return sum(count - before.get(tid, 0) for tid, count in after.items())


class Subject:
    def __init__(self, name, command, env, settle, select_keys, run_keys):
        self.name, self.command, self.env, self.settle = name, command, env, settle
        self.select_keys, self.run_keys = select_keys, run_keys
        self.figures = {}

    def add(self, key, value):
        if value is not None:
            self.figures.setdefault(key, []).append(value)


class Session:
    """One launch of a program on the private X server."""

    def __init__(self, subject):
        self.subject = subject
        self.disp = display.Display()
        # A window gone with its program is reported by the "ended by itself" line.
        self.disp.set_error_handler(lambda *args: None)
        self.root = self.disp.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.disp.sync()
        self.threads = 0
        started = time.monotonic()
        self.process = subprocess.Popen(subject.command, env={**os.environ, **subject.env},
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        cwd=os.path.dirname(subject.command[0]))
        self.window = self.wait_for_map(started + 20)
        self.mapped_ms = (time.monotonic() - started) * 1000 if self.window else None

    def wait_for_map(self, deadline):
        while time.monotonic() < deadline and self.process.poll() is None:
            while self.disp.pending_events():
                event = self.disp.next_event()
                if event.type == X.MapNotify and event.event == self.root:
                    return event.window
            time.sleep(0.001)
        return None

    def note_threads(self):
        try:
            self.threads = max(self.threads, status_value(f"/proc/{self.process.pid}/status", "Threads"))
        except FileNotFoundError:
            pass

    def viewable_window(self):
        """The program's window now: some programs replace the one they mapped first."""
        for child in reversed(self.root.query_tree().children):
            try:
                if child.get_attributes().map_state == X.IsViewable:
                    return child
            except Exception:
                continue
        return self.window

    def press(self, keysym_name, hold=0.05):
        if self.process.poll() is not None:
            return
        self.window = self.viewable_window()
        self.window.set_input_focus(X.RevertToParent, X.CurrentTime)
        keycode = self.disp.keysym_to_keycode(XK.string_to_keysym(keysym_name))
        xtest.fake_input(self.disp, X.KeyPress, keycode)
        self.disp.sync()
        time.sleep(hold)
        xtest.fake_input(self.disp, X.KeyRelease, keycode)
        self.disp.sync()

    def measure(self, seconds, typing=False):
        """CPU % of one core, context switches per second, start and end over `seconds`,
        and the CPU % split by kind of thread (thread_kind)."""
        pid = self.process.pid
        threads_before = thread_times(pid)
        switches, began = context_switches(pid), time.monotonic()
        letters, next_key = "FJDKSLAGHRUEIWOTY", began
        while time.monotonic() - began < seconds:
            self.note_threads()
            if typing and time.monotonic() >= next_key:
                self.press(letters[int(next_key * 5) % len(letters)])
                next_key += 0.2
            time.sleep(0.05)
        elapsed = time.monotonic() - began
        split = split_by_kind(threads_before, thread_times(pid), elapsed)
        switched = switches_between(switches, context_switches(pid))
        return sum(split.values()), switched / elapsed, began, began + elapsed, split

    def close(self):
        if self.process.poll() is not None:
            print(f"{self.subject.name} ended by itself (status {self.process.returncode})", file=sys.stderr)
        elif self.window is not None and self.process.poll() is None:
            protocols = self.disp.intern_atom("WM_PROTOCOLS")
            delete = self.disp.intern_atom("WM_DELETE_WINDOW")
            event = protocol.event.ClientMessage(window=self.window, client_type=protocols,
                                                 data=(32, [delete, X.CurrentTime, 0, 0, 0]))
            self.window.send_event(event, event_mask=0)
            self.disp.flush()
        for signal_after, send in ((3, self.process.terminate), (3, self.process.kill)):
            try:
                self.process.wait(signal_after)
                break
            except subprocess.TimeoutExpired:
                send()
        self.process.wait()
        self.disp.close()


def frame_intervals(path, begin, end):
    """Intervals in ms between frames presented inside [begin, end] (monotonic seconds)."""
    try:
        with open(path) as log:
            stamps = [int(line) / 1e6 for line in log if line.strip().isdigit()]
    except FileNotFoundError:
        return []
    stamps = [t for t in stamps if begin <= t <= end]
    return [(b - a) * 1000 for a, b in zip(stamps, stamps[1:])]


def p99(values):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(0.99 * (len(ordered) - 1))))]


def add_split(subject, screen, split):
    for kind, cpu in split.items():
        subject.add(f"{screen}_{kind}", cpu)


def one_round(subject, round_index):
    frame_log = os.path.join(WORK, f"frames-{subject.name}-{round_index}.log")
    subject.env["KELO_FRAME_LOG"] = frame_log
    session = Session(subject)
    try:
        if session.window is None:
            print(f"{subject.name}: no window within 20 s", file=sys.stderr)
            return
        subject.add("mapped", session.mapped_ms)
        time.sleep(subject.settle)  # start-up and the first frames
        # The pointer off every menu, so only keys choose.
        xtest.fake_input(session.disp, X.MotionNotify, x=1020, y=4)
        session.disp.sync()
        cpu, switches, _, _, split = session.measure(SECONDS)
        subject.add("title", cpu)
        add_split(subject, "title", split)
        subject.add("switches", switches)
        for key in subject.select_keys:
            session.press(key)
            time.sleep(0.5)
        time.sleep(1.0)
        cpu, _, _, _, split = session.measure(SECONDS)
        subject.add("select", cpu)
        add_split(subject, "select", split)
        for key in subject.run_keys:
            session.press(key)
            time.sleep(0.5)
        time.sleep(1.0)
        cpu, _, begin, end, split = session.measure(SECONDS, typing=True)
        subject.add("run", cpu)
        add_split(subject, "run", split)
        intervals = frame_intervals(frame_log, begin, end)
        if len(intervals) >= 2:
            subject.add("frame_median", statistics.median(intervals))
            subject.add("frame_p99", p99(intervals))
            subject.add("frame_max", max(intervals))
        subject.add("rss", status_value(f"/proc/{session.process.pid}/status", "VmHWM") / 1024)
        session.note_threads()
        subject.add("threads", session.threads)
    finally:
        session.close()


COLUMNS = [("mapped", "launch->mapped ms", "{:.0f}")]
for screen in ("title", "select", "run"):
    COLUMNS += [(screen, f"{screen} CPU %", "{:.1f}"), (f"{screen}_game", "  game thread", "{:.2f}"),
                (f"{screen}_audio", "  audio thread", "{:.2f}"), (f"{screen}_other", "  other threads", "{:.2f}")]
COLUMNS += [("rss", "peak RSS MiB", "{:.1f}"), ("threads", "threads", "{:.0f}"),
            ("switches", "ctx switches/s", "{:.0f}"), ("frame_median", "frame median ms", "{:.2f}"),
            ("frame_p99", "frame p99 ms", "{:.2f}"), ("frame_max", "frame max ms", "{:.2f}")]


def median_of(subject, key):
    values = subject.figures.get(key)
    return statistics.median(values) if values else None


def ratio_pairs(subjects):
    """(label, ours, theirs) for each ratio column: every build after the first against
    the first, and every build against Tux Typing."""
    ours = [s for s in subjects if s.name != "tuxtype"]
    pairs = [(f"{s.name[-1]}/1" if len(ours) > 1 else "ratio", s, ours[0]) for s in ours[1:]]
    for subject in subjects:
        if subject.name == "tuxtype":
            pairs += [((f"{s.name[-1]}/tux" if len(ours) > 1 else "ratio"), s, subject) for s in ours]
    return pairs


def print_table(subjects):
    width = max(len(label) for _, label, _ in COLUMNS) + 2
    pairs = ratio_pairs(subjects)
    print(f"medians of {ROUNDS} launches, {SECONDS:g} s per measurement")
    if len(BUILDS) > 1:
        for index, build in enumerate(BUILDS):
            print(f"kelo {index + 1}: {build}")
    print("".ljust(width) + "".join(s.name.rjust(14) for s in subjects)
          + "".join(label.rjust(10) for label, _, _ in pairs))
    for key, label, form in COLUMNS:
        cells = []
        for subject in subjects:
            value = median_of(subject, key)
            cells.append((form.format(value) if value is not None else "-").rjust(14))
        ratios = []
        for _, ours, theirs in pairs:
            a, b = median_of(ours, key), median_of(theirs, key)
            ratios.append((f"{a / b:.2f}" if a is not None and b else "-").rjust(10))
        print(label.ljust(width) + "".join(cells) + "".join(ratios))


subjects = [Subject("kelo-typing" if len(BUILDS) == 1 else f"kelo {index + 1}",
                    [os.path.join(WORK, f"game-{index}", "kelo-typing")], {}, 1.5, ["space"], ["space"])
            for index in range(len(BUILDS))]
if os.access(TUXTYPE, os.X_OK):
    # Its menu takes seconds to appear; Up four times leads away from Quit to a game,
    # whose level menu (select) and first wave (run) follow.
    subjects.append(Subject("tuxtype", [TUXTYPE], {}, 7, ["Up"] * 4 + ["Return"], ["Return", "Return"]))
for round_index in range(ROUNDS):
    for subject in subjects:
        one_round(subject, round_index)
print_table(subjects)
PY
