#!/usr/bin/env python3
"""Start-up time and memory of the Linux program on a private Xvfb.

Start-up: from process start until the left pane has drawn both calendars (the program's
PLQCALC_REPORT_READY line), beside the floor of the same stack measured in the same run: a bare
GTK window with one WebKitGTK view loading a blank local page until its load finishes. Runs
alternate between the two so that a busy machine slows both alike.
Memory: the total PSS of the program and its WebKit processes with both panes loaded, and of the
floor with its page loaded.

    bench_app.py --app plqcalc --floor plq_bench_floor [--runs 15]
"""

import argparse
import contextlib
import os
import shutil
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import plqsession  # noqa: E402

START_GOAL = 1.15
PSS_GOAL_MIB = 200


def descendants(pid):
    """`pid` and every process below it."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            with contextlib.suppress(OSError):
                with open(f"/proc/{entry}/stat") as file:
                    fields = file.read().rsplit(")", 1)[1].split()
                children.setdefault(int(fields[1]), []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        current = todo.pop()
        found.append(current)
        todo.extend(children.get(current, []))
    return found


def pss_kib(pid):
    with open(f"/proc/{pid}/smaps_rollup") as file:
        for line in file:
            if line.startswith("Pss:"):
                return int(line.split()[1])
    return 0


def process_name(pid):
    with open(f"/proc/{pid}/comm") as file:
        return file.read().strip()


def spread(values):
    ordered = sorted(values)
    quartiles = statistics.quantiles(ordered, n=4) if len(ordered) > 1 else ordered * 3
    return (f"median {statistics.median(ordered) * 1000:6.0f} ms, "
            f"quartiles {quartiles[0] * 1000:.0f}-{quartiles[2] * 1000:.0f} ms, "
            f"range {ordered[0] * 1000:.0f}-{ordered[-1] * 1000:.0f} ms")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--app", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--runs", type=int, default=15)
    options = parser.parse_args()

    root = tempfile.mkdtemp(prefix="plqcalc-bench-")
    try:
        app_dir = os.path.join(root, "app")
        bin_dir = os.path.join(root, "bin")
        os.makedirs(app_dir)
        os.makedirs(bin_dir)
        executable = shutil.copy2(options.app, os.path.join(app_dir, "plqcalc"))
        # The exit page must not start a real browser in every run.
        with open(os.path.join(bin_dir, "xdg-open"), "w") as file:
            file.write("#!/bin/sh\nexit 0\n")
        os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
        blank = os.path.join(root, "blank.html")
        with open(blank, "w") as file:
            file.write("<html><body></body></html>\n")
        env = {**os.environ, "PATH": bin_dir + ":" + os.environ.get("PATH", "/usr/bin:/bin"),
               "HOME": os.path.join(root, "home"), "XDG_RUNTIME_DIR": root}

        times = {"floor": [], "plqcalc": []}
        unpainted = 0
        memory = {}
        with plqsession.xvfb() as display:
            for run in range(options.runs + 1):  # the first round only warms the caches
                for name in times:
                    if name == "floor":
                        program = plqsession.App(options.floor, display, env=env, args=[blank])
                    else:
                        program = plqsession.App(executable, display, env=env, cwd=root)
                    with program:
                        if name == "floor":
                            stamp, line = program.wait_line("floor: loaded", 60)
                            seconds = stamp - program.started
                            program.xid = int(line.rsplit("=", 1)[1], 16)
                        else:
                            try:
                                seconds = program.wait_ready(15)["seconds"]
                            except plqsession.Timeout:
                                # Counted and shown, never folded into the times.
                                unpainted += 1
                                continue
                        if not run:
                            continue
                        times[name].append(seconds)
                        if name not in memory:
                            if name == "plqcalc":
                                with contextlib.suppress(plqsession.Timeout):
                                    program.wait_line(plqsession.SIDE_PANEL_LINE, 10)
                            memory[name] = [(pid, process_name(pid), pss_kib(pid))
                                            for pid in descendants(program.process.pid)]
                        program.close(display)
                        program.wait_exit()

        floor_times, app_times = times["floor"], times["plqcalc"]
        ratio = statistics.median(app_times) / statistics.median(floor_times)
        print(f"Start-up over {options.runs} runs each, on a private Xvfb:")
        print(f"  floor (GTK window + one WebKit view, blank local page loaded): "
              f"{spread(floor_times)}")
        print(f"  plqcalc (both calendars drawn in the left pane):               "
              f"{spread(app_times)}")
        print(f"  ratio of medians: {ratio:.2f} (goal <= {START_GOAL})")
        if unpainted:
            print(f"  {unpainted} start(s) of plqcalc never showed the page on the screen within "
                  "15 s and are not in the times")
        print("Memory, PSS from /proc/<pid>/smaps_rollup (shared pages are split among every "
              "process that maps them, on the whole machine):")
        for name, processes in memory.items():
            total = sum(kib for _, _, kib in processes)
            goal = f" (goal <= {PSS_GOAL_MIB} MiB)" if name == "plqcalc" else ""
            print(f"  {name}: total {total / 1024:.1f} MiB{goal}")
            for pid, process, kib in processes:
                print(f"    {process:<24} pid {pid:<8} {kib / 1024:7.1f} MiB")
        print(f"Executable: {os.path.getsize(options.app)} bytes "
              f"({os.path.getsize(options.app) / 1024 / 1024:.2f} MiB) {options.app}")
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
