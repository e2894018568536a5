"""Drives the real program in a real X session: a private Xvfb, the program with its ready
report (PLQCALC_REPORT_READY), close requests as a window manager sends them, screenshots, and a
watch on the page folder. Shared by ./run.sh, the window tests and the start-up benchmark.

Everything started here is stopped again: each program runs in its own session (process group)
with its WebKit processes, and Xvfb is killed when its `with` block ends.
"""

import contextlib
import ctypes
import ctypes.util
import json
import os
import queue
import signal
import struct
import subprocess
import threading
import time

READY_PREFIX = "plqcalc: calculator-ready "
SIDE_PANEL_LINE = "plqcalc: side-panel-loaded"
SCREEN = (1280, 800)


class Timeout(AssertionError):
    pass


def poll(predicate, timeout, what, interval=0.02):
    """Returns predicate()'s first true value; fails after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class XServer:
    """A private Xvfb: `display` (":N") and its `process`."""

    def __init__(self, display, process):
        self.display = display
        self.process = process


@contextlib.contextmanager
def xvfb_server(screen=SCREEN):
    """A private X server, yielded as an XServer; stopped when the block ends."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{screen[0]}x{screen[1]}x24",
         "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True)
    os.close(write_end)
    try:
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
        yield XServer(":" + number.decode().strip(), server)
    finally:
        server.terminate()
        try:
            server.wait(10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


@contextlib.contextmanager
def xvfb(screen=SCREEN):
    """A private X server; yields its display name (":N")."""
    with xvfb_server(screen) as server:
        yield server.display


def descendants(pid):
    """The processes below `pid` (not `pid` itself), as {pid: command name}."""
    children = {}
    names = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            with contextlib.suppress(OSError):
                with open(f"/proc/{entry}/stat") as file:
                    # "pid (name) state ppid ...": the name may hold spaces and parentheses.
                    name, _, rest = file.read().partition(" (")[2].rpartition(")")
                stat = rest.split()
                children.setdefault(int(stat[1]), []).append(int(entry))
                names[int(entry)] = name
    found, todo = {}, [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found[child] = names.get(child, "")
            todo.append(child)
    return found


class _XClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("client", _XClientMessage), ("pad", ctypes.c_long * 24)]


# Xlib's default error handler ends the process, which would skip every clean-up of the session
# when a window goes away between two requests. Errors only make the request's result empty
# (XGetGeometry 0, XGetImage NULL), which the callers already treat as "not there".
_X_ERROR_HANDLER_TYPE = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_x_error_handler = _X_ERROR_HANDLER_TYPE(lambda display, event: 0)


def _xlib():
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XSetErrorHandler.restype = ctypes.c_void_p
    xlib.XSetErrorHandler.argtypes = [_X_ERROR_HANDLER_TYPE]
    xlib.XSetErrorHandler(_x_error_handler)
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_XEvent)]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xlib.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 7
    xlib.XGetImage.restype = ctypes.c_void_p
    xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                               ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    xlib.XGetPixel.restype = ctypes.c_ulong
    xlib.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    xlib.XDestroyImage.argtypes = [ctypes.c_void_p]
    return xlib


@contextlib.contextmanager
def _x_connection(display):
    xlib = _xlib()
    connection = xlib.XOpenDisplay(display.encode())
    if not connection:
        raise RuntimeError(f"cannot open display {display}")
    try:
        yield xlib, connection
    finally:
        xlib.XCloseDisplay(connection)


def send_close_request(display, xid):
    """Sends WM_DELETE_WINDOW to the window, as a window manager does for its close button."""
    with _x_connection(display) as (xlib, connection):
        event = _XEvent()
        event.client.type = 33  # ClientMessage
        event.client.window = xid
        event.client.message_type = xlib.XInternAtom(connection, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.data[0] = xlib.XInternAtom(connection, b"WM_DELETE_WINDOW", 0)
        event.client.data[1] = 0  # CurrentTime
        if not xlib.XSendEvent(connection, xid, 0, 0, ctypes.byref(event)):
            raise RuntimeError("XSendEvent failed")
        xlib.XFlush(connection)


# The left pane's area in the window: 553 pixels wide, the 496 pixels at the bottom.
PANE_WIDTH, AREA_HEIGHT = 553, 496
# Two columns through the pane, one through each calendar's half of the page.
PANE_COLUMNS = (50, 300)


def left_pane_painted(display, xid):
    """Whether the left pane shows a page on the screen: before WebKit's first picture arrives
    the pane is one flat colour; the calculator gives each column text, borders and fills."""
    with _x_connection(display) as (xlib, connection):
        width, height = ctypes.c_uint(), ctypes.c_uint()
        unused = [ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int(), ctypes.c_uint(),
                  ctypes.c_uint()]
        if not xlib.XGetGeometry(connection, xid, ctypes.byref(unused[0]), ctypes.byref(unused[1]),
                                 ctypes.byref(unused[2]), ctypes.byref(width),
                                 ctypes.byref(height), ctypes.byref(unused[3]),
                                 ctypes.byref(unused[4])):
            return False
        top = height.value - AREA_HEIGHT
        for column in PANE_COLUMNS:
            image = xlib.XGetImage(connection, xid, column, top, 1, AREA_HEIGHT, ~0 & 0xFFFFFFFF,
                                   2)  # ZPixmap
            if not image:
                return False
            try:
                colours = {xlib.XGetPixel(image, 0, row) for row in range(AREA_HEIGHT)}
            finally:
                xlib.XDestroyImage(image)
            if len(colours) < 4:
                return False
        return True


def screenshot(display, xid, path):
    """Saves what the window shows (as it is on the screen) as a PNG file."""
    subprocess.run(["import", "-display", display, "-window", hex(xid), path], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=30)


def pixels(path):
    """(width, height, bytes) of a picture, three bytes per pixel, rows from the top."""
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True,
                          capture_output=True, text=True, timeout=30).stdout.split()
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                         capture_output=True, timeout=30).stdout
    return int(size[0]), int(size[1]), raw


class App:
    """The program, started with its ready report on; stdout is read line by line."""

    def __init__(self, executable, display, env=None, cwd=None, user_prefix=(), args=(),
                 preexec=None):
        environment = dict(os.environ if env is None else env)
        environment.update({"DISPLAY": display, "PLQCALC_REPORT_READY": "1",
                            "DBUS_SESSION_BUS_ADDRESS": "disabled:", "GDK_BACKEND": "x11"})
        environment.pop("WAYLAND_DISPLAY", None)
        self.display = display
        self.started = time.monotonic()
        self.process = subprocess.Popen(
            [*user_prefix, executable, *args], env=environment, cwd=cwd, stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True,
            preexec_fn=preexec)
        self.lines = queue.Queue()
        self.seen = []
        self.stderr = []
        self.ready = None
        self.xid = None
        threading.Thread(target=self._read, args=(self.process.stdout, self.lines),
                         daemon=True).start()
        threading.Thread(target=self._read, args=(self.process.stderr, None), daemon=True).start()

    def _read(self, stream, sink):
        for raw in stream:
            line = raw.decode("utf-8", "replace").rstrip("\n")
            if sink is None:
                self.stderr.append(line)
            else:
                sink.put((time.monotonic(), line))

    def wait_line(self, prefix, timeout, after=None):
        """The first output line that starts with `prefix` (and came after the `after`-th line
        seen, when given), and when it arrived."""
        for index, (stamp, line) in enumerate(self.seen):
            if line.startswith(prefix) and (after is None or index >= after):
                return stamp, line
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise Timeout(f"no line {prefix!r} within {timeout} s; stdout {self.seen}, "
                              f"stderr {self.stderr[-20:]}, exit {self.process.poll()}")
            try:
                stamp, line = self.lines.get(timeout=min(left, 0.2))
            except queue.Empty:
                if self.process.poll() is not None and self.lines.empty():
                    time.sleep(0.1)
                    if self.lines.empty():
                        raise Timeout(f"the program ended ({self.process.returncode}) before "
                                      f"{prefix!r}; stdout {self.seen}, stderr {self.stderr[-20:]}")
                continue
            self.seen.append((stamp, line))
            if line.startswith(prefix):
                return stamp, line

    def wait_ready(self, timeout=60, again=False):
        """Waits until the calculator pane has drawn both calendars, in the page and then on the
        screen; returns the page's report with "seconds" from start to the picture. With
        `again`, waits for the next such report after those seen so far (a page drawn anew)."""
        _, line = self.wait_line(READY_PREFIX, timeout, after=len(self.seen) if again else None)
        xid_text, _, report = line[len(READY_PREFIX):].partition(" ")
        self.xid = int(xid_text.split("=", 1)[1], 16)
        self.ready = json.loads(report)
        poll(lambda: left_pane_painted(self.display, self.xid), timeout,
             "the calculator on the screen", interval=0.005)
        self.ready["seconds"] = time.monotonic() - self.started
        return self.ready

    def close(self, display):
        send_close_request(display, self.xid)

    def wait_exit(self, timeout=30):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired as error:
            raise Timeout(f"the program did not end within {timeout} s; stderr "
                          f"{self.stderr[-20:]}") from error

    def group_alive(self):
        """Whether any process of the program's session (its WebKit processes too) still runs."""
        try:
            os.killpg(self.process.pid, 0)
            return True
        except ProcessLookupError:
            return False
        except PermissionError:
            return True

    def kill(self):
        """Stops whatever is left of the program and its children."""
        for sig in (signal.SIGTERM, signal.SIGKILL):
            if not self.group_alive():
                break
            with contextlib.suppress(ProcessLookupError):
                os.killpg(self.process.pid, sig)
            with contextlib.suppress(Timeout):
                poll(lambda: not self.group_alive() and self.process.poll() is not None, 5,
                     "the program to end")
        with contextlib.suppress(subprocess.TimeoutExpired):
            self.process.wait(5)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()


class FolderWatch:
    """The order in which names appear in and vanish from a folder (inotify)."""

    IN_CREATE, IN_DELETE, IN_MOVED_FROM, IN_MOVED_TO = 0x100, 0x200, 0x40, 0x80
    NAMES = {IN_CREATE: "create", IN_DELETE: "delete", IN_MOVED_FROM: "moved_from",
             IN_MOVED_TO: "moved_to"}

    def __init__(self, folder):
        self._libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self._fd = self._libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self._fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        mask = self.IN_CREATE | self.IN_DELETE | self.IN_MOVED_FROM | self.IN_MOVED_TO
        if self._libc.inotify_add_watch(self._fd, os.fsencode(folder), mask) < 0:
            raise OSError(ctypes.get_errno(), "inotify_add_watch")
        self.events = []

    def read(self):
        """All events so far, as (kind, name) in order."""
        while True:
            try:
                data = os.read(self._fd, 65536)
            except BlockingIOError:
                return self.events
            offset = 0
            while offset < len(data):
                _, mask, _, length = struct.unpack_from("iIII", data, offset)
                name = data[offset + 16:offset + 16 + length].rstrip(b"\0").decode()
                offset += 16 + length
                for bit, kind in self.NAMES.items():
                    if mask & bit:
                        self.events.append((kind, name))

    def close(self):
        os.close(self._fd)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def show_headless(executable, picture, timeout=120):
    """Starts the program on a virtual display, waits until the calculator is drawn, saves a
    screenshot, closes the window and returns the program's exit status."""
    with xvfb() as display, App(executable, display) as app:
        app.wait_ready(timeout)
        # The side panel frames a remote widget that may never answer: a short wait for it.
        with contextlib.suppress(Timeout):
            app.wait_line(SIDE_PANEL_LINE, 5)
        screenshot(display, app.xid, picture)
        app.close(display)
        return app.wait_exit()


if __name__ == "__main__":
    import argparse
    import sys

    parser = argparse.ArgumentParser(description=show_headless.__doc__)
    parser.add_argument("executable")
    parser.add_argument("--screenshot", required=True)
    options = parser.parse_args()
    status = show_headless(os.path.abspath(options.executable), os.path.abspath(options.screenshot))
    print(f"The window as drawn on a virtual display: {os.path.abspath(options.screenshot)}")
    sys.exit(status)
