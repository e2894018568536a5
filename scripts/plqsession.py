"""Drives the real program in a real desktop session: a private Xvfb, or a private headless Wayland
compositor (sway), the program with its ready report (PLQCALC_REPORT_READY), close requests as a
window manager or compositor sends them, pointer clicks, screenshots, and a watch on the page
folder. Shared by ./run.sh, the window tests and the start-up benchmark.

Everything started here is stopped again: each program runs in its own session (process group)
with its WebKit processes, and Xvfb or sway is killed when its `with` block ends, which also
removes every file the compositor's session made.
"""

import contextlib
import ctypes
import ctypes.util
import glob
import json
import os
import pwd
import queue
import re
import select
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time

READY_PREFIX = "plqcalc: calculator-ready "
SIDE_PANEL_LINE = "plqcalc: side-panel-loaded"
SCREEN = (1280, 800)


class Timeout(AssertionError):
    pass


class Missing(RuntimeError):
    """A program the session needs is not installed (callers skip rather than fail)."""


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


def gl_drivers(pid):
    """The GL vendor libraries and drivers (Mesa's with LLVM) the process has mapped."""
    with open(f"/proc/{pid}/maps") as file:
        return sorted({line.split()[-1] for line in file if _GL_DRIVER.search(line)})


_GL_DRIVER = re.compile(r"/lib(EGL|GLX)_\w+\.so|/dri/|/libLLVM")


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


# The window's client area (the panes) is 735 x 496 at scale 1; the left pane's part of it is 553
# pixels wide, the 496 pixels at the bottom of the window. GDK_SCALE multiplies all of them.
CLIENT_WIDTH, PANE_WIDTH, AREA_HEIGHT = 735, 553, 496
# Two columns through the pane, one through each calendar's half of the page.
PANE_COLUMNS = (50, 300)
# The pink of the calculator's date row and calendar titles: drawn by the page, nowhere else.
CALCULATOR_PINK = (0xFF, 0xCC, 0xCC)
# More pink pixels than this per unit of scale squared: the calculator is on the screen.
CALCULATOR_PINK_MINIMUM = 1000


def left_pane_painted(display, xid):
    """Whether the left pane shows a page on the screen: before WebKit's first picture arrives
    the pane is one flat colour; the calculator gives each column text, borders and fills.
    The window's scale (GDK_SCALE, and the text's with GDK_DPI_SCALE) follows from its width,
    which both multiply."""
    with _x_connection(display) as (xlib, connection):
        width, height = ctypes.c_uint(), ctypes.c_uint()
        unused = [ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int(), ctypes.c_uint(),
                  ctypes.c_uint()]
        if not xlib.XGetGeometry(connection, xid, ctypes.byref(unused[0]), ctypes.byref(unused[1]),
                                 ctypes.byref(unused[2]), ctypes.byref(width),
                                 ctypes.byref(height), ctypes.byref(unused[3]),
                                 ctypes.byref(unused[4])):
            return False
        scale = max(1, width.value / CLIENT_WIDTH)
        area_height = round(AREA_HEIGHT * scale)
        if height.value < area_height:
            return False
        top = height.value - area_height
        for column in PANE_COLUMNS:
            image = xlib.XGetImage(connection, xid, round(column * scale), top, 1, area_height,
                                   ~0 & 0xFFFFFFFF, 2)  # ZPixmap
            if not image:
                return False
            try:
                colours = {xlib.XGetPixel(image, 0, row) for row in range(area_height)}
            finally:
                xlib.XDestroyImage(image)
            if len(colours) < 4:
                return False
        return True


def screenshot(display, xid, path):
    """Saves what the window shows (as it is on the screen) as a PNG file."""
    subprocess.run(["import", "-display", display, "-window", hex(xid), path], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=30)


def colour_count(path, colour, box=None, fuzz=0):
    """How many pixels of the picture (or of its `box`, (x, y, width, height)) have exactly
    `colour`, an (r, g, b) triple (or one within `fuzz` per cent of it)."""
    crop = ["-crop", "{2}x{3}+{0}+{1}".format(*box), "+repage"] if box else []
    hex_colour = "#{:02X}{:02X}{:02X}".format(*colour)
    counted = subprocess.run(
        ["convert", path, *crop, "-alpha", "off", "-fuzz", f"{fuzz}%", "-fill", "black",
         "+opaque", hex_colour, "-fill", "white", "-opaque", hex_colour,
         "-format", "%[fx:round(mean*w*h)]", "info:"],
        check=True, capture_output=True, text=True, timeout=30).stdout
    return int(float(counted))


def pixels(path):
    """(width, height, bytes) of a picture, three bytes per pixel, rows from the top."""
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True,
                          capture_output=True, text=True, timeout=30).stdout.split()
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                         capture_output=True, timeout=30).stdout
    return int(size[0]), int(size[1]), raw


# A headless Wayland session. sway (wlroots) runs without a screen or input devices here, with
# its software renderer; it refuses to run as root, so as root it runs as `nobody`, and so must
# everything that talks to it as a client of that user's session (the program, grim, swaymsg).
SWAY_CONFIG = """\
xwayland disable
output HEADLESS-1 resolution {width}x{height} scale {scale}
"""
WAYLAND_USER = "nobody"


def _user_prefix(user):
    account = pwd.getpwnam(user)
    return ("setpriv", f"--reuid={account.pw_uid}", f"--regid={account.pw_gid}",
            "--clear-groups", "--")


class VirtualPointer:
    """A mouse for the compositor's seat (a headless compositor has none), through the
    wlr-virtual-pointer protocol, spoken here on the socket directly: a few requests of the
    Wayland wire format. Positions are in the output layout's logical pixels."""

    BUTTON_LEFT = 0x110  # BTN_LEFT

    def __init__(self, socket_path, layout_size):
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._socket.settimeout(10)
        self._socket.connect(socket_path)
        self._buffer = b""
        self._next_id = 2  # 1 is wl_display
        self._time = 0
        self._layout_size = layout_size
        registry = self._new_id()
        self._send(1, 1, "n", registry)  # wl_display.get_registry
        found = {}

        def on_global(source, opcode, body):
            if source == registry and opcode == 0:  # wl_registry.global
                name, length = struct.unpack_from("=II", body)
                found[body[8:8 + length - 1].decode()] = name

        self._roundtrip(on_global)
        name = found.get("zwlr_virtual_pointer_manager_v1")
        if name is None:
            raise Missing("the compositor offers no virtual pointer (wlr-virtual-pointer)")
        manager = self._new_id()
        self._send(registry, 0, "usun", name, "zwlr_virtual_pointer_manager_v1", 1, manager)
        self._pointer = self._new_id()
        self._send(manager, 0, "on", 0, self._pointer)  # create_virtual_pointer(default seat)
        self._roundtrip()

    def _new_id(self):
        self._next_id += 1
        return self._next_id - 1

    def _send(self, target, opcode, signature, *args):
        body = b""
        for kind, value in zip(signature, args):
            if kind in "uon":
                body += struct.pack("=I", value)
            elif kind == "s":
                data = value.encode() + b"\0"
                body += struct.pack("=I", len(data)) + data + b"\0" * (-len(data) % 4)
        self._socket.sendall(struct.pack("=II", target, (8 + len(body)) << 16 | opcode) + body)

    def _roundtrip(self, on_event=None):
        """Waits until the compositor has handled every request sent so far (wl_display.sync)."""
        callback = self._new_id()
        self._send(1, 0, "n", callback)
        while True:
            while len(self._buffer) < 8 or len(self._buffer) < self._size():
                chunk = self._socket.recv(65536)
                if not chunk:
                    raise RuntimeError("the compositor closed the virtual pointer's connection")
                self._buffer += chunk
            size = self._size()
            source, word = struct.unpack_from("=II", self._buffer)
            body, self._buffer = self._buffer[8:size], self._buffer[size:]
            if source == callback:
                return
            if source == 1 and word & 0xFFFF == 0:  # wl_display.error
                _, code, length = struct.unpack_from("=III", body)
                raise RuntimeError(f"Wayland error {code}: {body[12:12 + length - 1].decode()}")
            if on_event is not None:
                on_event(source, word & 0xFFFF, body)

    def _size(self):
        return struct.unpack_from("=I", self._buffer, 4)[0] >> 16

    def _event(self, opcode, signature, *args):
        self._time += 10
        self._send(self._pointer, opcode, signature, self._time, *args)
        self._send(self._pointer, 4, "")  # frame
        self._roundtrip()

    def move(self, point):
        self._event(1, "uuuuu", round(point[0]), round(point[1]), *self._layout_size)

    def click(self, point):
        self.move(point)
        time.sleep(0.05)  # a hand needs longer; GTK only wants the motion handled first
        self._event(2, "uuu", self.BUTTON_LEFT, 1)
        self._event(2, "uuu", self.BUTTON_LEFT, 0)

    def close(self):
        with contextlib.suppress(OSError):
            self._send(self._pointer, 8, "")  # destroy
        self._socket.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Wayland:
    """A running headless compositor: what a client needs to reach it, its tools (swaymsg,
    grim) run as the session's user, and its mouse (`pointer`, a VirtualPointer)."""

    def __init__(self, process, root, runtime_dir, socket_name, ipc_socket, user_prefix,
                 layout_size, scale, log_path):
        self.process = process
        self.root = root
        self.runtime_dir = runtime_dir
        self.socket_name = socket_name
        self.ipc_socket = ipc_socket
        self.user_prefix = user_prefix
        self.layout_size = layout_size
        self.scale = scale
        self.log_path = log_path
        # The seat's mouse, there before any program starts, as on a desktop: a pointer plugged
        # in later reaches a program only once it has caught up with the new device.
        self.pointer = None

    def client_env(self):
        """What a Wayland client of this session needs in its environment."""
        return {"XDG_RUNTIME_DIR": self.runtime_dir, "WAYLAND_DISPLAY": self.socket_name}

    def run(self, *command, check=True):
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "SWAYSOCK": self.ipc_socket,
               **self.client_env()}
        return subprocess.run([*self.user_prefix, *command], env=env, check=check,
                              capture_output=True, timeout=30)

    def command(self, text):
        """Runs a sway command; fails unless sway reports success."""
        replies = json.loads(self.run("swaymsg", "-r", text).stdout)
        if not all(reply.get("success") for reply in replies):
            raise RuntimeError(f"swaymsg {text!r}: {replies}")

    def tree(self):
        return json.loads(self.run("swaymsg", "-r", "-t", "get_tree").stdout)

    def windows(self):
        """Every window the compositor shows, as sway describes it (app_id, pid, rect...)."""
        found, nodes = [], [self.tree()]
        while nodes:
            node = nodes.pop()
            if node.get("pid"):
                found.append(node)
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        return found

    def window(self, pid):
        return next((node for node in self.windows() if node["pid"] == pid), None)

    @staticmethod
    def content_box(node):
        """The part of the output the window's own surface covers, in logical pixels, without
        what the compositor draws around it (x, y, width, height)."""
        rect, inner = node["rect"], node["window_rect"]
        return (rect["x"] + inner["x"], rect["y"] + inner["y"], inner["width"], inner["height"])

    def screenshot(self, path, box=None):
        """Saves what the output shows (or its `box`, in logical pixels) as a PNG file, in
        device pixels."""
        region = ["-g", "{},{} {}x{}".format(*box)] if box else []
        picture = self.run("grim", *region, "-").stdout
        with open(path, "wb") as file:
            file.write(picture)

    def calculator_shown(self, pid):
        """Whether the program's window shows the calculator on the output (its pink)."""
        node = self.window(pid)
        if node is None:
            return False
        picture = os.path.join(self.root, "check.png")
        try:
            self.screenshot(picture, self.content_box(node))
            return colour_count(picture, CALCULATOR_PINK) > \
                CALCULATOR_PINK_MINIMUM * self.scale * self.scale
        finally:
            with contextlib.suppress(FileNotFoundError):
                os.remove(picture)

    def alive(self):
        return self.process.poll() is None

    def stop(self, sig=signal.SIGTERM):
        """Ends the compositor (and anything it started), at once with SIGKILL."""
        if self.pointer is not None:
            self.pointer.close()
            self.pointer = None
        for current in (sig, signal.SIGKILL):
            with contextlib.suppress(ProcessLookupError):
                os.killpg(self.process.pid, current)
            try:
                self.process.wait(10)
                break
            except subprocess.TimeoutExpired:
                continue
        with contextlib.suppress(ProcessLookupError):
            os.killpg(self.process.pid, signal.SIGKILL)  # its children, if any outlived it

    def log_tail(self, lines=15):
        with contextlib.suppress(OSError), open(self.log_path, errors="replace") as file:
            return file.read().splitlines()[-lines:]
        return []


@contextlib.contextmanager
def sway(screen=SCREEN, scale=1):
    """A private headless Wayland compositor with one output of `screen` logical pixels at
    `scale`; yields a Wayland. As root it runs as `nobody` with a runtime folder of its own."""
    for tool in ("sway", "swaymsg", "grim"):
        if shutil.which(tool) is None:
            raise Missing(f"{tool} is not installed (scripts/setup.sh test adds it)")
    user = WAYLAND_USER if os.geteuid() == 0 else None
    prefix = _user_prefix(user) if user else ()
    root = tempfile.mkdtemp(prefix="plqsession-wayland-")
    try:
        os.chmod(root, 0o755)
        runtime_dir = os.path.join(root, "runtime")
        os.mkdir(runtime_dir, 0o700)
        if user:
            account = pwd.getpwnam(user)
            os.chown(runtime_dir, account.pw_uid, account.pw_gid)
        os.chmod(runtime_dir, 0o700)
        config = os.path.join(root, "sway.config")
        with open(config, "w") as file:
            file.write(SWAY_CONFIG.format(width=screen[0] * scale, height=screen[1] * scale,
                                          scale=scale))
        os.chmod(config, 0o644)
        log_path = os.path.join(root, "sway.log")
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": runtime_dir,
               "XDG_RUNTIME_DIR": runtime_dir, "WLR_BACKENDS": "headless",
               "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman"}
        with open(log_path, "wb") as log:
            process = subprocess.Popen([*prefix, "sway", "--config", config], env=env,
                                       stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                       start_new_session=True)
        wayland = Wayland(process, root, runtime_dir, None, None, prefix, screen, scale, log_path)
        try:
            def sockets():
                if not wayland.alive():
                    raise RuntimeError(f"sway ended ({process.returncode}): "
                                       f"{wayland.log_tail()}")
                displays = [name for name in os.listdir(runtime_dir)
                            if name.startswith("wayland-") and not name.endswith(".lock")]
                ipc = glob.glob(os.path.join(runtime_dir, "sway-ipc.*.sock"))
                return (displays[0], ipc[0]) if displays and ipc else None

            wayland.socket_name, wayland.ipc_socket = poll(sockets, 30, "sway's sockets")
            # The sockets exist before sway answers on them.
            poll(lambda: wayland.run("swaymsg", "-t", "get_outputs", check=False).returncode == 0,
                 30, "sway to answer")
            wayland.pointer = VirtualPointer(os.path.join(runtime_dir, wayland.socket_name),
                                             screen)
            yield wayland
        finally:
            wayland.stop()
    finally:
        shutil.rmtree(root, ignore_errors=True)


class App:
    """The program, started with its ready report on; stdout is read line by line. `display` is
    an X display name (":N"), or a Wayland session from sway(), where GDK picks Wayland by
    itself as on a Wayland desktop: no DISPLAY, no GDK_BACKEND. Without `session_bus` (an
    address) the program has no session bus, hence no accessibility bus either."""

    def __init__(self, executable, display, env=None, cwd=None, user_prefix=(), args=(),
                 preexec=None, session_bus="disabled:"):
        environment = dict(os.environ if env is None else env)
        environment.update({"PLQCALC_REPORT_READY": "1", "DBUS_SESSION_BUS_ADDRESS": session_bus})
        self.wayland = display if isinstance(display, Wayland) else None
        if self.wayland is None:
            environment.update({"DISPLAY": display, "GDK_BACKEND": "x11"})
            environment.pop("WAYLAND_DISPLAY", None)
        else:
            for name in ("DISPLAY", "GDK_BACKEND", "SWAYSOCK"):
                environment.pop(name, None)
            environment.update(self.wayland.client_env())
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
        self._stdout_reader = threading.Thread(target=self._read,
                                               args=(self.process.stdout, self.lines), daemon=True)
        self._stdout_reader.start()
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
                    # What it wrote before it ended is read to the pipe's end first (its web
                    # processes may hold the pipe a little longer).
                    self._stdout_reader.join(timeout=min(left, 5))
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
        if self.wayland is None:
            poll(lambda: left_pane_painted(self.display, self.xid), timeout,
                 "the calculator on the screen", interval=0.005)
        else:
            poll(lambda: self.wayland.calculator_shown(self.process.pid), timeout,
                 "the calculator on the output", interval=0.05)
        self.ready["seconds"] = time.monotonic() - self.started
        return self.ready

    def close(self, display=None):
        """Asks the window to close as the window manager's (or compositor's) close button does."""
        if self.wayland is None:
            send_close_request(display or self.display, self.xid)
        else:
            self.wayland.command(f"[pid={self.process.pid}] kill")

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

    def wait(self, timeout):
        """Waits until there are events to read, or `timeout` seconds have passed."""
        select.select([self._fd], [], [], timeout)

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
