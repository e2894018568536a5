#!/usr/bin/env python3
"""A hostile widget in the side panel, served through http_proxy as in test_faults.py, against
the real program on a private Xvfb: it tries to take the pane over, open windows, save files,
use a browser's menus, take the window, eat memory and read the user's files. Each scenario
checks that it cannot, and that the calculator goes on working.

    test_hostile.py SCENARIO --app plqcalc --calculator-page F --side-panel-page F --artefacts DIR
                    --drag-source PROGRAM
"""

import contextlib
import os
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_app  # noqa: E402
from test_app import AREA, Sandbox, caption_windows, check, plqsession, poll, xdotool  # noqa: E402
from test_faults import Widget, close_and_check, show_alert, start, web_processes  # noqa: E402

SIDE_PANEL_X = 552  # kWebBrowser2Place.x (layout.h); the widget's frame sits 8 px into its body
ROW = 40
GREEN, BLUE, RED = (0, 160, 0), (0, 0, 160), (160, 0, 0)
NEXT = '<a href="/next" style="background:#0000a0">next</a>'


def rows_page(*rows, script=""):
    """The widget: a green page of 40-pixel rows, one per element, clicked by number."""
    cells = "".join(f'<div style="height:{ROW}px;overflow:hidden">{row}</div>' for row in rows)
    return (f"<html><style>div > * {{display: block; height: {ROW}px; margin: 0}}</style>"
            f'<body style="margin:0;background:#00a000">{cells}<script>{script}</script></body>'
            "</html>")


def html(colour, extra=""):
    def answer(handler):
        data = (f'<body style="background:{colour}" onclick="{extra}">x</body>').encode()
        handler.send_response(200)
        handler.send_header("Content-Type", "text/html")
        handler.send_header("Content-Length", str(len(data)))
        handler.end_headers()
        handler.wfile.write(data)
    return answer


def widget_point(display, app, row):
    x, y, _, height = test_app.window_geometry(display, app.xid)
    return x + SIDE_PANEL_X + 8 + 20, y + height - AREA[1] + 8 + row * ROW + ROW // 2


def click_widget(display, app, row, button="1", repeat="1"):
    x, y = widget_point(display, app, row)
    xdotool(display, "mousemove", str(x), str(y), "click", "--repeat", repeat, button)


def side_panel_shows(display, app, picture, colour):
    plqsession.screenshot(display, app.xid, picture)
    _, _, width, height = test_app.window_geometry(display, app.xid)
    box = (SIDE_PANEL_X, height - AREA[1], width, height)
    return test_app.count_colour(picture, box, colour) > 1000


def visible_windows(display, app):
    """The program's windows on the screen: its main window, message boxes, menus."""
    return subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                           str(app.process.pid), ""], capture_output=True, text=True, timeout=30,
                          env={**os.environ, "DISPLAY": display}).stdout.split()


def after_next(display, app, widget, options):
    """Clicks the widget's own link and waits until its frame shows the next page: what was
    asked for before has been decided by then."""
    click_widget(display, app, 0)
    poll(lambda: "/next" in widget.paths, 30, "the widget's frame to load its next page")
    picture = os.path.join(options.artefacts, "hostile-side-panel.png")
    poll(lambda: side_panel_shows(display, app, picture, BLUE), 30, "the widget's next page")


def run(options, page, scenario, routes=None, **env):
    with Sandbox(options) as sandbox, plqsession.xvfb() as display, \
            Widget(page, routes) as widget:
        routes_env = {"http_proxy": widget.proxy, "no_proxy": "", **env}
        with start(sandbox, display, **routes_env) as app:
            app.wait_ready()
            poll(lambda: widget.paths, 30, "the side panel to ask for its widget")
            scenario(sandbox, display, widget, app)
            check(caption_windows(display, app.xid) == [], "a message box came up")
            close_and_check(display, app, sandbox)
        test_app.check_gone(app, sandbox)


def scenario_navigation(options):
    """Neither a widget's target=_top links nor its failing loads take the side panel or show a
    box of the program's; the widget still moves inside its own frame."""
    cases = ["/remote", "/drop", "mailto:a@example.com", "plqunknown:x", "/fullscreen"]
    links = [f'<a target="_top" href="{case}">{case}</a>' for case in cases]

    def drop(handler):
        handler.connection.shutdown(2)

    def scenario(sandbox, display, widget, app):
        before = test_app.window_geometry(display, app.xid)
        for row in range(1, len(cases) + 1):
            # Twice: a pane taken over by the first click gets the second.
            click_widget(display, app, row, repeat="2")
        after_next(display, app, widget, options)
        check(test_app.window_geometry(display, app.xid) == before, "the window changed size")
        check(plqsession.left_pane_painted(display, app.xid), "the calculator is gone")
    run(options, rows_page(NEXT, *links), scenario,
        {"/next": html("#0000a0"), "/remote": html("#a00000"), "/drop": drop,
         "/fullscreen": html("#a00000", "document.documentElement.webkitRequestFullScreen();"
                                        "window.resizeTo(200, 200)")})


def scenario_new_windows(options):
    """A click on a web link or window.open in a click handler opens the external browser;
    other schemes and pop-ups without a click open nothing, and no window of WebKit's."""
    cases = [  # (row, what the external browser is given, or None)
        ('<a target="_blank" href="http://shop.example.com/1">a</a>', "http://shop.example.com/1"),
        ("<div onclick=\"window.open('https://shop.example.com/2')\">b</div>",
         "https://shop.example.com/2"),
        ('<a target="_blank" href="file:///etc/passwd">c</a>', None),
        ("<div onclick=\"window.open('data:text/html,x')\">d</div>", None),
    ]

    def scenario(sandbox, display, widget, app):
        for row in range(1, len(cases) + 1):
            click_widget(display, app, row)
        after_next(display, app, widget, options)
        starts = [line[0] for line in sandbox.browser_starts()]
        check(starts == [opened for _, opened in cases if opened], f"browser started: {starts}")
        windows = visible_windows(display, app)
        check(windows == [str(app.xid)], f"windows of the program: {windows}")
    run(options, rows_page(NEXT, *[row for row, _ in cases],
                           script="window.open('http://popup.example.com/')"),
        scenario, {"/next": html("#0000a0")})


def scenario_downloads(options):
    """Attachments and files the pane cannot show, in frames or by a click, are never saved:
    the user's file of the same name stays as it was and nothing new appears."""
    outcomes = {}

    def attachment(kind, disposition):
        def answer(handler):
            handler.send_response(200)
            handler.send_header("Content-Type", kind)
            if disposition:
                handler.send_header("Content-Disposition", disposition)
            handler.end_headers()
            # Far more than one read: a refused response is cut off, a saved one read to its end.
            try:
                for _ in range(256):
                    handler.wfile.write(b"x" * 65536)
                outcomes[handler.path] = "read to the end"
            except OSError:
                outcomes[handler.path] = "refused"
        return answer

    page = rows_page(NEXT, '<a target="_top" href="/report.pdf">pdf</a>',
                     '<iframe src="/notes.txt"></iframe>', '<iframe src="/setup.exe"></iframe>')
    routes = {"/next": html("#0000a0"),
              "/notes.txt": attachment("text/plain", 'attachment; filename="notes.txt"'),
              "/setup.exe": attachment("application/octet-stream", ""),
              "/report.pdf": attachment("application/pdf", "attachment; filename=report.pdf")}

    def scenario(sandbox, display, widget, app):
        notes = os.path.join(sandbox.home, "notes.txt")
        with open(notes, "w") as file:
            file.write("the user's notes")
        click_widget(display, app, 1)
        poll(lambda: len(outcomes) == 3, 60, "the three files to be answered")
        check(set(outcomes.values()) == {"refused"}, f"files taken: {outcomes}")
        after_next(display, app, widget, options)
        with open(notes) as file:
            check(file.read() == "the user's notes", "the user's notes.txt changed")
        os.remove(notes)
        written = [path for path in sandbox.files_left() if path.startswith("home")]
        check(not written, f"written: {written}")
    run(options, page, scenario, routes)


def scenario_context_menu(options):
    """Context menus offer a form's editing in the program's language, whatever the locale:
    the editing entries in a field, copy on selected text, and no menu anywhere else."""
    page = rows_page(NEXT, "<input>", '<p id="p">selected text</p>', '<a href="/x">a link</a>',
                     script="getSelection().selectAllChildren(document.getElementById('p'))")
    cases = [  # (row, or None for the calculator page; clicks before; the entries offered)
        (2, None, "复制"),
        (1, ("1", "1"), "剪切 复制 粘贴 删除 全选"),
        (3, None, ""),
        (None, None, ""),
    ]

    def scenario(sandbox, display, widget, app):
        for row, before, entries in cases:
            baseline = set(visible_windows(display, app))
            if row is None:
                x, y, _, height = test_app.window_geometry(display, app.xid)
                xdotool(display, "mousemove", str(x + 540), str(y + height - 10), "click", "3")
            else:
                if before:
                    click_widget(display, app, row, *before)
                click_widget(display, app, row, "3")
            _, line = app.wait_line("plqcalc: context-menu", 30, after=len(app.seen))
            offered = line[len("plqcalc: context-menu"):].strip()
            check(offered.startswith(entries) and (entries or not offered),
                  f"row {row}: menu {offered!r}, not {entries!r}")
            if entries:
                poll(lambda: set(visible_windows(display, app)) - baseline, 30, "the menu")
                xdotool(display, "key", "Escape")
                poll(lambda: set(visible_windows(display, app)) <= baseline, 30, "no menu")
            check(set(visible_windows(display, app)) <= baseline, f"row {row}: a menu showed")
    run(options, page, scenario, {"/next": html("#0000a0")}, LANGUAGE="en", LANG="en_US.UTF-8")


def scenario_drops(options):
    """A link or a file dropped on either pane never loads in it."""
    cases = [("file:///etc/passwd", None), ("http://remote.example.com/dropped", None),
             ("file:///etc/passwd", 0), ("http://remote.example.com/dropped", 0)]

    def scenario(sandbox, display, widget, app):
        for address, row in cases:
            source = subprocess.Popen([options.drag_source, address], stdout=subprocess.PIPE,
                                      text=True, env={**os.environ, "DISPLAY": display})
            try:
                check(source.stdout.readline() == "ready\n", "the drag source did not start")
                x, y, _, height = test_app.window_geometry(display, app.xid)
                target = (x + 300, y + height - 200) if row is None else \
                    widget_point(display, app, row)
                xdotool(display, "mousemove", "50", "50", "mousedown", "1")
                for step in range(1, 11):
                    xdotool(display, "mousemove", str(50 + (target[0] - 50) * step // 10),
                            str(50 + (target[1] - 50) * step // 10))
                xdotool(display, "mouseup", "1")
                check(source.stdout.readline() == "dropped\n", "the drag did not end")
            finally:
                source.kill()
                source.wait()
            after_next(display, app, widget, options)
            xdotool(display, "key", "Escape")
            show_alert(display, app)
            test_app.answer_message_box(display, app.xid,
                                        test_app.wait_message_box(display, app.xid, address))
            click_widget(display, app, 1)  # the widget's page again
    back = '<a href="/">back</a>'
    run(options, rows_page(NEXT, back), scenario,
        {"/next": html("#0000a0", "location='/'")})


def scenario_memory(options):
    """A widget that eats memory is ended at the limit, and the calculator comes back."""
    eat = ("var kept = [];"
           "function Eat() { var a = new Float64Array(2 << 20); a.fill(1); kept.push(a);"
           " setTimeout(Eat, 40); }"
           "Eat();")
    cap = 2 << 30

    def scenario(sandbox, display, widget, app):
        first = web_processes(app)
        peak = 0

        def ended():
            nonlocal peak
            for pid in first:
                with contextlib.suppress(OSError), open(f"/proc/{pid}/status") as file:
                    for line in file:
                        if line.startswith("VmRSS:"):
                            peak = max(peak, int(line.split()[1]) * 1024)
            check(peak < cap, f"the widget's process grew to {peak >> 20} MiB")
            return not any(os.path.exists(f"/proc/{pid}") for pid in first)
        poll(ended, 120, "the widget's process to be ended")
        print(f"the widget's process was ended at {peak >> 20} MiB")
        test_app.check_ready(app.wait_ready(again=True), set())
    run(options, rows_page(NEXT, script=eat), scenario)


def scenario_sandbox(options):
    """The web processes run in WebKit's sandbox: their own mount namespace, no home folder;
    every process the sandbox starts ends with the program. Where bwrap cannot run, the program
    still starts, and the side panel stays empty rather than run a stranger's content outside."""
    mine = os.readlink("/proc/self/ns/mnt")
    with Sandbox(options) as sandbox, plqsession.xvfb() as display, \
            Widget(rows_page(NEXT)) as widget:
        with start(sandbox, display, http_proxy=widget.proxy, no_proxy="") as app:
            app.wait_ready()
            app.wait_line(plqsession.SIDE_PANEL_LINE, 30)
            processes = plqsession.descendants(app.process.pid)
            check("bwrap" in processes.values(), f"no sandbox: {processes}")
            for pid in web_processes(app):
                check(os.readlink(f"/proc/{pid}/ns/mnt") != mine, "the web process sees our mounts")
                check(not os.path.exists(f"/proc/{pid}/root{sandbox.home}"), "it sees the home")
            os.kill(app.process.pid, signal.SIGKILL)
            app.wait_exit()
            poll(lambda: not any(os.path.exists(f"/proc/{pid}") for pid in processes), 10,
                 f"the sandbox's processes to end with the program: {processes}")
    if os.geteuid() != 0:
        print("skipped: hiding bwrap in a private mount namespace needs root")
        sys.exit(77)
    with Sandbox(options) as sandbox, plqsession.xvfb() as display, Widget("w") as widget:
        hide = ("unshare", "-m", "sh", "-c", 'mount --bind /bin/false /usr/bin/bwrap && exec "$0"')
        sandbox.user_prefix = hide
        with sandbox.start(display, http_proxy=widget.proxy, no_proxy="") as app:
            test_app.check_ready(app.wait_ready(), set())
            names = set(plqsession.descendants(app.process.pid).values())
            check(not names & {"bwrap", "xdg-dbus-proxy"}, f"sandbox processes: {names}")
            show_alert(display, app)
            test_app.answer_message_box(display, app.xid,
                                        test_app.wait_message_box(display, app.xid, "alert"))
            close_and_check(display, app, sandbox)
        check(widget.paths == [], f"the side panel ran the widget unsandboxed: {widget.paths}")
        test_app.check_gone(app, sandbox)


SCENARIOS = {
    "navigation": scenario_navigation,
    "new_windows": scenario_new_windows,
    "downloads": scenario_downloads,
    "context_menu": scenario_context_menu,
    "drops": scenario_drops,
    "memory": scenario_memory,
    "sandbox": scenario_sandbox,
}


if __name__ == "__main__":
    test_app.run_scenario(__doc__, SCENARIOS, lambda parser: parser.add_argument(
        "--drag-source", required=True))
