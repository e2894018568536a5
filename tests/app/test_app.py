#!/usr/bin/env python3
"""The built program in a real window on a private Xvfb, used as a user would use it: its page
files, the calculator drawn by the real WebKit, the menu clicked with the pointer, the window closed
by a window manager's close request, a read-only install, two copies in one folder.

    test_app.py SCENARIO --app plqcalc --calculator-page F --side-panel-page F --artefacts DIR
                --app-id ID --icon-sizes N... [--build-dir DIR --cmake CMAKE]

The external browser is a recording fake xdg-open, first on PATH. Each scenario checks that no
process of the program and no file it wrote is left when it ends.
"""

import argparse
import datetime
import os
import pwd
import shutil
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import plqsession  # noqa: E402
from plqsession import App, FolderWatch, poll  # noqa: E402

CAPTION = "排卵期计算器"
HOME_PAGE = "http://www.example.com"
EXIT_PAGE = ("http://go.example.com/go/chn/tbk_channel/channelcode.php"
             "?pid=mm_10000001_2_3&eventid=101329")
PAGE_NAMES = ("plqclear.htm", "1.htm")
AREA = (735, 496)
MOTIF_FUNC_RESIZE, MOTIF_FUNC_MINIMIZE, MOTIF_FUNC_MAXIMIZE, MOTIF_FUNC_CLOSE = 2, 8, 16, 32

# Records each start: the arguments, then which page files the watched folders held then.
FAKE_XDG_OPEN = """#!/bin/sh
line="$*"
for folder in $PLQ_TEST_WATCH; do
  for name in plqclear.htm 1.htm; do
    if [ -e "$folder/$name" ]; then line="$line	present:$name"; fi
  done
done
printf '%s\\n' "$line" >> "$PLQ_TEST_RECORD"
"""


def check(condition, message):
    if not condition:
        raise AssertionError(message)


class Sandbox:
    """A throwaway folder tree: app/ holds a copy of the program, bin/ the fake xdg-open, home/
    and runtime/ the user's folders. `user` runs the program as another account (as root)."""

    def __init__(self, options, user=None):
        self.options = options
        self.root = tempfile.mkdtemp(prefix="plqcalc-app-test-")
        os.chmod(self.root, 0o755)
        self.app_dir = self.make("app")
        self.executable = os.path.join(self.app_dir, "plqcalc")
        shutil.copy2(options.app, self.executable)
        self.bin_dir = self.make("bin")
        fake = os.path.join(self.bin_dir, "xdg-open")
        with open(fake, "w") as file:
            file.write(FAKE_XDG_OPEN)
        os.chmod(fake, 0o755)
        self.record = os.path.join(self.make("record", 0o777), "xdg-open.log")
        self.user = user
        self.home = self.make("home", 0o700)
        self.runtime = self.make("runtime", 0o700)
        self.cache = os.path.join(self.home, ".cache")
        self.user_prefix = ()
        if user is not None:
            account = pwd.getpwnam(user)
            for folder in (self.home, self.runtime):
                os.chown(folder, account.pw_uid, account.pw_gid)
            self.user_prefix = ("setpriv", f"--reuid={account.pw_uid}",
                                f"--regid={account.pw_gid}", "--clear-groups", "--")

    def make(self, name, mode=0o755):
        path = os.path.join(self.root, name)
        os.mkdir(path)
        os.chmod(path, mode)
        return path

    def env(self, watch=(), **changes):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith(("XDG_", "PLQ_"))}
        env.update({"PATH": self.bin_dir + ":" + env.get("PATH", "/usr/bin:/bin"),
                    "HOME": self.home, "XDG_RUNTIME_DIR": self.runtime,
                    "PLQ_TEST_RECORD": self.record,
                    "PLQ_TEST_WATCH": " ".join(watch or [self.app_dir]),
                    "LANG": "C.UTF-8"})
        for key, value in changes.items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = value
        return env

    def start(self, display, **env_changes):
        return App(self.executable, display, env=self.env(**env_changes), cwd=self.root,
                   user_prefix=self.user_prefix)

    def browser_starts(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record) as file:
            return [line.rstrip("\n").split("\t") for line in file]

    def files_left(self):
        """Everything below the sandbox except what the test itself put there."""
        ours = {self.executable, self.bin_dir, os.path.join(self.bin_dir, "xdg-open"),
                os.path.dirname(self.record), self.record, self.app_dir, self.home,
                self.runtime}
        # dconf's marker in the session's runtime folder belongs to the session and every GTK
        # program in it, not to this program.
        # (It falls back to ~/.cache/dconf without a runtime folder.)
        ours |= {os.path.join(self.runtime, "dconf"), os.path.join(self.runtime, "dconf", "user"),
                 os.path.join(self.cache, "dconf"), os.path.join(self.cache, "dconf", "user")}
        # So is WebKit's folder for its sandbox's D-Bus proxy sockets, emptied when they end.
        ours |= {os.path.join(folder, "webkitgtk") for folder in (self.runtime, self.cache)}
        left = []
        for folder, dirs, files in os.walk(self.root):
            for name in dirs + files:
                path = os.path.join(folder, name)
                if path not in ours:
                    left.append(os.path.relpath(path, self.root))
        return left

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.root, ignore_errors=True)


def resource_bytes(executable, resource_id):
    return subprocess.run(["gresource", "extract", executable, f"/custom/{resource_id}"],
                          check=True, capture_output=True, timeout=30).stdout


def expected_pages(options):
    pages = []
    for path, resource_id in ((options.calculator_page, 101), (options.side_panel_page, 102)):
        with open(path, "rb") as file:
            built = file.read()
        check(resource_bytes(options.app, resource_id) == built,
              f"resource {resource_id} differs from the built page {path}")
        pages.append(built)
    return pages


def check_pages_written(folder, pages):
    for name, expected in zip(PAGE_NAMES, pages):
        path = os.path.join(folder, name)
        check(os.path.isfile(path) and not os.path.islink(path), f"{path} is not a file")
        with open(path, "rb") as file:
            check(file.read() == expected, f"{path} is not byte-equal to its resource")


def check_ready(report, days_before):
    """The calculator shows today's date and both calendars, rendered by WebKit."""
    today = {datetime.date.today(), *days_before}
    shown = (report["year"], report["month"], report["day"])
    check(shown in {(str(d.year), str(d.month), str(d.day)) for d in today},
          f"the date fields show {shown}, not today ({today})")
    check(report["calendar1"] > 0 and report["calendar2"] > 0, f"calendars not drawn: {report}")
    check(report["compatMode"] == "BackCompat", f"not in quirks mode: {report}")


def check_gl_kept_out(app):
    """Only the web process loads a GL driver: the program's own process draws nothing with GL
    (the panes are not accelerated), and the web process starts without what kept it out."""
    web = [pid for pid, name in plqsession.descendants(app.process.pid).items()
           if name.startswith("WebKitWebProces")]
    check(web, "no web process")
    drivers = {pid: plqsession.gl_drivers(pid) for pid in [app.process.pid, *web]}
    check(not drivers[app.process.pid] and all(drivers[pid] for pid in web),
          f"GL drivers mapped, by process (the program's first): {drivers}")
    for pid in web:
        with open(f"/proc/{pid}/environ", "rb") as file:
            environment = file.read().split(b"\0")
        check(not {b"GDK_GL=disable", b"__EGL_VENDOR_LIBRARY_FILENAMES=/dev/null"} &
              set(environment), f"web process {pid} started with the program's GL settings")


def check_gone(app, sandbox):
    check(not app.group_alive(), "a process of the program outlived it")
    left = sandbox.files_left()
    check(not left, f"files left behind: {left}")


def xprop(display, xid, prop):
    return subprocess.run(["xprop", "-display", display, "-id", hex(xid), prop], check=True,
                          capture_output=True, text=True, timeout=30).stdout


def window_geometry(display, xid):
    text = subprocess.run(["xwininfo", "-display", display, "-id", hex(xid)], check=True,
                          capture_output=True, text=True, timeout=30).stdout
    values = {}
    for line in text.splitlines():
        key, _, value = line.strip().partition(":")
        values[key] = value.strip()
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]))


def menu_entries(display, xid, picture, scale=1):
    """Screen points on the menu bar's entries, left to right: the centres of the text runs in
    the bar of the window's screenshot `picture` (of a window at GDK_SCALE `scale`)."""
    x, y, _, height = window_geometry(display, xid)
    bar_height = height - AREA[1] * scale
    width, _, raw = plqsession.pixels(picture)
    inked = [any(min(raw[(row * width + column) * 3:(row * width + column) * 3 + 3]) < 100
                 for row in range(bar_height)) for column in range(width)]
    entries, start, gap = [], None, 0
    for column, ink in enumerate(inked + [False] * 10):
        if ink:
            start = column if start is None else start
            gap = 0
        elif start is not None:
            gap += 1
            if gap >= 8 * scale:
                entries.append((x + (start + column - gap) // 2, y + bar_height // 2))
                start = None
    return entries


def click(display, point):
    xdotool(display, "mousemove", str(point[0]), str(point[1]), "click", "1")


def count_colour(picture, box, colour):
    width, _, raw = plqsession.pixels(picture)
    x0, y0, x1, y1 = box
    wanted = bytes(colour)
    return sum(raw[(y * width + x) * 3:(y * width + x) * 3 + 3] == wanted
               for y in range(y0, y1) for x in range(x0, x1))


def xdotool(display, *args):
    subprocess.run(["xdotool", *args], check=True, timeout=30,
                   env={**os.environ, "DISPLAY": display})


def scenario_window(options):
    """Start, look, click both menu entries, close: the whole life of one window."""
    pages = expected_pages(options)
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        # Bad leftovers at the page paths: a longer old file and a link to a file elsewhere.
        victim = os.path.join(sandbox.home, "victim.txt")
        with open(victim, "wb") as file:
            file.write(b"must stay")
        with open(os.path.join(sandbox.app_dir, PAGE_NAMES[0]), "wb") as file:
            file.write(b"stale" * 10000)
        os.symlink(victim, os.path.join(sandbox.app_dir, PAGE_NAMES[1]))
        ours = {sandbox.executable, victim}
        sandbox_files_left = sandbox.files_left
        sandbox.files_left = lambda: [p for p in sandbox_files_left()
                                      if os.path.join(sandbox.root, p) not in ours]
        before = datetime.date.today()
        with FolderWatch(sandbox.app_dir) as watch, sandbox.start(display) as app:
            # At the window's first sight the page files are already whole.
            poll(lambda: caption_windows(display, None), 60, "the window", interval=0.005)
            check_pages_written(sandbox.app_dir, pages)
            report = app.wait_ready()
            check_ready(report, {before})
            check_gl_kept_out(app)
            check_pages_written(sandbox.app_dir, pages)
            with open(victim, "rb") as file:
                check(file.read() == b"must stay", "the planted link was followed")
            arrivals = [name for kind, name in watch.read()
                        if kind == "moved_to" and name in PAGE_NAMES]
            check(arrivals == list(PAGE_NAMES), f"pages arrived as {arrivals}")

            title = xprop(display, app.xid, "_NET_WM_NAME")
            check(f'"{CAPTION}"' in title, f"caption: {title}")
            motif = xprop(display, app.xid, "_MOTIF_WM_HINTS").split("=")[1].split(",")
            functions = int(motif[1], 16)
            check(functions & MOTIF_FUNC_MINIMIZE and functions & MOTIF_FUNC_RESIZE and
                  functions & MOTIF_FUNC_CLOSE and not functions & MOTIF_FUNC_MAXIMIZE,
                  f"window functions {motif}")
            icons = xprop(display, app.xid, "_NET_WM_ICON").replace("(", " ")
            # (GDK leaves out the 256 x 256 picture under X11: it passes the largest request size.)
            for size in (16, 32, 48, 64, 128):
                check(f"{size} x {size}" in icons, f"the window icon lacks its {size} x {size} image")
            # Docks group the window with its launcher by this class: the desktop entry's name.
            wm_class = xprop(display, app.xid, "WM_CLASS")
            check(f'"{options.app_id}", "{options.app_id}"' in wm_class, f"window class {wm_class}")
            x, y, width, height = window_geometry(display, app.xid)
            bar = height - AREA[1]
            check(width == AREA[0] and 20 <= bar <= 40, f"window {width} x {height}")
            screen = plqsession.SCREEN
            check(abs(x - (screen[0] - width) // 2) <= 1 and abs(y - (screen[1] - height) // 2)
                  <= 1, f"window at {x},{y} is not centred")

            # The side panel's own page is a local file: it loads whatever its remote frame does.
            app.wait_line(plqsession.SIDE_PANEL_LINE, 30)
            picture = os.path.join(options.artefacts, "app-window.png")

            def SidePanelOnScreen():
                # The side panel's white page, not the window's grey, fills the right pane.
                plqsession.screenshot(display, app.xid, picture)
                return count_colour(picture, (560, bar, AREA[0], height), (0xFF, 0xFF, 0xFF)) > \
                    (AREA[0] - 560) * AREA[1] // 2

            plqsession.poll(SidePanelOnScreen, 10, "the side panel on the screen", interval=0.2)
            # The date row's pink is drawn inside the left pane, and nowhere above it.
            check(count_colour(picture, (0, bar, 553, height), (0xFF, 0xCC, 0xCC)) > 1000,
                  "the calculator is not drawn in the left pane")

            entries = menu_entries(display, app.xid, picture)
            check(len(entries) == 2, f"menu entries found at {entries}")
            for number, entry in enumerate(entries, start=1):
                click(display, entry)
                poll(lambda: len(sandbox.browser_starts()) >= number, 20,
                     f"the browser after click {number}")
            starts = sandbox.browser_starts()
            check([s[0] for s in starts] == [HOME_PAGE, HOME_PAGE],
                  f"menu clicks started {starts}")

            watch.events.clear()
            app.close(display)
            check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
            deletions = [name for kind, name in watch.read() if kind == "delete"]
            check(deletions == list(PAGE_NAMES), f"pages removed as {deletions}")
            starts = sandbox.browser_starts()
            check(starts[2:] == [[EXIT_PAGE]],
                  f"at close the browser started as {starts[2:]} (want the exit page with no "
                  "page file left)")
            poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
        check_gone(app, sandbox)
        check(sorted(os.listdir(sandbox.home)) == ["victim.txt"],
              f"the program wrote into HOME: {os.listdir(sandbox.home)}")


def run_as_other_user():
    """As root, the account to run the program as so that the install folder is read-only."""
    return "nobody" if os.geteuid() == 0 else None


def scenario_read_only(options):
    """An install folder the user cannot write: the pages go to a private folder and work."""
    pages = expected_pages(options)
    cases = [  # (XDG_RUNTIME_DIR set, where the pages must go)
        (True, lambda s: os.path.join(s.runtime, "plqcalc")),
        (False, lambda s: os.path.join(s.cache, "plqcalc")),
    ]
    for with_runtime, folder_of in cases:
        with Sandbox(options, user=run_as_other_user()) as sandbox, \
                plqsession.xvfb() as display:
            if sandbox.user is None:
                os.chmod(sandbox.app_dir, 0o555)
            folder = folder_of(sandbox)
            env = {} if with_runtime else {"XDG_RUNTIME_DIR": None}
            with sandbox.start(display, watch=[folder, sandbox.app_dir], **env) as app:
                report = app.wait_ready()
                check_ready(report, set())
                check_pages_written(folder, pages)
                check(stat.S_IMODE(os.stat(folder).st_mode) == 0o700,
                      f"{folder} has mode {oct(os.stat(folder).st_mode)}")
                check(os.listdir(sandbox.app_dir) == ["plqcalc"], "wrote into the install folder")
                app.close(display)
                check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
                check(sandbox.browser_starts() == [[EXIT_PAGE]],
                      f"at close: {sandbox.browser_starts()}")
                poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
            os.chmod(sandbox.app_dir, 0o755)
            # The private folder goes with its pages; the cache folder itself may stay.
            sandbox_left = [p for p in sandbox.files_left() if p != os.path.join("home", ".cache")]
            check(not sandbox_left, f"files left behind: {sandbox_left}")


def scenario_no_folder(options):
    """No folder can be written: a message box says so and the program ends with a failure."""
    with Sandbox(options, user=run_as_other_user()) as sandbox, plqsession.xvfb() as display:
        locked = sandbox.make("locked", 0o555)
        if sandbox.user is None:
            os.chmod(sandbox.app_dir, 0o555)
        with sandbox.start(display, XDG_RUNTIME_DIR=None, XDG_CACHE_HOME=locked) as app:
            # The main window is never shown: the message box is the only window.
            box = wait_message_box(display, None, "saying no folder can be written")
            plqsession.screenshot(display, box, os.path.join(options.artefacts, "app-no-folder.png"))
            check(app.process.poll() is None, "the program ended before the message was read")
            xdotool(display, "windowfocus", "--sync", str(box))
            xdotool(display, "key", "Return")
            status = app.wait_exit()
            check(status != 0, "a program that could not load ended with status 0")
            check(sandbox.browser_starts() == [], f"started a browser: {sandbox.browser_starts()}")
            poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
        os.chmod(sandbox.app_dir, 0o755)
        left = [p for p in sandbox.files_left() if p != "locked"]
        check(not left, f"files left behind: {left}")


def scenario_installed(options):
    """`cmake --install` puts the program, its desktop entry and icons where desktops look, and
    the installed program works for a user who cannot write to its folder."""
    pages = expected_pages(options)
    with Sandbox(options, user=run_as_other_user()) as sandbox, plqsession.xvfb() as display:
        prefix = os.path.join(sandbox.root, "prefix")
        subprocess.run([options.cmake, "--install", options.build_dir, "--prefix", prefix],
                       check=True, capture_output=True, timeout=60)
        installed = os.path.join(prefix, "bin", "plqcalc")
        check(os.access(installed, os.X_OK), "no bin/plqcalc")
        app_id = options.app_id
        with open(os.path.join(prefix, "share", "applications", f"{app_id}.desktop")) as file:
            entry = file.read().splitlines()
        for line in ("[Desktop Entry]", "Type=Application", "Exec=plqcalc", f"Icon={app_id}",
                     f"StartupWMClass={app_id}", f"Name[zh_CN]={CAPTION}"):
            check(line in entry, f"the desktop entry lacks {line}")
        icons = os.path.join(prefix, "share", "icons", "hicolor")
        for size in options.icon_sizes:
            icon = os.path.join(icons, f"{size}x{size}", "apps", f"{app_id}.png")
            described = subprocess.run(["identify", "-format", "%w %h", icon],
                                       check=True, capture_output=True, text=True).stdout
            check(tuple(map(int, described.split())) == (size, size), f"{icon}: {described}")
        check(os.path.isfile(os.path.join(icons, "scalable", "apps", f"{app_id}.svg")),
              "no scalable icon")
        if sandbox.user is None:
            os.chmod(os.path.dirname(installed), 0o555)
        sandbox.executable = installed
        folder = os.path.join(sandbox.runtime, "plqcalc")
        with sandbox.start(display, watch=[folder]) as app:
            check_ready(app.wait_ready(), set())
            check_pages_written(folder, pages)
            app.close(display)
            check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
            check(sandbox.browser_starts() == [[EXIT_PAGE]], f"at close: {sandbox.browser_starts()}")
            poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
        os.chmod(os.path.dirname(installed), 0o755)
        check(not os.path.exists(folder), "the private folder outlived the program")


def caption_windows(display, main_xid):
    """The visible windows titled with the caption, other than the main window."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{CAPTION}$"],
                           capture_output=True, text=True, env={**os.environ, "DISPLAY": display})
    return [int(word) for word in found.stdout.split() if int(word) != main_xid]


def wait_message_box(display, main_xid, what):
    return poll(lambda: caption_windows(display, main_xid), 30, f"the message box {what}")[0]


def answer_message_box(display, main_xid, box):
    """Presses Return, which is "确定", in the message box and waits until it has gone."""
    xdotool(display, "windowfocus", "--sync", str(box))
    xdotool(display, "key", "Return")
    poll(lambda: box not in caption_windows(display, main_xid), 30, "the message box to close")


def scenario_alert(options):
    """The page's alert is the program's own modal message box, titled with the caption."""
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        with sandbox.start(display) as app:
            app.wait_ready()
            x, y, width, height = window_geometry(display, app.xid)
            xdotool(display, "windowfocus", "--sync", str(app.xid))
            # A click on empty page space, then Tab: the year field, its text selected. A year
            # that is not a number, then Tab to "开始计算" and press it.
            xdotool(display, "mousemove", str(x + 540), str(y + height - 10), "click", "1")
            xdotool(display, "key", "Tab")
            xdotool(display, "type", "abc")
            xdotool(display, "key", "Tab", "Tab", "Tab", "space")
            box = wait_message_box(display, app.xid, "of the alert")
            plqsession.screenshot(display, box, os.path.join(options.artefacts, "app-alert.png"))
            check(hex(app.xid) in xprop(display, box, "WM_TRANSIENT_FOR"),
                  "the message box does not belong to the main window")
            check("_NET_WM_STATE_MODAL" in xprop(display, box, "_NET_WM_STATE"),
                  "the message box is not modal")
            answer_message_box(display, app.xid, box)
            check(app.process.poll() is None, "the program ended with the message box")
            app.close(display)
            check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
            poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
        check_gone(app, sandbox)


def scenario_window_manager(options):
    """Under a real window manager (metacity): minimise and resize are offered, maximise is not,
    and the manager's own close (alt+F4) ends the program as the close button does."""
    check(shutil.which("metacity"), "metacity is not installed (scripts/setup.sh test adds it)")
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        manager = subprocess.Popen(["metacity", "--sm-disable", "--replace"],
                                   env={**sandbox.env(), "DISPLAY": display},
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        try:
            root = ["xprop", "-display", display, "-root", "_NET_SUPPORTING_WM_CHECK"]
            poll(lambda: "window id" in subprocess.run(root, capture_output=True,
                                                       text=True).stdout,
                 30, "the window manager")
            with sandbox.start(display) as app:
                app.wait_ready()

                def actions():
                    text = xprop(display, app.xid, "_NET_WM_ALLOWED_ACTIONS")
                    return text if "_NET_WM_ACTION_CLOSE" in text else None

                offered = poll(actions, 30, "the window manager to take the window")
                for action in ("MINIMIZE", "RESIZE", "MOVE", "CLOSE"):
                    check(f"_NET_WM_ACTION_{action}" in offered, f"{action} not offered")
                check("MAXIMIZE" not in offered, f"maximise offered: {offered}")
                xdotool(display, "windowactivate", "--sync", str(app.xid))
                xdotool(display, "key", "alt+F4")
                check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
                check(sandbox.browser_starts() == [[EXIT_PAGE]],
                      f"at close: {sandbox.browser_starts()}")
                poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
            check_gone(app, sandbox)
        finally:
            manager.terminate()
            manager.wait(10)


def scenario_no_browser(options):
    """No xdg-open to start: each menu click and the close say so in a message box, and the
    program goes on and ends normally."""
    with Sandbox(options) as sandbox, plqsession.xvfb() as display:
        with sandbox.start(display, PATH=sandbox.make("empty")) as app:
            app.wait_ready()
            picture = os.path.join(options.artefacts, "app-no-browser.png")
            plqsession.screenshot(display, app.xid, picture)
            entries = menu_entries(display, app.xid, picture)
            check(len(entries) == 2, f"menu entries found at {entries}")
            for entry in entries:
                click(display, entry)
                answer_message_box(display, app.xid,
                                   wait_message_box(display, app.xid, "after a menu click"))
                check(app.process.poll() is None, "a failed browser start ended the program")
            app.close(display)
            answer_message_box(display, app.xid, wait_message_box(display, app.xid, "at close"))
            check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
            check(not os.path.exists(os.path.join(sandbox.app_dir, PAGE_NAMES[0])),
                  "the pages stayed")
            poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
        left = [p for p in sandbox.files_left() if p != "empty"]
        check(not left, f"files left behind: {left}")


def scenario_two_copies(options):
    """Two copies from one folder share the page files: whichever closes first leaves them to the
    other, which can still load its page, and the last one to close takes them away."""
    pages = expected_pages(options)
    for first_closes_first in (True, False):
        with Sandbox(options) as sandbox, plqsession.xvfb() as display:
            with sandbox.start(display) as first:
                check_ready(first.wait_ready(), set())
                # Started once the first one shows: without a window manager the second window
                # covers the first one, whose pane could no longer be seen being drawn.
                with sandbox.start(display) as second:
                    check_ready(second.wait_ready(), set())
                    check_pages_written(sandbox.app_dir, pages)
                    early, late = (first, second) if first_closes_first else (second, first)
                    early.close(display)
                    check(early.wait_exit() == 0, f"exit status {early.process.returncode}")
                    check(sandbox.browser_starts() == [[EXIT_PAGE, "present:plqclear.htm",
                                                        "present:1.htm"]],
                          f"the first to close took the pages: {sandbox.browser_starts()}")
                    check_pages_written(sandbox.app_dir, pages)
                    late.close(display)
                    check(late.wait_exit() == 0, f"exit status {late.process.returncode}")
                    check(sandbox.browser_starts()[1:] == [[EXIT_PAGE]],
                          f"the last to close left pages: {sandbox.browser_starts()}")
                    for app in (first, second):
                        poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
                        check(not any("CRITICAL" in line for line in app.stderr), app.stderr)
            check_gone(first, sandbox)
            check_gone(second, sandbox)


def scenario_arguments(options):
    """Arguments the program does not take are ignored; the window works as usual."""
    pages = expected_pages(options)
    for args in (["--bogus"], ["", "x" * 10000], ["\u6392\u5375", "-", "--", "/dev/null"]):
        with Sandbox(options) as sandbox, plqsession.xvfb() as display:
            with App(sandbox.executable, display, env=sandbox.env(), cwd=sandbox.root,
                     args=args) as app:
                check_ready(app.wait_ready(), set())
                check_pages_written(sandbox.app_dir, pages)
                app.close(display)
                check(app.wait_exit() == 0, f"exit status {app.process.returncode} for {args}")
                poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
            check_gone(app, sandbox)


def scenario_hidpi(options):
    """On a HiDPI screen (GDK_SCALE=2) the window is twice the size in device pixels, menu bar
    included, and the page is laid out as at scale 1 and drawn at scale 2 (a page laid out on
    the larger pane would keep its fills' sizes): four times the pixels of each fill, both
    calendars there. The menu and the close work as at scale 1."""
    grey = (0xDA, 0xDA, 0xDA)  # the calendars' weekday rows (and one heading)
    measured = {}
    with plqsession.xvfb((2 * plqsession.SCREEN[0], 2 * plqsession.SCREEN[1])) as display:
        for scale in (1, 2):
            with Sandbox(options) as sandbox:
                with sandbox.start(display, GDK_SCALE=str(scale)) as app:
                    check_ready(app.wait_ready(), set())
                    _, _, width, height = window_geometry(display, app.xid)
                    bar = height - AREA[1] * scale
                    check(width == AREA[0] * scale and 20 * scale <= bar <= 40 * scale,
                          f"at scale {scale} the window is {width} x {height}")
                    picture = os.path.join(options.artefacts, f"app-scale-{scale}.png")
                    plqsession.screenshot(display, app.xid, picture)
                    size = plqsession.pixels(picture)[:2]
                    check(size == (width, height), f"a {size} picture of a {width} x {height} "
                          "window")
                    pane = (0, bar, plqsession.PANE_WIDTH * scale, AREA[1] * scale)
                    measured[scale] = (
                        bar, plqsession.colour_count(picture, plqsession.CALCULATOR_PINK, pane),
                        plqsession.colour_count(picture, grey, pane))

                    entries = menu_entries(display, app.xid, picture, scale)
                    check(len(entries) == 2, f"menu entries found at {entries}")
                    for number, entry in enumerate(entries, start=1):
                        click(display, entry)
                        poll(lambda: len(sandbox.browser_starts()) >= number, 20,
                             f"the browser after click {number} at scale {scale}")
                    app.close(display)
                    check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
                    starts = [start[0] for start in sandbox.browser_starts()]
                    check(starts == [HOME_PAGE, HOME_PAGE, EXIT_PAGE],
                          f"at scale {scale} the browser started as {starts}")
                    poll(lambda: not app.group_alive(), 10, "the WebKit processes to end")
                check_gone(app, sandbox)
    print(f"scale 1 and 2: menu bar {measured[1][0]} and {measured[2][0]} px, pink "
          f"{measured[1][1]} and {measured[2][1]}, grey {measured[1][2]} and {measured[2][2]}")
    check(abs(measured[2][0] - 2 * measured[1][0]) <= 1, f"menu bar heights {measured}")
    for index, what in ((1, "the date row and calendar titles (pink)"),
                        (2, "the weekday rows (grey)")):
        ratio = measured[2][index] / max(1, measured[1][index])
        # Sharper text at scale 2 blends fewer pixels into the fills: a little over four.
        check(measured[1][index] > 1000 and 3.7 <= ratio <= 4.5,
              f"{what}: {measured[1][index]} pixels at scale 1, {measured[2][index]} at 2")


SCENARIOS = {
    "window": scenario_window,
    "read_only": scenario_read_only,
    "no_folder": scenario_no_folder,
    "two_copies": scenario_two_copies,
    "installed": scenario_installed,
    "alert": scenario_alert,
    "no_browser": scenario_no_browser,
    "window_manager": scenario_window_manager,
    "arguments": scenario_arguments,
    "hidpi": scenario_hidpi,
}


def run_scenario(description, scenarios, add_arguments=None, skipped_by=()):
    """The command line the window-test scripts share: SCENARIO --app ... --artefacts DIR, plus
    what `add_arguments` adds. A scenario that raises one of `skipped_by` is skipped (77)."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("scenario", choices=sorted(scenarios))
    for name in ("--app", "--calculator-page", "--side-panel-page", "--artefacts"):
        parser.add_argument(name, required=True)
    if add_arguments is not None:
        add_arguments(parser)
    options = parser.parse_args()
    os.makedirs(options.artefacts, exist_ok=True)
    try:
        scenarios[options.scenario](options)
    except skipped_by as missing:
        print(f"{options.scenario}: skipped: {missing}")
        sys.exit(77)
    print(f"{options.scenario}: passed")


def add_install_arguments(parser):
    parser.add_argument("--build-dir", help="the build tree to install from")
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--app-id", required=True,
                        help="the application id: desktop entry, icon and window class")
    parser.add_argument("--icon-sizes", nargs="+", type=int, required=True,
                        help="the sizes installed into the hicolor icon theme")


if __name__ == "__main__":
    run_scenario(__doc__, SCENARIOS, add_install_arguments)
