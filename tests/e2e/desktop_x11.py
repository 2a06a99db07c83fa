"""X11 probes for the desktop end-to-end test (needs python3-xlib and a running X server).

  find TITLE TIMEOUT PID      wait for a mapped top-level window named TITLE; print its
                              client size, its size hints and its colour count
  close TITLE                 ask the window to close as a window manager would
                              (WM_DELETE_WINDOW)
  maps -- COMMAND...          run COMMAND, print "exit=N maps=M" where M counts the
                              top-level windows mapped while it ran
  press TITLE KEYS            focus the window as a window manager would on a click,
                              then hold the keys for 0.2 s (keysyms joined by "+",
                              e.g. space, Control_L+q, Alt_L+Return)
  grab TITLE FILE             save the window's picture to FILE (binary PPM)
  differs FILE1 FILE2         print the share of pixels (0 to 1) that differ
  colours FILE                print how many colours the picture FILE holds
  enlarged SMALL BIG          check that picture BIG shows picture SMALL enlarged by the
                              largest whole zoom that fits, centred on black; print
                              "zoom=Z x=X y=Y wrong=N" (N pixels differ)
  shrink BIG ZOOM SMALL       save to SMALL the 400 x 300 picture that BIG shows
                              enlarged by ZOOM and centred (every ZOOM-th pixel)
  resize TITLE WIDTH HEIGHT   resize the window as a window manager would
  size TITLE                  print the window's client size as WIDTHxHEIGHT
  mapped -- COMMAND...        run COMMAND, print the milliseconds from its start to the
                              first top-level window mapped, then end it (SIGTERM)
  usage PID SECONDS           print the process's CPU use over SECONDS (% of one core),
                              its peak and current memory, its threads and how many of
                              them are Mesa's llvmpipe workers
"""
import os
import re
import subprocess
import sys
import time

from Xlib import X, XK, display, error, protocol
from Xlib.ext import xtest


def top_level_windows(disp):
    root = disp.screen().root
    for child in root.query_tree().children:
        yield child
        try:
            grandchildren = child.query_tree().children
        except error.BadWindow:  # destroyed since the root was listed
            continue
        yield from grandchildren


def window_named(disp, title):
    for window in top_level_windows(disp):
        try:
            if window.get_wm_name() == title and window.get_attributes().map_state == X.IsViewable:
                return window
        except Exception:
            continue
    return None


def open_window(title):
    """A connection and the window named TITLE; the window is None (and said) when absent."""
    disp = display.Display()
    window = window_named(disp, title)
    if window is None:
        print(f"no window named {title!r}")
    return disp, window


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
            colours = colour_count(window, geometry.width, geometry.height)
            print(f"size={geometry.width}x{geometry.height} "
                  f"min={hints.min_width}x{hints.min_height} max={hints.max_width}x{hints.max_height} "
                  f"colours={colours}")
            return 0
        if not process_alive(pid):
            print("the game ended before its window appeared")
            return 1
        time.sleep(0.1)
    print(f"no window named {title!r} within {timeout} s")
    return 1


def close(title):
    disp, window = open_window(title)
    if window is None:
        return 1
    protocols = disp.intern_atom("WM_PROTOCOLS")
    delete = disp.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=0)
    # A round trip, not a flush: the connection must not close before the server has
    # taken the event.
    disp.sync()
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


def press(title, keys):
    disp, window = open_window(title)
    if window is None:
        return 1
    window.set_input_focus(X.RevertToParent, X.CurrentTime)
    disp.sync()
    keycodes = [disp.keysym_to_keycode(XK.string_to_keysym(name)) for name in keys.split("+")]
    for keycode in keycodes:
        xtest.fake_input(disp, X.KeyPress, keycode)
    disp.sync()
    time.sleep(0.2)
    for keycode in reversed(keycodes):
        xtest.fake_input(disp, X.KeyRelease, keycode)
    disp.sync()
    return 0


def grab(title, path):
    disp, window = open_window(title)
    if window is None:
        return 1
    geometry = window.get_geometry()
    width, height = geometry.width, geometry.height
    data = window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF).data
    rgb = bytearray(width * height * 3)
    rgb[0::3], rgb[1::3], rgb[2::3] = data[2::4], data[1::4], data[0::4]
    write_ppm(path, width, height, rgb)
    return 0


def read_ppm(path):
    with open(path, "rb") as ppm:
        data = ppm.read()
    # One whitespace byte ends the header; the pixels may begin with bytes that read as
    # whitespace (a red of 10, say), so they are not split off.
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    assert header
    return int(header[1]), int(header[2]), data[header.end():]


def differs(path1, path2):
    w1, h1, a = read_ppm(path1)
    w2, h2, b = read_ppm(path2)
    if (w1, h1) != (w2, h2) or not a:
        print(1.0)
        return 0
    changed = sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])
    print(f"{changed / (len(a) // 3):.3f}")
    return 0


def colours(path):
    _, _, pixels = read_ppm(path)
    print(len({pixels[i:i + 3] for i in range(0, len(pixels), 3)}))
    return 0


def enlarged(small_path, big_path):
    sw, sh, small = read_ppm(small_path)
    bw, bh, big = read_ppm(big_path)
    zoom = max(1, min(bw // sw, bh // sh))
    left, top = (bw - sw * zoom) // 2, (bh - sh * zoom) // 2
    black = b"\0\0\0"
    blank_row = black * bw
    wrong = 0
    expected_rows = {}
    for y in range(bh):
        sy = (y - top) // zoom
        if y < top or sy >= sh:
            want = blank_row
        elif sy in expected_rows:
            want = expected_rows[sy]
        else:
            row = small[sy * sw * 3:(sy + 1) * sw * 3]
            want = black * left + b"".join(row[i:i + 3] * zoom for i in range(0, len(row), 3))
            want += black * (bw - left - sw * zoom)
            expected_rows[sy] = want
        got = big[y * bw * 3:(y + 1) * bw * 3]
        if got != want:
            wrong += sum(1 for i in range(0, len(got), 3) if got[i:i + 3] != want[i:i + 3])
    print(f"zoom={zoom} x={left} y={top} wrong={wrong}")
    return 0


def write_ppm(path, width, height, pixels):
    with open(path, "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (width, height) + bytes(pixels))


def shrink(big_path, zoom, small_path, width=400, height=300):
    bw, bh, big = read_ppm(big_path)
    left, top = (bw - width * zoom) // 2, (bh - height * zoom) // 2
    pixels = bytearray()
    for y in range(height):
        row = (top + y * zoom) * bw
        for x in range(width):
            at = (row + left + x * zoom) * 3
            pixels += big[at:at + 3]
    write_ppm(small_path, width, height, pixels)
    return 0


def resize(title, width, height):
    disp, window = open_window(title)
    if window is None:
        return 1
    window.configure(width=width, height=height)
    disp.sync()
    return 0


def size(title):
    disp, window = open_window(title)
    if window is None:
        return 1
    geometry = window.get_geometry()
    print(f"{geometry.width}x{geometry.height}")
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
    if len(args) == 2 and args[0] == "colours":
        return colours(args[1])
    if len(args) == 3 and args[0] == "enlarged":
        return enlarged(args[1], args[2])
    if len(args) == 4 and args[0] == "shrink":
        return shrink(args[1], int(args[2]), args[3])
    if len(args) == 4 and args[0] == "resize":
        return resize(args[1], int(args[2]), int(args[3]))
    if len(args) == 2 and args[0] == "size":
        return size(args[1])
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
