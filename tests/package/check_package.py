#!/usr/bin/env python3
"""The program as packagers and desktops see it, judged by Debian's own checkers.

    check_package.py desktop_entry --desktop-entry FILE ...
    check_package.py metainfo --metainfo FILE ...
    check_package.py installed_tree --build-dir DIR --cmake CMAKE ...
    check_package.py lintian --build-dir DIR --cpack CPACK --build-type T --sanitize B ...

Every check prints what the checker said. A checker that is not installed is a skip (exit 77),
as is lintian on a build that is not what a package is made from (unoptimised or sanitized).
"""

import argparse
import contextlib
import gzip
import os
import pwd
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

SKIP = 77


class Skip(Exception):
    pass


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def need(program, package):
    path = shutil.which(program)
    if not path:
        raise Skip(f"{program} is not installed (Debian package {package}; "
                   "scripts/setup.sh test installs it)")
    return path


def run(command, **options):
    """Runs a checker; prints and returns its exit status and combined output."""
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          **options)
    print(f"$ {' '.join(command)}  (exit {done.returncode})")
    print(done.stdout, end="" if done.stdout.endswith("\n") or not done.stdout else "\n")
    return done.returncode, done.stdout


def expected_files(options):
    """The installed files, relative to the prefix: where desktops, software centres and man
    look for them."""
    app_id = options.app_id
    files = {
        "bin/plqcalc",
        f"share/applications/{app_id}.desktop",
        f"share/metainfo/{app_id}.metainfo.xml",
        f"share/icons/hicolor/scalable/apps/{app_id}.svg",
        "share/man/man1/plqcalc.1.gz",
    }
    for size in options.icon_sizes:
        files.add(f"share/icons/hicolor/{size}x{size}/apps/{app_id}.png")
    return files


def png_header(path):
    """(width, height, colour type) from a PNG's IHDR chunk."""
    with open(path, "rb") as file:
        head = file.read(26)
    check(head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", f"{path} is no PNG")
    width, height, _, colour_type = struct.unpack(">IIBB", head[16:26])
    return width, height, colour_type


def desktop_entry_lines(path):
    with open(path, encoding="utf-8") as file:
        return file.read().splitlines()


def check_desktop_entry(options):
    """desktop-file-validate accepts the entry without a word."""
    validator = need("desktop-file-validate", "desktop-file-utils")
    status, output = run([validator, options.desktop_entry])
    check(status == 0 and output == "", "desktop-file-validate found problems")
    check(os.path.basename(options.desktop_entry) == f"{options.app_id}.desktop",
          "the desktop entry is not named after the application id")


def check_metainfo(options):
    """appstreamcli finds no error and no warning (pedantic notes are shown, not failed)."""
    appstreamcli = need("appstreamcli", "appstream")
    status, output = run([appstreamcli, "validate", "--no-net", "--pedantic",
                          options.metainfo])
    problems = [line for line in output.splitlines() if line.startswith(("E:", "W:"))]
    check(status == 0 and not problems, f"appstreamcli: {problems}")
    root = ElementTree.parse(options.metainfo).getroot()
    releases = [release.get("version") for release in root.iter("release")]
    check(releases and releases[0] == options.version,
          f"the newest release is {releases[:1]}, the program is {options.version}")


def check_tree(prefix, options):
    """The files of an install below `prefix`, as desktops read them."""
    installed = set()
    for folder, _, files in os.walk(prefix):
        for name in files:
            installed.add(os.path.relpath(os.path.join(folder, name), prefix))
    expected = expected_files(options)
    check(installed == expected, f"missing {sorted(expected - installed)}, "
                                 f"unexpected {sorted(installed - expected)}")
    check(os.access(os.path.join(prefix, "bin", "plqcalc"), os.X_OK),
          "bin/plqcalc is not executable")

    # Each hicolor picture has the size of its folder and an alpha channel (RGBA, type 6).
    for size in options.icon_sizes:
        icon = os.path.join(prefix, f"share/icons/hicolor/{size}x{size}/apps/{options.app_id}.png")
        check(png_header(icon) == (size, size, 6), f"{icon}: {png_header(icon)}")
    svg = os.path.join(prefix, f"share/icons/hicolor/scalable/apps/{options.app_id}.svg")
    check(ElementTree.parse(svg).getroot().tag == "{http://www.w3.org/2000/svg}svg",
          f"{svg} is no SVG drawing")

    # The entry starts the installed program and names the installed icon and the window's class.
    entry = desktop_entry_lines(
        os.path.join(prefix, f"share/applications/{options.app_id}.desktop"))
    for line in ("Exec=plqcalc", f"Icon={options.app_id}", f"StartupWMClass={options.app_id}"):
        check(line in entry, f"the desktop entry lacks {line}")

    # gzip -9n: no file name and no time in the header, so equal pages give equal bytes.
    man_page = os.path.join(prefix, "share/man/man1/plqcalc.1.gz")
    with open(man_page, "rb") as file:
        header = file.read(10)
    flags, mtime = header[3], struct.unpack("<I", header[4:8])[0]
    check(flags & 0x08 == 0 and mtime == 0, "the manual page's gzip header has a name or time")
    with gzip.open(man_page, "rt", encoding="utf-8") as file:
        page = file.read()
    check(".TH PLQCALC 1 " in page and options.version in page, "the manual page's title line")


def check_installed_tree(options):
    """`cmake --install` puts exactly the expected files where desktops look, and AppStream's
    tree check finds the entry, the metainfo and the icon consistent."""
    with tempfile.TemporaryDirectory(prefix="plqcalc-tree-") as prefix:
        subprocess.run([options.cmake, "--install", options.build_dir, "--prefix", prefix],
                       check=True, stdout=subprocess.DEVNULL, timeout=60)
        check_tree(prefix, options)
        appstreamcli = need("appstreamcli", "appstream")
        # validate-tree reads a system root: give it one whose usr is the prefix.
        with tempfile.TemporaryDirectory(prefix="plqcalc-root-") as root:
            os.symlink(prefix, os.path.join(root, "usr"))
            status, output = run([appstreamcli, "validate-tree", "--no-net", root])
        problems = [line for line in output.splitlines() if line.startswith(("E:", "W:"))]
        check(status == 0 and not problems, f"appstreamcli validate-tree: {problems}")


def unprivileged():
    """As root, the command prefix that runs a checker as nobody (lintian warns about root)."""
    if os.geteuid() != 0:
        return [], None
    account = pwd.getpwnam("nobody")
    return (["setpriv", f"--reuid={account.pw_uid}", f"--regid={account.pw_gid}",
             "--clear-groups", "--"], account)


def check_lintian(options):
    """cpack makes the .deb; lintian, run as an ordinary user, reports no error, no warning and
    no missing hardening. The package holds exactly the installed tree plus its Debian documents,
    and depends on the libraries the program links."""
    if options.build_type not in ("Release", "RelWithDebInfo", "MinSizeRel") or \
            options.sanitize.upper() in ("ON", "1", "TRUE", "YES"):
        raise Skip(f"a package is made from an optimised build without sanitizers; this one is "
                   f"{options.build_type or 'unoptimised'} (sanitize {options.sanitize}): "
                   "use `cmake --workflow --preset package`")
    lintian = need("lintian", "lintian")
    prefix, account = unprivileged()
    with tempfile.TemporaryDirectory(prefix="plqcalc-deb-") as work:
        os.chmod(work, 0o755)
        subprocess.run([options.cpack, "--config",
                        os.path.join(options.build_dir, "CPackConfig.cmake"), "-B", work],
                       check=True, stdout=subprocess.DEVNULL, timeout=300)
        architecture = subprocess.run(["dpkg", "--print-architecture"], check=True,
                                      capture_output=True, text=True).stdout.strip()
        deb = os.path.join(work, f"plqcalc_{options.version}_{architecture}.deb")
        check(os.path.isfile(deb), f"cpack made no {os.path.basename(deb)}: {os.listdir(work)}")
        os.chmod(deb, 0o644)

        home = os.path.join(work, "home")
        os.mkdir(home)
        if account is not None:
            os.chown(home, account.pw_uid, account.pw_gid)
        # Info tags are shown too, for the hardening ones.
        status, output = run(prefix + ["env", f"HOME={home}", lintian, "--display-info",
                                       "--tag-display-limit", "0", deb], cwd=work)
        problems = [line for line in output.splitlines()
                    if line.startswith(("E:", "W:")) or " hardening-" in line]
        check(not problems, f"lintian: {problems}")
        check(status == 0, f"lintian ended with status {status}")

        listing = subprocess.run(["dpkg-deb", "--fsys-tarfile", deb], check=True,
                                 capture_output=True).stdout
        files = set(subprocess.run(["tar", "-t"], input=listing, check=True,
                                   capture_output=True).stdout.decode().splitlines())
        files = {name[len("./usr/"):] for name in files if not name.endswith("/")}
        expected = expected_files(options) | {"share/doc/plqcalc/copyright",
                                              "share/doc/plqcalc/changelog.gz"}
        check(files == expected, f"the package lacks {sorted(expected - files)} and holds "
                                 f"{sorted(files - expected)}")
        depends = subprocess.run(["dpkg-deb", "--field", deb, "Depends"], check=True,
                                 capture_output=True, text=True).stdout
        print(f"Depends: {depends.strip()}")
        for library in ("libgtk-3-0", "libwebkit2gtk-4.1-0", "libc6"):
            check(library in depends, f"the package does not depend on {library}")


CHECKS = {
    "desktop_entry": check_desktop_entry,
    "metainfo": check_metainfo,
    "installed_tree": check_installed_tree,
    "lintian": check_lintian,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("check", choices=sorted(CHECKS))
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--icon-sizes", required=True, nargs="+", type=int,
                        help="the sizes installed into the hicolor theme")
    parser.add_argument("--desktop-entry")
    parser.add_argument("--metainfo")
    parser.add_argument("--build-dir")
    parser.add_argument("--cmake")
    parser.add_argument("--cpack")
    parser.add_argument("--build-type", default="")
    parser.add_argument("--sanitize", default="OFF")
    options = parser.parse_args()
    try:
        CHECKS[options.check](options)
    except Skip as reason:
        print(f"SKIP: {reason}")
        return SKIP
    except AssertionError as failure:
        print(f"FAIL: {failure}")
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    with contextlib.suppress(KeyboardInterrupt):
        sys.exit(main())
