"""X11 probes for the desktop end-to-end test (needs python3-xlib and a running X server).

  find TITLE TIMEOUT PID      wait for a mapped top-level window named TITLE; print its
                              client size, its fixed-size hints and its colour count
  close TITLE                 ask the window to close as a window manager would
                              (WM_DELETE_WINDOW)
  maps -- COMMAND...          run COMMAND, print "exit=N maps=M" where M counts the
                              top-level windows mapped while it ran
  press TITLE KEYSYM          focus the window as a window manager would on a click,
                              then hold the key for 0.2 s
  grab TITLE FILE             save the window's picture (raw pixels) to FILE
  differs FILE1 FILE2         print the share of pixels (0 to 1) that differ
  mapped -- COMMAND...        run COMMAND, print the milliseconds from its start to the
                              first top-level window mapped, then end it (SIGTERM)
  usage PID SECONDS           print the process's CPU use over SECONDS (% of one core),
                              its peak and current memory, its threads and how many of
                              them are Mesa's llvmpipe workers
"""
import os
import subprocess
import sys
import time

from Xlib import X, XK, display, protocol
from Xlib.ext import xtest


def top_level_windows(disp):
    root = disp.screen().root
    for child in root.query_tree().children:
        yield child
        for grandchild in child.query_tree().children:
            yield grandchild


def window_named(disp, title):
    for window in top_level_windows(disp):
        try:
            if window.get_wm_name() == title and window.get_attributes().map_state == X.IsViewable:
                return window
        except Exception:
            continue
    return None


def process_alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            state = stat.read().rsplit(")", 1)[1].split()[0]
    except (FileNotFoundError, IndexError):
        return False
    return state != "Z"


def colour_count(window, width, height):
    image = window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF)
    data = image.data
    step = 4 if len(data) >= width * height * 4 else 3
    return len({bytes(data[i:i + 3]) for i in range(0, len(data) - step + 1, step)})


def find(title, timeout, pid):
    disp = display.Display()
    deadline = time.time() + timeout
    while time.time() < deadline:
        window = window_named(disp, title)
        if window is not None:
            time.sleep(1.0)  # let a few frames be presented
            geometry = window.get_geometry()
            hints = window.get_wm_normal_hints()
            fixed = (hints.min_width, hints.min_height, hints.max_width, hints.max_height)
            colours = colour_count(window, geometry.width, geometry.height)
            print(f"size={geometry.width}x{geometry.height} "
                  f"fixed={fixed[0]}x{fixed[1]}-{fixed[2]}x{fixed[3]} colours={colours}")
            return 0
        if not process_alive(pid):
            print("the game ended before its window appeared")
            return 1
        time.sleep(0.1)
    print(f"no window named {title!r} within {timeout} s")
    return 1


def close(title):
    disp = display.Display()
    window = window_named(disp, title)
    if window is None:
        print(f"no window named {title!r}")
        return 1
    protocols = disp.intern_atom("WM_PROTOCOLS")
    delete = disp.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=0)
    disp.flush()
    return 0


def maps(command):
    disp = display.Display()
    disp.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    disp.sync()
    child = subprocess.Popen(command)
    count = 0
    while True:
        while disp.pending_events():
            if disp.next_event().type == X.MapNotify:
                count += 1
        status = child.poll()
        if status is not None:
            disp.sync()
            while disp.pending_events():
                if disp.next_event().type == X.MapNotify:
                    count += 1
            print(f"exit={status} maps={count}")
            return 0
        time.sleep(0.02)


def press(title, keysym_name):
    disp = display.Display()
    window = window_named(disp, title)
    if window is None:
        print(f"no window named {title!r}")
        return 1
    window.set_input_focus(X.RevertToParent, X.CurrentTime)
    disp.sync()
    keycode = disp.keysym_to_keycode(XK.string_to_keysym(keysym_name))
    xtest.fake_input(disp, X.KeyPress, keycode)
    disp.sync()
    time.sleep(0.2)
    xtest.fake_input(disp, X.KeyRelease, keycode)
    disp.sync()
    return 0


def grab(title, path):
    disp = display.Display()
    window = window_named(disp, title)
    if window is None:
        print(f"no window named {title!r}")
        return 1
    geometry = window.get_geometry()
    with open(path, "wb") as out:
        out.write(window.get_image(0, 0, geometry.width, geometry.height, X.ZPixmap, 0xFFFFFFFF).data)
    return 0


def differs(path1, path2):
    with open(path1, "rb") as one, open(path2, "rb") as two:
        a, b = one.read(), two.read()
    if len(a) != len(b) or not a:
        print(1.0)
        return 0
    changed = sum(1 for i in range(0, len(a), 4) if a[i:i + 3] != b[i:i + 3])
    print(f"{changed / (len(a) // 4):.3f}")
    return 0


def mapped(command):
    disp = display.Display()
    disp.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
    disp.sync()
    started = time.monotonic()
    child = subprocess.Popen(command)
    try:
        while child.poll() is None:
            while disp.pending_events():
                if disp.next_event().type == X.MapNotify:
                    print(f"{(time.monotonic() - started) * 1000:.1f}")
                    return 0
            time.sleep(0.001)
        print(f"ended with status {child.returncode} before mapping a window")
        return 1
    finally:
        if child.poll() is None:
            child.terminate()
            child.wait(10)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def usage(pid, seconds):
    before, started = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    cpu = (cpu_seconds(pid) - before) / (time.monotonic() - started) * 100
    status = dict(line.split(":", 1) for line in open(f"/proc/{pid}/status") if ":" in line)
    names = [open(f"/proc/{pid}/task/{task}/comm").read().strip() for task in os.listdir(f"/proc/{pid}/task")]
    print(f"cpu={cpu:.2f}% hwm={status['VmHWM'].split()[0]}kB rss={status['VmRSS'].split()[0]}kB "
          f"threads={len(names)} llvmpipe={sum(1 for n in names if n.startswith('llvmpipe'))}")
    return 0


def main(args):
    if len(args) == 4 and args[0] == "find":
        return find(args[1], float(args[2]), int(args[3]))
    if len(args) == 2 and args[0] == "close":
        return close(args[1])
    if len(args) == 3 and args[0] == "press":
        return press(args[1], args[2])
    if len(args) == 3 and args[0] == "grab":
        return grab(args[1], args[2])
    if len(args) == 3 and args[0] == "differs":
        return differs(args[1], args[2])
    if len(args) >= 3 and args[0] == "mapped" and args[1] == "--":
        return mapped(args[2:])
    if len(args) == 3 and args[0] == "usage":
        return usage(int(args[1]), float(args[2]))
    if len(args) >= 3 and args[0] == "maps" and args[1] == "--":
        return maps(args[2:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
