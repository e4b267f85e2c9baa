#!/usr/bin/env python3
"""`make demo` as a user meets it, under Xvfb: the demo script starts the
stand-in and the player, the cover fades in, a double-click brings the
stand-in's product page to the browser through the demo's xdg-open wrapper,
and closing the window ends the player, the stand-in and the script.

    tools/with-xvfb test_make_demo.py RUN_DEMO_SH BUILD_DIR

Exits 77 (skipped) without the private display of tools/with-xvfb, when
xdotool or ImageMagick's import are missing, or the build has no demo cover.
"""

import ctypes
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

SCRIPT = sys.argv[1] if len(sys.argv) > 1 else ""
BUILD = sys.argv[2] if len(sys.argv) > 2 else ""
CAPTION = "^ベルモラ楽団 - 朝の散歩$"
STORE_PAGE = "http://www.amazon.co.jp/exec/obidos/ASIN/B0VELMORA1/plovtarnime-22/sim=noref"

# In window coordinates: the 160 x 160 cover lies at (103, 11), centred in the
# cover area. Two flat parts of the demo cover, and black beside it.
COVER = [((183, 73), (255, 246, 216)), ((123, 161), (91, 127, 163)), ((60, 91), (0, 0, 0))]
CLICK = (183, 91)
# How long a wait may last before it counts as failed: a ceiling far beyond any
# real wait, so that a busy machine makes the test slower, never red.
CEILING = 30


def close_window(display, window):
    """Asks the window to close as the window manager's close button does."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open display " + display)
    event = Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)


def read_ppm(data):
    """(width, height, rgb bytes) of a binary PPM with a maxval of 255."""
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not an 8-bit P6 picture")
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def wait_for(what, seconds=CEILING, step=0.05):
    """Polls what() until it gives something true: for what no event announces, a picture on screen."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        result = what()
        if result:
            return result
        time.sleep(step)
    return what()


def find_window(env, caption):
    """The first window with the caption and its origin, once xdotool sees one; (None, None) if none comes."""
    def xdotool(*args):
        return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True, timeout=CEILING).stdout
    try:
        window = xdotool("search", "--sync", "--name", caption).split("\n")[0]
    except subprocess.TimeoutExpired:
        window = ""
    if not window:
        return None, None
    geometry = dict(line.split("=", 1) for line in xdotool("getwindowgeometry", "--shell", window).splitlines() if "=" in line)
    return window, (int(geometry["X"]), int(geometry["Y"]))


def cover_colours(env, origin):
    """The colours on screen at the COVER points of the window at origin."""
    shot = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=env, capture_output=True, timeout=20)
    if shot.returncode != 0:
        return None
    width, _, rgb = read_ppm(shot.stdout)
    return [tuple(rgb[i:i + 3]) for i in (3 * ((origin[1] + y) * width + origin[0] + x) for (x, y), _ in COVER)]


def shows_cover(colours):
    return bool(colours) and all(abs(a - b) <= 12 for got, (_, want) in zip(colours, COVER) for a, b in zip(got, want))


def read_fifo(path, seconds=CEILING):
    """All a writer puts into the named pipe, once it closes it; None if no writer comes."""
    fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    data, deadline = b"", time.monotonic() + seconds
    try:
        while select.select([fd], [], [], max(0, deadline - time.monotonic()))[0]:
            chunk = os.read(fd, 4096)
            if not chunk:
                return data.decode()
            data += chunk
    finally:
        os.close(fd)
    return None


def processes_with(marker):
    """Pids of processes whose environment holds `marker`."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                if marker.encode() in f.read().split(b"\0"):
                    found.append(int(pid))
        except OSError:
            pass
    return found


def all_ended(marker, seconds=CEILING):
    """Waits for the processes with the marker to end; true when none is left."""
    deadline = time.monotonic() + seconds
    for pid in processes_with(marker):
        try:
            fd = os.pidfd_open(pid)
        except ProcessLookupError:
            continue
        select.select([fd], [], [], max(0, deadline - time.monotonic()))
        os.close(fd)
    return not processes_with(marker)


class MakeDemo(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="velmora-demo-test.")
        self.addCleanup(shutil.rmtree, self.tmp, True)
        self.display = os.environ["XVFB_DISPLAY"]
        self.demo = None

        # The "real" xdg-open the wrapper hands the saved page to: records it.
        realbin = os.path.join(self.tmp, "realbin")
        os.mkdir(realbin)
        with open(os.path.join(realbin, "xdg-open"), "w") as f:
            f.write('#!/bin/sh\ncp "$1" "%s/opened.html" && printf "%%s\\n" "$@" > "%s/opened"\n' % (self.tmp, self.tmp))
        os.chmod(os.path.join(realbin, "xdg-open"), 0o755)
        self.opened = os.path.join(self.tmp, "opened")
        os.mkfifo(self.opened)  # the test reads what it is given as it comes
        os.mkdir(os.path.join(self.tmp, "run"), 0o700)
        os.mkdir(os.path.join(self.tmp, "home"))

        # A build folder of its own, so that the hand-off files land in a
        # private application folder: the programs copied, the rest linked.
        self.build = os.path.join(self.tmp, "build")
        for folder in ("bin", "tools", "share"):
            os.makedirs(os.path.join(self.build, folder))
        for name in ("velplay", "velfetch", "libvbmp3.so"):
            shutil.copy2(os.path.join(BUILD, "bin", name), os.path.join(self.build, "bin"))
        os.symlink(os.path.join(BUILD, "tools", "velstandin"), os.path.join(self.build, "tools", "velstandin"))
        os.symlink(os.path.join(BUILD, "share", "demo"), os.path.join(self.build, "share", "demo"))

        self.marker = "VEL_DEMO_TEST_MARK=" + self.tmp
        self.env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb", SDL_AUDIODRIVER="dummy",
                        XDG_RUNTIME_DIR=os.path.join(self.tmp, "run"), HOME=os.path.join(self.tmp, "home"),
                        XDG_CACHE_HOME=os.path.join(self.tmp, "cache"),
                        TMPDIR=self.tmp, PATH=realbin + ":" + os.environ.get("PATH", ""),
                        VEL_DEMO_MAX_SECONDS="170", VEL_DEMO_TEST_MARK=self.tmp,
                        # A user's own proxy settings, which the demo must override.
                        http_proxy="http://127.0.0.1:9", no_proxy="*", NO_PROXY="*")
        self.addCleanup(self.end_leftovers)

    def end_leftovers(self):
        if self.demo and self.demo.poll() is None:
            os.killpg(self.demo.pid, signal.SIGKILL)
            self.demo.wait()
        for pid in processes_with(self.marker):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass

    def state(self, output):
        """The demo's output so far and the state of the X server that with-xvfb started."""
        output.flush()
        with open(output.name, errors="replace") as f:
            said = f.read().strip()
        pid = os.environ.get("XVFB_PID", "")
        server = "runs" if pid and os.path.exists("/proc/" + pid) else "has gone"
        try:
            with open(os.environ.get("XVFB_LOG", ""), errors="replace") as f:
                server += "; its messages: " + (" | ".join(f.read().split("\n")).strip(" |") or "none")
        except OSError:
            pass
        return "the demo %s, said: %s; the X server (pid %s) %s" % (
            "runs" if self.demo.poll() is None else "ended with %s" % self.demo.returncode, said or "nothing", pid, server)

    def tool(self, *args):
        return subprocess.run(args, env=self.env, capture_output=True, timeout=20).stdout.decode().strip()

    def test_cover_fades_in_store_page_opens_and_all_ends_with_the_player(self):
        output = open(os.path.join(self.tmp, "demo.out"), "w+")
        self.addCleanup(output.close)
        started = time.monotonic()
        self.demo = subprocess.Popen(["bash", SCRIPT, self.build], env=self.env, stdout=output, stderr=subprocess.STDOUT,
                                     start_new_session=True)

        window, origin = find_window(self.env, CAPTION)
        self.assertTrue(window, "no window captioned from the demo track's tag; " + self.state(output))
        shown = wait_for(lambda: shows_cover(cover_colours(self.env, origin)), step=0.02)
        self.assertTrue(shown, "the demo cover did not appear: %s, wanted %s" % (
            cover_colours(self.env, origin), [want for _, want in COVER]))
        print("cover fully shown %.1f s after the demo started" % (time.monotonic() - started))
        app = os.path.join(self.build, "bin")
        with open(os.path.join(app, "temp.jpg"), "rb") as got, \
                open(os.path.join(BUILD, "share", "demo", "velmora-demo-cover.jpg"), "rb") as drawn:
            self.assertEqual(got.read(), drawn.read(), "the cover shown is not the demo catalogue's")
        with open(os.path.join(app, "asin"), "rb") as f:
            self.assertEqual(f.read(), b"B0VELMORA1")

        # A double-click on the cover: the wrapper fetches the product page
        # through the stand-in and hands the saved file to the real xdg-open.
        self.tool("xdotool", "mousemove", "--window", window, str(CLICK[0]), str(CLICK[1]),
                  "click", "--repeat", "2", "--delay", "60", "1")
        opened = read_fifo(self.opened)
        self.assertIsNotNone(opened, "the store page was not opened")
        opened = opened.splitlines()
        self.assertEqual(len(opened), 1, opened)
        self.assertTrue(opened[0].startswith(os.path.join(self.tmp, "velmora-demo.")) and opened[0].endswith(".html"),
                        opened)
        with open(os.path.join(self.tmp, "opened.html"), encoding="utf-8") as f:
            page = f.read()
        for text in ("<h1>Velmora デモ</h1>", "アーティスト: ベルモラ楽団", "<li>朝の散歩</li>", "data:image/jpeg;base64,/9j/"):
            self.assertIn(text, page)

        # Closing the window ends the player, then the script ends the stand-in.
        close_window(self.display, int(window))
        try:
            status = self.demo.wait(timeout=CEILING)
        except subprocess.TimeoutExpired:
            self.fail("the demo did not end with its window")
        output.seek(0)
        log = output.read()
        self.assertEqual(status, 0, log)
        self.assertIn("store page %s saved as %s" % (STORE_PAGE, opened[0]), log)
        self.assertTrue(all_ended(self.marker), "processes left: %s" % processes_with(self.marker))
        self.assertEqual([n for n in os.listdir(self.tmp) if n.startswith("velmora-demo.")], [],
                         "the demo's temporary folder is left")


if __name__ == "__main__":
    if not os.environ.get("XVFB_DISPLAY"):
        print("SKIP: needs a private display: run it through tools/with-xvfb")
        sys.exit(77)
    for tool in ("xdotool", "import", "bash", "curl"):
        if not shutil.which(tool):
            print("SKIP: %s is not installed" % tool)
            sys.exit(77)
    if not os.path.exists(os.path.join(BUILD, "share", "demo", "velmora-demo-cover.jpg")):
        print("SKIP: the demo cover was not drawn (no ImageMagick or IPA font at build time)")
        sys.exit(77)
    unittest.main(argv=sys.argv[:1], verbosity=2)
