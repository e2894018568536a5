#!/usr/bin/env python3
"""The built program on a Wayland desktop: natively (GDK's Wayland backend), as an ordinary user,
on a private headless sway with no X server at all. The calculator drawn, the menu clicked with a
pointer, its own title bar, its app_id, the compositor's close request, signals, and the
compositor ending under it.

    test_wayland.py SCENARIO --app plqcalc --calculator-page F --side-panel-page F --artefacts DIR
                    --app-id ID

The program runs as `nobody` (sway refuses root) from a folder it cannot write, as an installed
copy does: its pages go to the session's runtime folder. The external browser is the recording
fake xdg-open of test_app.py. Each scenario checks that no process of the program and no file it
wrote is left. Without sway or grim the scenarios are skipped (exit status 77).
"""

import os
import pwd
import signal
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import plqsession  # noqa: E402
import test_app  # noqa: E402
from plqsession import FolderWatch, poll  # noqa: E402
from test_app import (AREA, CAPTION, EXIT_PAGE, HOME_PAGE, PAGE_NAMES, Sandbox,  # noqa: E402
                      check, check_pages_written, check_ready, expected_pages,
                      run_as_other_user)

INK = 110  # a channel below this: text or a symbol, not a background


# The desktop's window button layout, as GNOME keeps it (GSettings), read by GTK on Wayland. Ubuntu
# and others offer maximise in it; here it does, so that the program's own layout must win.
DESKTOP_SETTINGS = """[org/gnome/desktop/wm/preferences]
button-layout='appmenu:minimize,maximize,close'
"""
DESKTOP_SCHEMA = "/usr/share/glib-2.0/schemas/org.gnome.desktop.wm.preferences.gschema.xml"


class WaylandSandbox(Sandbox):
    """The test_app sandbox as a client of a Wayland session: the session's runtime folder
    (where the socket is, and where the program puts its pages), no X display, and the
    desktop's settings in a GSettings key file."""

    def __init__(self, options, wayland):
        super().__init__(options, user=run_as_other_user())
        self.wayland = wayland
        if self.user is None:
            os.chmod(self.app_dir, 0o555)
        self.page_folder = os.path.join(wayland.runtime_dir, "plqcalc")
        self.settings = [os.path.join(self.home, ".config")]
        for name in ("glib-2.0", "settings", "keyfile"):
            self.settings.append(os.path.join(self.settings[-1], name))
        os.makedirs(self.settings[-2])
        with open(self.settings[-1], "w") as file:
            file.write(DESKTOP_SETTINGS)
        if self.user is not None:
            account = pwd.getpwnam(self.user)
            for path in self.settings:
                os.chown(path, account.pw_uid, account.pw_gid)

    def start(self, display=None, **env_changes):
        env = self.env(watch=[self.page_folder, self.app_dir],
                       XDG_RUNTIME_DIR=self.wayland.runtime_dir, GSETTINGS_BACKEND="keyfile",
                       XDG_CONFIG_HOME=None, **env_changes)
        return plqsession.App(self.executable, self.wayland, env=env, cwd=self.root,
                              user_prefix=self.user_prefix)

    def files_left(self):
        ours = {os.path.relpath(path, self.root) for path in self.settings}
        return [path for path in super().files_left() if path not in ours]

    def __exit__(self, *exc):
        os.chmod(self.app_dir, 0o755)
        super().__exit__(*exc)


def check_gone(app, sandbox):
    """No process of the program, no file it wrote: neither in the sandbox nor in the session's
    runtime folder, where only the compositor's sockets, GTK's dconf folder and WebKit's emptied
    folder for its sandbox's proxy sockets may be."""
    poll(lambda: not app.group_alive(), 10, "the program's processes (WebKit's too) to end")
    left = sandbox.files_left()
    check(not left, f"files left behind: {left}")
    folder = sandbox.wayland.runtime_dir
    runtime = sorted(name for name in os.listdir(folder)
                     if not name.startswith(("wayland-", "sway-ipc.")) and name != "dconf"
                     and not (name == "webkitgtk" and not os.listdir(os.path.join(folder, name))))
    check(not runtime, f"left in the runtime folder: {runtime}")
    errors = [line for line in app.stderr if "Sanitizer" in line or "runtime error" in line]
    check(not errors, f"sanitizer reports: {errors}")


def ink_runs(picture, rows, columns, gap):
    """The runs of columns (first, last) within `columns` that have ink in any of `rows`, runs
    parted by at least `gap` clean columns."""
    width, _, raw = picture

    def inked(x):
        return any(max(raw[(y * width + x) * 3:(y * width + x) * 3 + 3]) < INK for y in rows)

    runs = []
    for x in columns:
        if not inked(x):
            continue
        if runs and x - runs[-1][1] <= gap:
            runs[-1][1] = x
        else:
            runs.append([x, x])
    return [tuple(run) for run in runs]


def ink_rows(picture, rows, columns):
    width, _, raw = picture
    return [y for y in rows
            if any(max(raw[(y * width + x) * 3:(y * width + x) * 3 + 3]) < INK for x in columns)]


def title_bar(picture, scale):
    """What the window's own title bar shows: the rows of its caption (centred in the window's
    width) and the symbols at its right end, the window buttons, as runs of columns."""
    width, height, _ = picture
    centre = range(width // 2 - 60 * scale, width // 2 + 60 * scale)
    caption_rows = ink_rows(picture, range(min(height, 80 * scale)), centre)
    check(caption_rows, "the window draws no title bar of its own (no caption at its top)")
    band = range(max(0, caption_rows[0] - 8 * scale), caption_rows[-1] + 8 * scale)
    buttons = ink_runs(picture, band, range(width * 3 // 4, width), 6 * scale)
    return band, buttons


def menu_entries(picture, box, scale):
    """Output points (logical pixels) on the menu bar's entries, left to right: the first text
    below the title bar at the window's left, as runs of columns."""
    width, height, _ = picture
    band, _ = title_bar(picture, scale)
    left = range(0, min(width, 200 * scale))
    rows = ink_rows(picture, range(band[-1] + 1, height), left)
    check(rows, "no menu bar text below the title bar")
    text = [rows[0]]
    while text[-1] + 1 in rows:
        text.append(text[-1] + 1)
    entries = ink_runs(picture, text, left, 8 * scale)
    middle = (text[0] + text[-1]) / 2
    return [(box[0] + (first + last) / 2 / scale, box[1] + middle / scale)
            for first, last in entries]


def window_picture(options, wayland, app, name):
    """The window as the output shows it, without what sway draws around it; the picture's
    (width, height, rgb bytes), its file and the window's box on the output."""
    box = wayland.content_box(wayland.window(app.process.pid))
    path = os.path.join(options.artefacts, name)
    wayland.screenshot(path, box)
    return plqsession.pixels(path), path, box


def scenario_window(options):
    """The whole life of one window on Wayland: drawn, its title bar and app_id, both menu
    entries clicked, closed by the compositor."""
    pages = expected_pages(options)
    with plqsession.sway() as wayland, WaylandSandbox(options, wayland) as sandbox, \
            sandbox.start() as app:
        check_ready(app.wait_ready(), set())
        test_app.check_gl_kept_out(app)
        check_pages_written(sandbox.page_folder, pages)
        check(os.listdir(sandbox.app_dir) == ["plqcalc"], "wrote into the program's folder")

        node = wayland.window(app.process.pid)
        check(node["app_id"] == options.app_id and node["shell"] == "xdg_shell",
              f"window app_id {node['app_id']!r}, shell {node['shell']!r}")
        check(node["name"] == CAPTION, f"window title {node['name']!r}")

        picture, path, box = window_picture(options, wayland, app, "wayland-window.png")
        check(picture[:2] == box[2:], f"a {picture[:2]} picture of a {box[2:]} window")
        pink = plqsession.colour_count(path, plqsession.CALCULATOR_PINK)
        check(pink > plqsession.CALCULATOR_PINK_MINIMUM, f"{pink} pink pixels: no calculator")
        # GTK draws this title bar (Wayland has no window-manager hints): minimise and close,
        # and no maximise between them, whatever the desktop's own layout offers.
        check(os.path.exists(DESKTOP_SCHEMA), "gsettings-desktop-schemas is not installed "
              "(scripts/setup.sh test adds it): the desktop's button layout would not apply")
        _, buttons = title_bar(picture, 1)
        check(len(buttons) == 2, f"title bar buttons at {buttons} (want minimise and close)")

        entries = menu_entries(picture, box, 1)
        check(len(entries) == 2, f"menu entries found at {entries}")
        for number, entry in enumerate(entries, start=1):
            wayland.pointer.click(entry)
            poll(lambda: len(sandbox.browser_starts()) >= number, 20,
                 f"the browser after click {number}")
        starts = sandbox.browser_starts()
        check([start[0] for start in starts] == [HOME_PAGE, HOME_PAGE],
              f"menu clicks started {starts}")

        with FolderWatch(sandbox.page_folder) as watch:
            app.close()
            check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
            deletions = [name for kind, name in watch.read() if kind == "delete"]
        check(deletions == list(PAGE_NAMES), f"pages removed as {deletions}")
        check(sandbox.browser_starts()[2:] == [[EXIT_PAGE]],
              f"at close the browser started as {sandbox.browser_starts()[2:]} (want the exit "
              "page with no page file left)")
        check_gone(app, sandbox)


def scenario_compositor_ends(options):
    """The compositor ends under the running program (it crashed, or the session was torn
    down): the program removes its pages, starts nothing and ends with all its processes."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        with plqsession.sway() as wayland, WaylandSandbox(options, wayland) as sandbox, \
                sandbox.start() as app:
            app.wait_ready()
            with FolderWatch(sandbox.page_folder) as watch:
                wayland.stop(sig)
                app.wait_exit()
                deletions = [name for kind, name in watch.read() if kind == "delete"]
            check(deletions == list(PAGE_NAMES),
                  f"with sway ended by {sig.name} the pages went as {deletions}; exit "
                  f"{app.process.returncode}, stderr {app.stderr[-10:]}")
            check(sandbox.browser_starts() == [],
                  f"started a browser as the session ended: {sandbox.browser_starts()}")
            check_gone(app, sandbox)


def scenario_signals(options):
    """A log-out (SIGTERM), a closed terminal (SIGHUP), Ctrl+C (SIGINT): the program removes its
    pages, starts no browser and ends by that signal, on Wayland as on X11."""
    for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        with plqsession.sway() as wayland, WaylandSandbox(options, wayland) as sandbox, \
                sandbox.start() as app:
            app.wait_ready()
            with FolderWatch(sandbox.page_folder) as watch:
                app.process.send_signal(sig)
                status = app.wait_exit()
                deletions = [name for kind, name in watch.read() if kind == "delete"]
            check(status == -sig, f"after {sig.name} the exit status is {status}")
            check(deletions == list(PAGE_NAMES), f"after {sig.name} pages went as {deletions}")
            check(sandbox.browser_starts() == [],
                  f"{sig.name} started a browser: {sandbox.browser_starts()}")
            check_gone(app, sandbox)


def scenario_scale(options):
    """On a HiDPI output (sway's output scale 2) GTK draws the window at scale 2 and WebKit the
    page: four times the calculator's pink of scale 1, the title bar and menu as at scale 1."""
    pink = {}
    for scale in (1, 2):
        with plqsession.sway(scale=scale) as wayland, \
                WaylandSandbox(options, wayland) as sandbox, sandbox.start() as app:
            check_ready(app.wait_ready(), set())
            picture, path, box = window_picture(options, wayland, app,
                                                f"wayland-scale-{scale}.png")
            check(picture[:2] == (box[2] * scale, box[3] * scale),
                  f"a {picture[:2]} picture of a {box[2:]} window at scale {scale}")
            pink[scale] = plqsession.colour_count(path, plqsession.CALCULATOR_PINK)
            _, buttons = title_bar(picture, scale)
            check(len(buttons) == 2, f"at scale {scale} title bar buttons at {buttons}")
            entries = menu_entries(picture, box, scale)
            check(len(entries) == 2, f"at scale {scale} menu entries at {entries}")
            wayland.pointer.click(entries[1])
            poll(lambda: sandbox.browser_starts(), 20, f"the browser at scale {scale}")
            app.close()
            check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
            starts = [start[0] for start in sandbox.browser_starts()]
            check(starts == [HOME_PAGE, EXIT_PAGE], f"at scale {scale} the browser started as "
                  f"{starts}")
            check_gone(app, sandbox)
    print(f"pink pixels at scale 1 and 2: {pink[1]} and {pink[2]}")
    # Sharper text at scale 2 blends fewer pixels into the fills: a little over four.
    check(pink[1] > plqsession.CALCULATOR_PINK_MINIMUM and 3.7 <= pink[2] / pink[1] <= 4.5,
          f"pink pixels at scale 1 and 2: {pink}")


# The page's "开始计算" and "重新输入" buttons, in page pixels from the calculator pane's top left
# (measured in its pictures; the page is laid out the same on X11 and Wayland).
START_BUTTON, RESET_BUTTON = (166, 101), (250, 101)


def scenario_alert(options):
    """The page's alert on Wayland: the program's message box is a window of its own that the
    compositor floats over the main window and focuses (the program cannot place it); while it
    is open the program waits, and once it is answered the program goes on and closes cleanly."""
    with plqsession.sway() as wayland, WaylandSandbox(options, wayland) as sandbox, \
            sandbox.start() as app:
        app.wait_ready()
        main = wayland.window(app.process.pid)
        x, y, _, _ = wayland.content_box(main)
        # The window's own size: its title bar and menu bar above the 496 pixels of the panes.
        top = y + main["geometry"]["height"] - AREA[1]
        # An empty date, then "开始计算": the page refuses it with an alert.
        wayland.pointer.click((x + RESET_BUTTON[0], top + RESET_BUTTON[1]))
        wayland.pointer.click((x + START_BUTTON[0], top + START_BUTTON[1]))

        def message_box():
            found = [node for node in wayland.windows()
                     if node["pid"] == app.process.pid and node["id"] != main["id"]]
            return found[0] if found else None

        box = poll(message_box, 30, "the message box")
        check(box["name"] == CAPTION and box["app_id"] == options.app_id,
              f"message box {box['name']!r} ({box['app_id']!r})")
        check(box["type"] == "floating_con" and box["focused"],
              f"the message box is {box['type']}, focused {box['focused']}")
        area = wayland.content_box(box)
        wayland.screenshot(os.path.join(options.artefacts, "wayland-alert.png"))
        # "确定" fills the bottom of the box.
        wayland.pointer.click((area[0] + area[2] / 2, area[1] + area[3] - 20))
        poll(lambda: message_box() is None, 30, "the message box to close")
        check(app.process.poll() is None, "the program ended with the message box")
        check(sandbox.browser_starts() == [], f"started {sandbox.browser_starts()}")
        app.close()
        check(app.wait_exit() == 0, f"exit status {app.process.returncode}")
        check(sandbox.browser_starts() == [[EXIT_PAGE]], f"at close: {sandbox.browser_starts()}")
        check_gone(app, sandbox)


SCENARIOS = {
    "window": scenario_window,
    "compositor_ends": scenario_compositor_ends,
    "signals": scenario_signals,
    "scale": scenario_scale,
    "alert": scenario_alert,
}


if __name__ == "__main__":
    test_app.run_scenario(
        __doc__, SCENARIOS,
        lambda parser: parser.add_argument("--app-id", required=True,
                                           help="the application id: the window's app_id"),
        skipped_by=plqsession.Missing)
