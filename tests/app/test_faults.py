#!/usr/bin/env python3
"""What a desktop session does to the Linux program, done to the real program in a real window on
a private Xvfb: signals with and without a message box open, the display going away, a crashed or
hung web process, a framed widget that speaks up, page files removed under it, hostile folders,
leftovers of killed copies, file-size limits and full disks. Each scenario checks that nothing is
lost, nothing is left behind (files or processes) and nothing hangs.

    test_faults.py SCENARIO --app plqcalc --calculator-page F --side-panel-page F --artefacts DIR
"""

import contextlib
import ctypes
import errno
import http.server
import json
import os
import resource
import shutil
import signal
import stat
import subprocess
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_app  # noqa: E402
from test_app import (EXIT_PAGE, PAGE_NAMES, Sandbox, answer_message_box,  # noqa: E402
                      caption_windows, check, check_gone, check_pages_written, expected_pages,
                      plqsession, poll, wait_message_box, xdotool)

LEFTOVER = "plqclear.htm.0123456789abcdef.tmp"
BOX_LINE = "plqcalc: message-box "


def start(sandbox, display, preexec=None, **env_changes):
    return plqsession.App(sandbox.executable, display, env=sandbox.env(**env_changes),
                          cwd=sandbox.root, user_prefix=sandbox.user_prefix, preexec=preexec)


def pages_in(folder):
    return [name for name in PAGE_NAMES if os.path.lexists(os.path.join(folder, name))]


def web_processes(app):
    return [pid for pid, name in plqsession.descendants(app.process.pid).items()
            if name.startswith("WebKitWebProces")]


class IdWatch:
    """Tells when a web process has written its process id to WebKit: it closes the socket it
    was given for that (its third argument) once it has, and the number may then be reused."""

    def __init__(self):
        self.sockets = {}

    @staticmethod
    def _socket(pid):
        with open(f"/proc/{pid}/cmdline", "rb") as file:
            arguments = file.read().split(b"\0")
        return os.readlink(f"/proc/{pid}/fd/{arguments[3].decode()}")

    def mark_old(self, pids):
        for pid in pids:
            self.sockets[pid] = None

    def reported(self, pid):
        try:
            if pid not in self.sockets:
                self.sockets[pid] = self._socket(pid)
                return False
            return self.sockets[pid] is None or self._socket(pid) != self.sockets[pid]
        except (OSError, IndexError, ValueError):
            return pid in self.sockets


def show_alert(display, app):
    """Makes the calculator's page show an alert: a year that is no number, then 开始计算."""
    x, y, _, height = test_app.window_geometry(display, app.xid)
    xdotool(display, "windowfocus", "--sync", str(app.xid))
    xdotool(display, "mousemove", str(x + 540), str(y + height - 10), "click", "1")
    xdotool(display, "key", "Tab")
    xdotool(display, "type", "abc")
    xdotool(display, "key", "Tab", "Tab", "Tab", "space")


def show_failure_box(display, app, artefacts):
    """Makes the program show a message box of its own: a menu click with no browser to start
    (the sandbox's PATH must have no xdg-open)."""
    picture = os.path.join(artefacts, "faults-menu.png")
    plqsession.screenshot(display, app.xid, picture)
    entries = test_app.menu_entries(display, app.xid, picture)
    check(len(entries) == 2, f"menu entries found at {entries}")
    test_app.click(display, entries[0])


def message_boxes(display):
    """The message boxes of the program: the windows titled with the caption that belong to
    another (the main window belongs to none)."""
    found = []
    for xid in caption_windows(display, None):
        with contextlib.suppress(subprocess.CalledProcessError):
            if "window id" in test_app.xprop(display, xid, "WM_TRANSIENT_FOR"):
                found.append(xid)
    return found


def close_and_check(display, app, sandbox, pages_folder=None):
    """Closes the window as a user does; the pages go and the exit page opens."""
    app.close(display)
    check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
    check(pages_in(pages_folder or sandbox.app_dir) == [], "the pages stayed after closing")
    check(sandbox.browser_starts()[-1:] == [[EXIT_PAGE]], f"at close: {sandbox.browser_starts()}")
    poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")


def scenario_signals(options):
    """A log-out's SIGTERM, a closed terminal's SIGHUP and Ctrl+C's SIGINT remove the pages and
    end the program, also while a message box or the page's alert is open, and also when a second
    signal comes at once, run after run. They are not the user closing the window: no browser
    starts."""
    cases = [  # (signal, what is open, sent to the whole process group as a terminal does,
        #          a second signal sent at once and whether to the group)
        (signal.SIGTERM, None, False, None),
        (signal.SIGTERM, "message box", False, None),
        (signal.SIGTERM, "alert", False, None),
        (signal.SIGHUP, "message box", False, None),
        (signal.SIGINT, "alert", True, None),
        (signal.SIGTERM, "start-up failure", False, None),
        # A log-out stops the session with SIGTERM, then SIGHUP; `timeout` signals the program,
        # then its group.
        *[(signal.SIGTERM, None, False, (signal.SIGHUP, False))] * 3,
        *[(signal.SIGTERM, None, False, (signal.SIGTERM, True))] * 2,
        (signal.SIGTERM, None, False, (signal.SIGTERM, False)),
    ]
    for number, showing, to_group, then in cases:
        name = f"{signal.Signals(number).name} with {showing or 'nothing'} open"
        name += f", then {signal.Signals(then[0]).name}" if then else ""
        user = test_app.run_as_other_user() if showing == "start-up failure" else None
        with Sandbox(options, user=user) as sandbox, plqsession.xvfb() as display:
            changes = {}
            if showing == "message box":
                changes["PATH"] = sandbox.make("empty")
            if showing == "start-up failure":
                # No folder can be written: the program shows why and waits for the user.
                if user is None:
                    os.chmod(sandbox.app_dir, 0o555)
                changes.update(XDG_RUNTIME_DIR=None, XDG_CACHE_HOME=sandbox.make("locked", 0o555))
            with start(sandbox, display, **changes) as app:
                if showing == "start-up failure":
                    wait_message_box(display, None, f"before {name}")
                else:
                    app.wait_ready()
                    if showing == "message box":
                        show_failure_box(display, app, options.artefacts)
                        wait_message_box(display, app.xid, f"before {name}")
                    elif showing == "alert":
                        show_alert(display, app)
                        wait_message_box(display, app.xid, f"before {name}")
                sent = time.monotonic()
                (os.killpg if to_group else os.kill)(app.process.pid, number)
                if then:
                    (os.killpg if then[1] else os.kill)(app.process.pid, then[0])
                status = app.wait_exit(10)
                print(f"{name}: ended {time.monotonic() - sent:.2f} s after the signal")
                check(status in (-number, -(then or [number])[0]), f"{name}: exit status {status}")
                check(pages_in(sandbox.app_dir) == [], f"{name}: pages left")
                check(sandbox.browser_starts() == [], f"{name}: started {sandbox.browser_starts()}")
                poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
            os.chmod(sandbox.app_dir, 0o755)
            left = [p for p in sandbox.files_left() if p not in ("empty", "locked")]
            check(not left, f"{name}: files left behind: {left}")


def exhaust_stack(pid):
    """Leaves the program's main thread with no stack, as a runaway recursion does: through
    ptrace (x86-64's user_regs_struct: rax is the 11th of 27, rsp the 20th), its stack pointer at
    an address never mapped and the wait it is in cut short, so that it faults at once with no
    room there for a handler's frame. Returns why it cannot, or None."""
    if os.uname().machine != "x86_64":
        return "the stack is taken on x86-64 only"
    libc = ctypes.CDLL(None, use_errno=True)
    libc.ptrace.argtypes = [ctypes.c_long] * 2 + [ctypes.c_void_p] * 2
    if libc.ptrace(0x4206, pid, None, None) != 0:  # PTRACE_SEIZE
        return f"ptrace: {os.strerror(ctypes.get_errno())}"
    libc.ptrace(0x4207, pid, None, None)  # PTRACE_INTERRUPT
    os.waitpid(pid, 0x40000000)  # __WALL
    registers = (ctypes.c_ulonglong * 27)()
    libc.ptrace(12, pid, None, ctypes.byref(registers))  # PTRACE_GETREGS
    registers[10], registers[19] = 2**64 - errno.EINTR, 0x8000
    libc.ptrace(13, pid, None, ctypes.byref(registers))  # PTRACE_SETREGS
    libc.ptrace(17, pid, None, None)  # PTRACE_DETACH
    return None


def scenario_stack_overflow(options):
    """A fault on an exhausted stack still takes the page files away: the crash handler has a
    stack of its own."""
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        with start(sandbox, display) as app:
            app.wait_ready()
            missing = exhaust_stack(app.process.pid)
            if missing:
                print(f"skipped: {missing}")
                sys.exit(77)
            status = app.wait_exit(10)
            check(status != 0 and pages_in(sandbox.app_dir) == [],
                  f"pages left behind (exit status {status})")
            poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
        check_gone(app, sandbox)


def scenario_display_lost(options):
    """The X server ending under the program (the session is over, or it crashed) removes the
    pages before the program ends, and leaves no process of it."""
    for how in ("terminated", "killed"):
        with Sandbox(options) as sandbox, plqsession.xvfb_server() as server:
            with start(sandbox, server.display) as app:
                app.wait_ready()
                check_pages_written(sandbox.app_dir, expected_pages(options))
                if how == "killed":
                    server.process.kill()
                else:
                    server.process.terminate()
                app.wait_exit(10)
                check(pages_in(sandbox.app_dir) == [], f"X server {how}: pages left behind")
                check(sandbox.browser_starts() == [], f"started {sandbox.browser_starts()}")
                poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
            check_gone(app, sandbox)


def scenario_copies(options):
    """A copy killed outright leaves its pages to the others, and the next one to close still
    takes them away; a copy's temporary files left by a kill are removed by the next start, but
    never one that a running copy may be writing."""
    pages = expected_pages(options)
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        leftover = os.path.join(sandbox.app_dir, LEFTOVER)
        with open(leftover, "wb") as file:
            file.write(b"half a page of a copy killed while writing")
        with start(sandbox, display) as killed:
            killed.wait_ready()
            check(not os.path.exists(leftover), "the start left a dead copy's temporary file")
            with start(sandbox, display) as survivor:
                survivor.wait_ready()
                # While a copy runs, a temporary file beside the pages may be one it is writing.
                with open(leftover, "wb") as file:
                    file.write(b"being written")
                with start(sandbox, display) as third:
                    third.wait_ready()
                    check(os.path.exists(leftover), "a running copy's temporary file was removed")
                    os.killpg(third.process.pid, signal.SIGKILL)
                    third.wait_exit()
                os.remove(leftover)
                os.killpg(killed.process.pid, signal.SIGKILL)
                killed.wait_exit()
                check_pages_written(sandbox.app_dir, pages)
                close_and_check(display, survivor, sandbox)
        check_gone(survivor, sandbox)


def scenario_page_file_removed(options):
    """Page files that are gone when the panes load them (another program removed them) are
    reported in one message box, not shown as silent error pages, and the program goes on."""
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        stop = threading.Event()
        watching = threading.Event()

        def remove_the_pages():
            # Removes each page as soon as it is in place, before its pane reads it.
            left = set(PAGE_NAMES)
            with plqsession.FolderWatch(sandbox.app_dir) as watch:
                watching.set()
                while left and not stop.is_set():
                    watch.wait(0.1)
                    for kind, name in watch.read():
                        if kind == "moved_to" and name in left:
                            left.discard(name)
                            with contextlib.suppress(FileNotFoundError):
                                os.remove(os.path.join(sandbox.app_dir, name))

        remover = threading.Thread(target=remove_the_pages, daemon=True)
        remover.start()
        check(watching.wait(10), "the folder watch did not start")
        try:
            with start(sandbox, display) as app:
                # Both failures in one box: the second never opens a box over the first.
                box_text(app, [os.path.join(sandbox.app_dir, name) for name in PAGE_NAMES])
                boxes = poll(lambda: message_boxes(display), 30, "the message box")
                check(len(boxes) == 1, f"{len(boxes)} message boxes for two failures")
                box = boxes[0]
                plqsession.screenshot(display, box,
                                      os.path.join(options.artefacts, "faults-missing-page.png"))
                main = [xid for xid in caption_windows(display, None) if xid != box][0]
                answer_message_box(display, main, box)
                check(message_boxes(display) == [], "a box was left behind the first")
                check(app.process.poll() is None, "the program ended with the message")
                app.xid = main
                close_and_check(display, app, sandbox)
        finally:
            stop.set()
            remover.join(5)
        check_gone(app, sandbox)


def box_text(app, holding, timeout=30):
    """The text of the program's message box once it holds every string of `holding`, as the
    program reports each box it opens or adds to."""
    deadline, after = time.monotonic() + timeout, 0
    while True:
        entry = app.wait_line(BOX_LINE, max(0.1, deadline - time.monotonic()), after=after)
        after = app.seen.index(entry) + 1
        text = json.loads(entry[1][len(BOX_LINE):])
        if all(part in text for part in holding):
            return text


def scenario_close_with_box_open(options):
    """The user's close request while a message box (the page's alert) is open closes the box,
    then the window, as usual."""
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        with start(sandbox, display) as app:
            app.wait_ready()
            show_alert(display, app)
            wait_message_box(display, app.xid, "of the alert")
            close_and_check(display, app, sandbox)
        check_gone(app, sandbox)


def long_folder(parent, length, owner):
    """A folder of `length` bytes below `parent`, in names of 255 bytes (the most a name may
    have), the last one given to `owner` (uid, gid)."""
    path = parent
    while length - len(path) > 256:
        path += "/" + "r" * 255
    path += "/" + "r" * (length - len(path) - 1)
    os.makedirs(path)
    os.chown(path, *owner)
    return path


def scenario_long_folder_path(options):
    """A private folder whose page files' paths are too long to open ($XDG_RUNTIME_DIR of 4,084
    bytes) is passed over for the next one; where none is left, the message box that says so fits
    on the screen, its button too. A runtime folder too long for the sandbox's sockets (100 bytes)
    still holds the pages."""
    pages = expected_pages(options)
    cases = [  # (length of $XDG_RUNTIME_DIR, the folder the pages go to: None for none)
        (100, "runtime"),
        (4084, "cache"),
        (4084, None),
    ]
    for length, where in cases:
        user = test_app.run_as_other_user() if where is None else None
        with Sandbox(options, user=user) as sandbox, plqsession.xvfb() as display:
            info = os.stat(sandbox.runtime)
            runtime = long_folder(sandbox.runtime, length, (info.st_uid, info.st_gid))
            changes = {"XDG_RUNTIME_DIR": runtime}
            if where is None:
                os.chmod(sandbox.app_dir, 0o555)
                changes["XDG_CACHE_HOME"] = sandbox.make("locked", 0o555)
            else:
                os.chmod(sandbox.app_dir, 0o777)  # others could change it: not used
            with start(sandbox, display, **changes) as app:
                if where is not None:
                    app.wait_ready()
                    folder = os.path.join({"runtime": runtime, "cache": sandbox.cache}[where],
                                          "plqcalc")
                    check_pages_written(folder, pages)
                    close_and_check(display, app, sandbox, folder)
                    continue
                text = box_text(app, [os.path.join(runtime, "plqcalc")])
                box = wait_message_box(display, None, "saying no folder can be used")
                plqsession.screenshot(display, box,
                                      os.path.join(options.artefacts, "faults-long-path.png"))
                x, y, width, height = test_app.window_geometry(display, box)
                check(x >= 0 and y >= 0 and x + width <= plqsession.SCREEN[0] and
                      y + height <= plqsession.SCREEN[1],
                      f"a box of {width} x {height} at {x},{y} for {len(text)} characters")
                answer_message_box(display, None, box)
                check(app.wait_exit(10) == 1, f"exit status {app.process.returncode}")
                poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
            os.chmod(sandbox.app_dir, 0o755)
            # (dconf's marker is the session's, not ours.)
            left = [p for p in sandbox.files_left() + os.listdir(runtime)
                    if p not in ("locked", "dconf", os.path.join("home", ".cache"))
                    and not p.startswith(os.path.join("runtime", "r"))]
            check(not left, f"{length}: files left behind: {left}")


def scenario_web_process_crash(options):
    """The web process that runs the panes crashing or being killed: the calculator comes back
    by itself; when it keeps failing, the user is told and the program ends cleanly. The program
    never sits with a blank pane."""
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        with start(sandbox, display) as app:
            app.wait_ready()
            processes = web_processes(app)
            check(processes, "no web process found")
            for pid in processes:
                os.kill(pid, signal.SIGKILL)
            report = app.wait_ready(again=True)
            test_app.check_ready(report, set())
            check_pages_written(sandbox.app_dir, expected_pages(options))
            close_and_check(display, app, sandbox)
        check_gone(app, sandbox)

    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        with start(sandbox, display) as app:
            app.wait_ready()
            # Every web process dies soon after it starts, before the calculator has loaded in
            # it: the calculator cannot come back. (Not before it has told WebKit its process id:
            # WebKitGTK itself aborts the program when a web process dies that early.)
            deadline = time.monotonic() + 30
            ids = IdWatch()
            ids.mark_old(web_processes(app))
            box = None
            while box is None and time.monotonic() < deadline:
                for pid in web_processes(app):
                    if ids.reported(pid):
                        with contextlib.suppress(ProcessLookupError):
                            os.kill(pid, signal.SIGKILL)
                found = caption_windows(display, app.xid)
                box = found[0] if found else None
                time.sleep(0.002)
            check(box is not None, "the user was not told that the calculator cannot be shown; "
                  f"exit {app.process.poll()}, stdout {app.seen[-3:]}, stderr {app.stderr[-5:]}")
            plqsession.screenshot(display, box,
                                  os.path.join(options.artefacts, "faults-web-process.png"))
            xdotool(display, "windowfocus", "--sync", str(box))
            xdotool(display, "key", "Return")
            check(app.wait_exit(10) == 0, f"exit status {app.process.returncode}")
            check(pages_in(sandbox.app_dir) == [], "pages left behind")
            check(sandbox.browser_starts() == [], f"started {sandbox.browser_starts()}")
            poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
        check_gone(app, sandbox)


def scenario_program_crash(options):
    """The program itself crashing (an abort, as WebKitGTK does when a web process dies at its
    very start; a bad memory access) takes its page files with it, unless another copy still
    shows them."""
    pages = expected_pages(options)
    for number in (signal.SIGABRT, signal.SIGSEGV, signal.SIGTRAP):
        name = signal.Signals(number).name
        with Sandbox(options) as sandbox, plqsession.xvfb() as display:
            with start(sandbox, display) as app:
                app.wait_ready()
                app.process.send_signal(number)
                status = app.wait_exit(10)
                # A sanitizer build reports the crash and ends with its own status.
                check(status != 0, f"{name}: exit status {status}")
                check(pages_in(sandbox.app_dir) == [], f"{name}: pages left behind")
                poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
            check_gone(app, sandbox)
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        with start(sandbox, display) as other:
            other.wait_ready()
            # Started once the first one shows: the second window covers the first.
            with start(sandbox, display) as app:
                app.wait_ready()
                app.process.send_signal(signal.SIGABRT)
                app.wait_exit(10)
                poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
            check_pages_written(sandbox.app_dir, pages)
            close_and_check(display, other, sandbox)
        check_gone(other, sandbox)


class Widget:
    """The remote widget the side panel frames, served here: the program reaches it through a
    proxy (http_proxy), as it would reach the real service. `body` is the widget's page; `routes`
    maps other paths of its host to a function that answers the request handler instead."""

    def __init__(self, body, routes=None):
        widget = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                widget.requests.append(self.headers.get("Host", ""))
                path = urllib.parse.urlsplit(self.path).path
                widget.paths.append(path)
                if path in (routes or {}):
                    routes[path](self)
                    return
                data = body.encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)

            def log_message(self, *args):
                pass

        self.requests = []
        self.paths = []
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.proxy = f"http://127.0.0.1:{self.server.server_address[1]}"
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def scenario_widget(options):
    """Whatever the framed widget does, it never speaks as the program (its alerts, confirms and
    prompts show nothing) and never keeps the calculator frozen for more than a few seconds."""
    # The last line runs only once every dialog has been answered or refused: it asks for
    # /spoken.
    speaking = ("<script>alert('pay here'); confirm('sure?'); prompt('password');"
                "window.print(); new Image().src = '/spoken';</script><p>widget</p>")
    with Sandbox(options) as sandbox, plqsession.xvfb() as display, Widget(speaking) as widget:
        with start(sandbox, display, http_proxy=widget.proxy, no_proxy="") as app:
            app.wait_ready()
            poll(lambda: widget.requests, 30, "the side panel to ask for its widget")
            poll(lambda: "/spoken" in widget.paths, 30, "the widget past its dialogs")
            check(caption_windows(display, app.xid) == [], "the widget spoke as the program")
            # The calculator's own alert is still the program's message box.
            show_alert(display, app)
            answer_message_box(display, app.xid, wait_message_box(display, app.xid, "of the alert"))
            close_and_check(display, app, sandbox)
        check_gone(app, sandbox)

    hanging = "<script>while (true) {}</script>"
    with Sandbox(options) as sandbox, plqsession.xvfb() as display, Widget(hanging) as widget:
        with start(sandbox, display, http_proxy=widget.proxy, no_proxy="") as app:
            poll(lambda: widget.requests, 60, "the side panel to ask for its widget")
            app.xid = poll(lambda: caption_windows(display, None), 30, "the window")[0]
            # The user acts on the calculator: its answer may take a few seconds (the hung
            # process is noticed and the calculator is drawn anew), not for ever. What the user
            # typed into the hung process is lost: the user tries again.
            asked = time.monotonic()
            answered = False
            while not answered and time.monotonic() < asked + 30:
                show_alert(display, app)
                with contextlib.suppress(plqsession.Timeout):
                    box = poll(lambda: caption_windows(display, app.xid), 6, "the alert")[0]
                    print(f"the calculator answered {time.monotonic() - asked:.1f} s after the "
                          "user first acted")
                    answer_message_box(display, app.xid, box)
                    answered = True
            check(answered, "the calculator stayed frozen behind the hung widget")
            # It stays usable while the widget goes on hanging in a process of its own.
            poll(lambda: len(widget.requests) >= 2, 30, "the widget again, in a process of its own")
            print(f"the widget was asked for at {widget.paths}")
            show_alert(display, app)
            answer_message_box(display, app.xid, wait_message_box(display, app.xid, "again"))
            close_and_check(display, app, sandbox)
        check_gone(app, sandbox)


def scenario_hostile_folders(options):
    """An application folder that others can change (group or world writable without the sticky
    bit, or another user's) is not used: the pages go to the private folder. Page files never
    depend on the umask. A missing $XDG_RUNTIME_DIR is passed over, never made."""
    pages = expected_pages(options)
    cases = [  # (name, how the application folder is set up, umask, where the pages must go)
        ("group writable", lambda s: os.chmod(s.app_dir, 0o775), 0o002, "runtime"),
        ("world writable", lambda s: os.chmod(s.app_dir, 0o777), 0o022, "runtime"),
        ("sticky world writable", lambda s: os.chmod(s.app_dir, 0o1777), 0o002, "app"),
        ("own folder, loose umask", lambda s: None, 0o002, "app"),
        ("no runtime folder", lambda s: os.chmod(s.app_dir, 0o777), 0o022, "cache"),
    ]
    for name, prepare, mask, where in cases:
        with Sandbox(options) as sandbox, plqsession.xvfb() as display:
            prepare(sandbox)
            changes = {}
            if name == "no runtime folder":
                changes["XDG_RUNTIME_DIR"] = os.path.join(sandbox.root, "run", "user", "1000")
            folder = {"runtime": os.path.join(sandbox.runtime, "plqcalc"),
                      "cache": os.path.join(sandbox.cache, "plqcalc"),
                      "app": sandbox.app_dir}[where]
            with start(sandbox, display, preexec=lambda: os.umask(mask), **changes) as app:
                app.wait_ready()
                check_pages_written(folder, pages)
                for page in PAGE_NAMES:
                    mode = stat.S_IMODE(os.lstat(os.path.join(folder, page)).st_mode)
                    check(mode == 0o644, f"{name}: {page} has mode {oct(mode)}")
                if where != "app":
                    check(pages_in(sandbox.app_dir) == [], f"{name}: wrote into the app folder")
                # (dconf, GTK's settings store, makes its own folder there: not ours to judge.)
                check(not os.path.exists(os.path.join(sandbox.root, "run", "user", "1000",
                                                      "plqcalc")),
                      f"{name}: made a folder in a runtime folder the session does not have")
                close_and_check(display, app, sandbox, folder)
            os.chmod(sandbox.app_dir, 0o755)
            left = [p for p in sandbox.files_left()
                    if p != os.path.join("home", ".cache") and not p.startswith("run")]
            check(not left, f"{name}: files left behind: {left}")


def scenario_foreign_folder(options):
    """An application folder that belongs to another user is not used: that user could swap the
    page for one the program then runs. The pages go to the private folder."""
    if os.geteuid() != 0:
        print("skipped: only root can give a folder to another user")
        sys.exit(77)
    pages = expected_pages(options)
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        os.chown(sandbox.app_dir, 65534, 65534)
        folder = os.path.join(sandbox.runtime, "plqcalc")
        with start(sandbox, display) as app:
            app.wait_ready()
            check_pages_written(folder, pages)
            check(pages_in(sandbox.app_dir) == [], "wrote into another user's folder")
            close_and_check(display, app, sandbox, folder)
        os.chown(sandbox.app_dir, os.getuid(), os.getgid())
        check_gone(app, sandbox)


def scenario_odd_folder_names(options):
    """A folder whose name holds '#', '%', spaces and other characters works as any other."""
    pages = expected_pages(options)
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        odd = os.path.join(sandbox.root, "a #1 %41%25 程序 ?x=1&y [z]")
        os.mkdir(odd)
        shutil.move(sandbox.executable, odd)
        os.rmdir(sandbox.app_dir)
        sandbox.app_dir, sandbox.executable = odd, os.path.join(odd, "plqcalc")
        with start(sandbox, display, PLQ_TEST_WATCH=odd) as app:
            test_app.check_ready(app.wait_ready(), set())
            check_pages_written(odd, pages)
            close_and_check(display, app, sandbox, odd)
        check_gone(app, sandbox)


def scenario_file_size_limit(options):
    """A file-size limit makes writing the pages fail as a full disk does: the user is told,
    nothing is left behind, and the program ends with a failure rather than being killed."""
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (1024, 1024))

        with start(sandbox, display, preexec=limit) as app:
            box = wait_message_box(display, None, "saying no folder can be written")
            answer_message_box(display, None, box)
            status = app.wait_exit(10)
            check(status == 1, f"exit status {status} (-25 is SIGXFSZ)")
            poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
        # The user's cache folder may be made (it is the user's own); nothing in it stays.
        left = [p for p in sandbox.files_left() if p != os.path.join("home", ".cache")]
        check(not left, f"files left behind: {left}")


def check_limit(options, which, low, name):
    """A limit too low for the program (`low` as `ulimit` sets it, soft and hard) is named in a
    box (`name`, the ulimit option), and the program ends with a failure, leaving nothing. The
    same soft limit under a higher hard one is raised, and the program works."""
    cases = [  # (soft limit, hard limit, whether the program works)
        (low, low, False),
        (low, resource.getrlimit(which)[1], True),
    ]
    for soft, hard, works in cases:
        with Sandbox(options) as sandbox, plqsession.xvfb() as display:
            with start(sandbox, display,
                       preexec=lambda: resource.setrlimit(which, (soft, hard))) as app:
                if works:
                    test_app.check_ready(app.wait_ready(), set())
                    close_and_check(display, app, sandbox)
                else:
                    box_text(app, [name])
                    answer_message_box(display, None,
                                       wait_message_box(display, None, "saying what is missing"))
                    check(app.wait_exit(10) == 1, f"{name}: exit status {app.process.returncode}")
                    check(sandbox.browser_starts() == [], f"started {sandbox.browser_starts()}")
                    poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
            check_gone(app, sandbox)


def scenario_file_limit(options):
    """`ulimit -n 16`: too few open files for WebKit."""
    check_limit(options, resource.RLIMIT_NOFILE, 16, "ulimit -n")


def scenario_memory_limit(options):
    """`ulimit -v` of 4 GiB: too little address space for JavaScriptCore."""
    with open(options.app, "rb") as file:
        if b"libasan.so" in file.read():
            print("skipped: AddressSanitizer cannot start under an address-space limit")
            sys.exit(77)
    check_limit(options, resource.RLIMIT_AS, 4 << 30, "ulimit -v")


@contextlib.contextmanager
def full_file_system(folder, program):
    """`folder` as a small file system holding `program`, filled up."""
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16m", "tmpfs", folder], check=True)
    try:
        shutil.copy2(program, folder)
        with contextlib.suppress(OSError), open(os.path.join(folder, "filler"), "wb") as file:
            while True:
                file.write(b"f" * 65536)
        yield
    finally:
        subprocess.run(["umount", folder], check=False)


def scenario_full_disk(options):
    """An application folder on a full disk: the pages go to the private folder, and nothing is
    left in the full one."""
    if os.geteuid() != 0:
        print("skipped: mounting a small file system needs root")
        sys.exit(77)
    pages = expected_pages(options)
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        with full_file_system(sandbox.app_dir, options.app):
            before = sorted(os.listdir(sandbox.app_dir))
            folder = os.path.join(sandbox.runtime, "plqcalc")
            with start(sandbox, display) as app:
                app.wait_ready()
                check_pages_written(folder, pages)
                check(sorted(os.listdir(sandbox.app_dir)) == before,
                      f"left in the full folder: {os.listdir(sandbox.app_dir)}")
                close_and_check(display, app, sandbox, folder)
        check_gone(app, sandbox)


SCENARIOS = {
    "signals": scenario_signals,
    "stack_overflow": scenario_stack_overflow,
    "display_lost": scenario_display_lost,
    "copies": scenario_copies,
    "page_file_removed": scenario_page_file_removed,
    "close_with_box_open": scenario_close_with_box_open,
    "long_folder_path": scenario_long_folder_path,
    "web_process_crash": scenario_web_process_crash,
    "program_crash": scenario_program_crash,
    "widget": scenario_widget,
    "hostile_folders": scenario_hostile_folders,
    "foreign_folder": scenario_foreign_folder,
    "odd_folder_names": scenario_odd_folder_names,
    "file_size_limit": scenario_file_size_limit,
    "file_limit": scenario_file_limit,
    "memory_limit": scenario_memory_limit,
    "full_disk": scenario_full_disk,
}


if __name__ == "__main__":
    test_app.run_scenario(__doc__, SCENARIOS)
