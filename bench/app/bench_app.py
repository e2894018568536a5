#!/usr/bin/env python3
"""Start-up time and memory of the Linux program on a private Xvfb.

Start-up: from process start until the left pane has drawn both calendars (the program's
PLQCALC_REPORT_READY line), beside the floor of the same stack measured in the same run: a bare
GTK window with one WebKitGTK view loading a blank local page until its load finishes. Runs
alternate between the two so that a busy machine slows both alike.

Memory, with both panes loaded (the floor: with its page loaded), for every process of the
program: itself, WebKit's network and web processes and, with WebKit's sandbox on, each bwrap,
what runs under it and xdg-dbus-proxy; anything else in the program's session too. Per process:
  PSS  from /proc/<pid>/smaps: each shared page split among every process of the machine that
       maps it. The goal is stated in it; it drops while other programs (other WebKit programs
       above all) map the same libraries and fonts.
  own  from /proc/<pid>/pagemap: each page split only among the program's processes and the X
       server it draws on (the X server maps Mesa with LLVM too): PSS as a machine that runs
       nothing else shows it. It stays put on a busy machine, so it is what to compare between
       builds there. The kernel shows page frames to root only; otherwise it is left out.
and the program's pages by kind of mapping (in "own" when there is one, else in PSS).

    bench_app.py --app plqcalc --floor plq_bench_floor [--runs 15]
"""

import argparse
import collections
import contextlib
import os
import re
import shutil
import statistics
import struct
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import plqsession  # noqa: E402

START_GOAL = 1.15
PSS_GOAL_MIB = 200
PAGE_KIB = os.sysconf("SC_PAGE_SIZE") // 1024

# Kinds of mapping, in the order printed.
KINDS = {
    "GL": "Mesa's driver with LLVM, GL and EGL dispatch (loaded with acceleration off too)",
    "WebKit": "libwebkit2gtk and libjavascriptcoregtk, code and data",
    "libs": "every other library and executable",
    "fonts": "font files",
    "files": "other mapped files (caches, locale, icon theme)",
    "heap": "malloc's heap",
    "anon": "anonymous: JavaScript's and WebKit's own heaps, thread stacks",
    "shm": "shared memory: the panes' pictures on their way between processes",
}
GL_LIBRARY = re.compile(r"^lib(LLVM|GLX|GL|GLdispatch|EGL|GLESv2|gbm|glapi|epoxy|drm|z3|d3d12)[-._]")


def mapping_kind(name):
    if name == "[heap]":
        return "heap"
    if not name or name.startswith("["):
        return "anon"
    if name.startswith(("/memfd:", "/SYSV", "/dev/shm/")):
        return "shm"
    if "/fonts/" in name:
        return "fonts"
    base = os.path.basename(name.removesuffix(" (deleted)"))
    if "/dri/" in name or GL_LIBRARY.match(base):
        return "GL"
    if base.startswith(("libwebkit2gtk", "libjavascriptcoregtk", "WebKit")):
        return "WebKit"
    if ".so" in base or os.access(name, os.X_OK):
        return "libs"
    return "files"


def mappings(pid):
    """(start, end, name, {field: KiB}) for each mapping of the process."""
    found = []
    with open(f"/proc/{pid}/smaps") as file:
        for line in file:
            fields = line.split()
            if fields[0].endswith(":"):
                if fields[-1] == "kB":
                    found[-1][3][fields[0][:-1]] = int(fields[1])
            else:
                start, end = (int(value, 16) for value in fields[0].split("-"))
                found.append((start, end, " ".join(fields[5:]), {}))
    return found


def resident_frames(pid, regions):
    """The page frame of each resident page of the process, with its mapping's kind; None when
    the process's page map may not be read."""
    frames = []
    try:
        pagemap = open(f"/proc/{pid}/pagemap", "rb")
    except PermissionError:
        return None
    with pagemap:
        for start, end, name, sizes in regions:
            if not sizes.get("Rss"):
                continue
            pagemap.seek(start // (PAGE_KIB * 1024) * 8)
            entries = pagemap.read((end - start) // (PAGE_KIB * 1024) * 8)
            kind = mapping_kind(name)
            for (entry,) in struct.iter_unpack("<Q", entries):
                if entry >> 63:  # present: the frame number is in bits 0-54
                    frames.append((kind, entry & ((1 << 55) - 1)))
    return frames


def program_processes(pid):
    """`pid`, every process below it, and any other process of its session."""
    found = {pid, *plqsession.descendants(pid)}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            with contextlib.suppress(OSError):
                if os.getsid(int(entry)) == pid:
                    found.add(int(entry))
    return sorted(found)


def process_label(pid):
    """The program's file name; for bwrap, also what runs under it."""
    with open(f"/proc/{pid}/cmdline", "rb") as file:
        argv = file.read().decode(errors="replace").split("\0")
    label = os.path.basename(argv[0])
    if label == "bwrap" and "--" in argv[:-1]:
        label += " " + os.path.basename(argv[argv.index("--") + 1])
    return label


def measure_memory(pid, sharers):
    """[(pid, label, PSS KiB, own KiB or None, {kind: KiB})] for each process of the program;
    `sharers` are the other processes its pages are split with in "own"."""
    processes = []
    for member in program_processes(pid):
        # A process that ended meanwhile is not counted.
        with contextlib.suppress(FileNotFoundError, ProcessLookupError):
            regions = mappings(member)
            pss = collections.Counter()
            for _, _, name, sizes in regions:
                pss[mapping_kind(name)] += sizes.get("Pss", 0)
            processes.append([member, process_label(member), pss, resident_frames(member, regions)])
    # Without root every frame number reads as 0: no "own" figure then.
    mapped = collections.Counter(frame for *_, frames in processes for _, frame in frames or [])
    for sharer in sharers:
        mapped.update(frame for _, frame in resident_frames(sharer, mappings(sharer)) or [])
    known = bool(mapped) and 0 not in mapped and all(p[3] is not None for p in processes)
    measured = []
    for member, label, pss, frames in processes:
        own = collections.Counter()
        for kind, frame in frames if known else []:
            own[kind] += PAGE_KIB / mapped[frame]
        kinds = own if known else pss
        measured.append((member, label, sum(pss.values()), sum(own.values()) if known else None,
                         kinds))
    return measured


def print_memory(name, processes, goal):
    mib = "{:7.1f}".format
    own_known = processes[0][3] is not None
    print(f"  {name}: PSS {sum(p[2] for p in processes) / 1024:.1f} MiB{goal}" +
          (f", own {sum(p[3] for p in processes) / 1024:.1f} MiB" if own_known else ""))
    print(f"    {'process':<30} {'pid':>8} {'PSS':>7} {'own':>7} |" +
          "".join(f"{kind:>7}" for kind in KINDS))
    total = collections.Counter()
    for pid, label, pss, own, kinds in processes:
        total.update(kinds)
        print(f"    {label[:30]:<30} {pid:>8} {mib(pss / 1024)} " +
              (mib(own / 1024) if own is not None else "      -") + " |" +
              "".join(mib(kinds[kind] / 1024) for kind in KINDS))
    print(f"    {'all':<30} {'':>8} {'':>7} {'':>7} |" +
          "".join(mib(total[kind] / 1024) for kind in KINDS))


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
        with plqsession.xvfb_server() as server:
            display = server.display
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
                            memory[name] = measure_memory(program.process.pid,
                                                          [server.process.pid])
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
        print("Memory in MiB: PSS, own (PSS with nothing else running) and the kinds of mapping:")
        for kind, meaning in KINDS.items():
            print(f"  {kind:>6}: {meaning}")
        for name, processes in memory.items():
            print_memory(name, processes, f" (goal <= {PSS_GOAL_MIB} MiB)" if name == "plqcalc"
                         else "")
        print(f"Executable: {os.path.getsize(options.app)} bytes "
              f"({os.path.getsize(options.app) / 1024 / 1024:.2f} MiB) {options.app}")
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
