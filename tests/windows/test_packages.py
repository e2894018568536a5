#!/usr/bin/env python3
"""The Windows packages as a user and a release manager meet them.

    test_packages.py SCENARIO --packages DIR --app plqcalc.exe ... (see main())

  versions      the program's and the installer's version resources and manifests carry the
                project's version and copyright line; neither asks for administrator rights; the
                installer shows the program's icon
  unsigned      with no certificate given, neither the program nor the installer is signed
  sign_copies   the signing script signs copies of the program and the installer with a throwaway
                certificate, and refuses (leaving no unsigned file) when it cannot
  signed_build  a build tree configured with a certificate signs the program when it links it,
                the installer and its uninstaller when CPack packs them, and the signed installer
                still installs and uninstalls under Wine
  installer     under Wine, as the user: silent installation, the files, the Start-menu shortcut,
                the entry in the list of installed programs, the program started from the
                shortcut, the uninstaller and the installer refusing while it runs, then the
                uninstaller removing everything

The Wine scenarios share the build tree's prefix (the fixture "wine" in CMakeLists.txt) and undo
whatever they did to it, even when they fail.
"""

import argparse
import contextlib
import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

UNINSTALL_ROOT = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
SESSION_MANAGER = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager"
UNINSTALLER = "Uninstall.exe"
PROGRAM = "plqcalc.exe"
PAGE_FILES = ("plqclear.htm", "1.htm")
# What the running program keeps in its folder: the pages and the lock its copies share it by.
RUNNING_FILES = PAGE_FILES + (".plqcalc.lock",)
SIGNING_PASSWORD = "throwaway-只为测试"
URL = "http://www.example.com"


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def run(command, **kwargs):
    kwargs.setdefault("capture_output", True)
    kwargs.setdefault("text", True)
    if kwargs["text"]:
        # Wine's own tools answer in the prefix's code page (GBK in a Chinese locale).
        kwargs.setdefault("errors", "replace")
    # No Wine program here takes more than seconds: one that hangs names itself in the failure.
    kwargs.setdefault("timeout", 90)
    return subprocess.run(command, **kwargs)


def packages(options):
    """The installer and the ZIP the fixture made."""
    found = {}
    for suffix in ("exe", "zip"):
        files = glob.glob(os.path.join(options.packages, f"*.{suffix}"))
        check(len(files) == 1, f"expected one .{suffix} in {options.packages}: {files}")
        found[suffix] = files[0]
    return found["exe"], found["zip"]


def unzip(archive, folder):
    """Unpacks the ZIP into folder; returns the folder holding its files (below the top folder)."""
    with zipfile.ZipFile(archive) as zip_file:
        zip_file.extractall(folder)
    (top,) = os.listdir(folder)
    return os.path.join(folder, top)


def tree(folder):
    """Every path below folder, relative to it."""
    paths = set()
    for parent, dirs, files in os.walk(folder):
        for name in dirs + files:
            paths.add(os.path.relpath(os.path.join(parent, name), folder))
    return paths


# --- Version resources ---------------------------------------------------------------------------

def resource(executable, type_id):
    result = run(["wrestool", "-x", "--raw", "-t", str(type_id), executable], text=False)
    check(result.returncode == 0 and result.stdout,
          f"no resource of type {type_id} in {executable}: {result.stderr!r}")
    return result.stdout


def version_info(executable):
    """The fixed file and product versions and the strings of a VS_VERSIONINFO resource."""
    data = resource(executable, 16)
    strings = {}
    fixed = {}

    def node(offset):
        length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
        end = offset + length
        key_end = data.index(b"\0\0", offset + 6)
        while (key_end - offset) % 2:
            key_end = data.index(b"\0\0", key_end + 1)
        key = data[offset + 6:key_end].decode("utf-16-le")
        position = (key_end + 2 + 3) & ~3
        value_size = value_length * 2 if value_type == 1 else value_length
        value = data[position:position + value_size]
        children = []
        child = (position + value_size + 3) & ~3
        while child < end:
            children.append(node(child))
            child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
        return key, value_type, value, children

    def walk(key, value_type, value, children):
        if key == "VS_VERSION_INFO":
            words = struct.unpack_from("<13I", value)
            check(words[0] == 0xFEEF04BD, "VS_FIXEDFILEINFO has a wrong signature")
            fixed["file"] = (words[2] >> 16, words[2] & 0xFFFF, words[3] >> 16, words[3] & 0xFFFF)
            fixed["product"] = (words[4] >> 16, words[4] & 0xFFFF, words[5] >> 16,
                                words[5] & 0xFFFF)
        elif value_type == 1 and value:
            strings[key] = value.decode("utf-16-le").rstrip("\0")
        for child in children:
            walk(*child)

    walk(*node(0))
    return fixed, strings


def scenario_versions(options):
    installer, _ = packages(options)
    numbers = tuple(int(part) for part in options.version.split(".")) + (0,)
    for name, executable in (("program", options.app), ("installer", installer)):
        fixed, strings = version_info(executable)
        print(f"{name}: {fixed} {strings}")
        for field, want in (("file", numbers), ("product", numbers)):
            check(fixed.get(field) == want, f"{name}: {field} version {fixed.get(field)}")
        for key, want in (("FileVersion", options.version), ("ProductVersion", options.version),
                          ("LegalCopyright", options.copyright),
                          ("ProductName", options.display_name)):
            check(strings.get(key) == want, f"{name}: {key} is {strings.get(key)!r}, not {want!r}")
        manifest = resource(executable, 24).decode("utf-8")
        # Both run as the user who starts them: the installer asks for no administrator rights.
        check('level="asInvoker"' in manifest, f"{name}: the manifest asks for more: {manifest}")

    manifest = resource(options.app, 24).decode("utf-8")
    identity = f'name="plqcalc" version="{".".join(map(str, numbers))}"'
    check(identity in manifest, f"the program's manifest lacks {identity}: {manifest}")

    # The installer shows the program's icon: the same images as the icon file.
    with tempfile.TemporaryDirectory(prefix="plqcalc-versions-") as work:
        extracted = os.path.join(work, "installer.ico")
        with open(extracted, "wb") as file:
            file.write(run(["wrestool", "-x", "-t", "14", installer], text=False).stdout)

        def images(icon):
            listing = run(["icotool", "-l", icon]).stdout.split("\n")
            return sorted(line.split(None, 1)[1] for line in listing if line.strip())

        check(images(extracted) == images(options.icon),
              f"installer icon {images(extracted)} is not {images(options.icon)}")


# --- Signatures ----------------------------------------------------------------------------------

def signature(path, ca_file=None):
    """osslsigncode's verdict: (verified, its report)."""
    command = ["osslsigncode", "verify", "-in", path]
    if ca_file:
        command += ["-CAfile", ca_file]
    result = run(command)
    return result.returncode == 0, result.stdout + result.stderr


def expect_signed(path, certificate, what):
    verified, report = signature(path, certificate.ca_file)
    check(verified, f"{what}: the signature does not verify:\n{report}")
    for line in ("Message digest algorithm  : SHA256", f"Text description: {certificate.name}",
                 f"URL description: {URL}", f"Subject: /CN={certificate.subject}",
                 "Signature verification: ok"):
        check(line in report, f"{what}: no '{line}' in the signature:\n{report}")


def expect_unsigned(path, what):
    verified, report = signature(path)
    check(not verified and "No signature found" in report, f"{what} is signed:\n{report}")


class Certificate:
    """A throwaway self-signed code-signing certificate: ca_file (PEM, to trust it) and p12
    (PKCS#12, key and certificate, protected by `password`; no_password_p12 has none)."""

    subject = "plqcalc throwaway signer"

    def __init__(self, folder, name):
        self.name = name
        key = os.path.join(folder, "key.pem")
        self.ca_file = os.path.join(folder, "signer.pem")
        self.p12 = os.path.join(folder, "signer.p12")
        self.no_password_p12 = os.path.join(folder, "signer-open.p12")
        self.password = SIGNING_PASSWORD
        for command in (
                ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-sha256", "-days", "2",
                 "-nodes", "-keyout", key, "-out", self.ca_file, "-subj", f"/CN={self.subject}",
                 "-addext", "keyUsage=critical,digitalSignature",
                 "-addext", "extendedKeyUsage=codeSigning"],
                ["openssl", "pkcs12", "-export", "-inkey", key, "-in", self.ca_file,
                 "-out", self.p12, "-passout", "env:PLQ_TEST_P12_PASSWORD"],
                ["openssl", "pkcs12", "-export", "-inkey", key, "-in", self.ca_file,
                 "-out", self.no_password_p12, "-passout", "pass:"]):
            result = run(command, env=dict(os.environ, PLQ_TEST_P12_PASSWORD=self.password))
            check(result.returncode == 0, f"openssl failed: {result.stderr}")


def environment_without_password(**changes):
    env = {key: value for key, value in os.environ.items() if not key.startswith("PLQ_SIGNING")}
    env.update(changes)
    return env


def scenario_unsigned(options):
    if options.signing_cert:
        print(f"this build tree signs with {options.signing_cert}: skipped")
        sys.exit(77)
    installer, archive = packages(options)
    expect_unsigned(options.app, "the program")
    expect_unsigned(installer, "the installer")
    with tempfile.TemporaryDirectory(prefix="plqcalc-unsigned-") as work:
        expect_unsigned(os.path.join(unzip(archive, work), PROGRAM), "the program in the ZIP")


def sign(options, path, env, **settings):
    command = [options.cmake, f"-DPLQ_SIGN_FILE={path}"]
    command += [f"-DPLQ_SIGN_{key.upper()}={value}" for key, value in settings.items()]
    return run(command + ["-P", os.path.join(options.source_dir, "cmake", "codesign.cmake")],
               env=env)


def scenario_sign_copies(options):
    installer, _ = packages(options)
    with tempfile.TemporaryDirectory(prefix="plqcalc-sign-") as work:
        certificate = Certificate(work, options.display_name)
        cache = os.path.join(work, "CMakeCache.txt")
        with open(cache, "w") as file:
            file.write(f"PLQ_SIGNING_PASSWORD:STRING={certificate.password}\n")
        wrong = environment_without_password(PLQ_SIGNING_PASSWORD="not the password")
        right = environment_without_password(PLQ_SIGNING_PASSWORD=certificate.password)
        # (what, file to sign, certificate, environment, cache file, signs)
        cases = (
            ("program, password from the environment", options.app, certificate.p12, right, "",
             True),
            ("installer, password from the environment", installer, certificate.p12, right, "",
             True),
            ("program, password from the cache entry", options.app, certificate.p12,
             environment_without_password(), cache, True),
            ("program, certificate without a password", options.app, certificate.no_password_p12,
             environment_without_password(), "", True),
            ("program, the environment's password wins", options.app, certificate.p12, wrong,
             cache, False),
            ("program, no password", options.app, certificate.p12, environment_without_password(),
             "", False),
            ("program, no certificate file", options.app, os.path.join(work, "missing.p12"), right,
             "", False),
        )
        for number, (what, original, p12, env, cache_file, signs) in enumerate(cases):
            copy = os.path.join(work, f"{number}-{os.path.basename(original)}")
            shutil.copyfile(original, copy)
            result = sign(options, copy, env, cert=p12, description=certificate.name, url=URL,
                          cache=cache_file)
            if signs:
                check(result.returncode == 0, f"{what}: signing failed: {result.stderr}")
                expect_signed(copy, certificate, what)
            else:
                check(result.returncode != 0, f"{what}: signing did not fail")
                # CMake wraps its messages.
                check("was not signed and has been removed" in " ".join(result.stderr.split()),
                      f"{what}: the reason is missing: {result.stderr}")
                # No unsigned file that could pass for a signed one, nor the password file.
                check(not os.path.exists(copy), f"{what}: the unsigned file is still there")
            check(sorted(name for name in os.listdir(work) if name.startswith(f"{number}-")) ==
                  ([os.path.basename(copy)] if signs else []),
                  f"{what}: files left: {os.listdir(work)}")
            print(f"ok: {what}")


# --- Wine ----------------------------------------------------------------------------------------

class Wine:
    """The build tree's Wine prefix, through the toolchain's wine-run.sh. Shortcuts made in it
    stay in it: Wine's menu builder, which would copy them into the Linux desktop's menus, is
    off."""

    def __init__(self, options, display=None):
        self.options = options
        self.prefix = options.wineprefix
        self.env = dict(os.environ, PLQ_WINEPREFIX=self.prefix, WINEPREFIX=self.prefix,
                        WINEDEBUG="-all", WINEDLLOVERRIDES="winemenubuilder.exe=d")
        if display:
            self.env["DISPLAY"] = display
        else:
            self.env.pop("DISPLAY", None)

    def run(self, *args, check_status=True):
        # Output through files, not pipes: the first program of a Wine session that touches the
        # desktop starts Wine's desktop process, which inherits its output and lives on; reading
        # a pipe to its end would then wait for ever.
        with tempfile.TemporaryFile("w+", errors="replace") as out, \
                tempfile.TemporaryFile("w+", errors="replace") as err:
            result = run([self.options.wine_run, *args], env=self.env, stdout=out, stderr=err,
                         capture_output=False)
            out.seek(0)
            err.seek(0)
            result.stdout, result.stderr = out.read(), err.read()
        result.stdout = result.stdout.replace("\r", "")
        if check_status:
            check(result.returncode == 0, f"{args}: exit {result.returncode}: {result.stderr}")
        return result

    def start(self, program, cwd, output):
        return subprocess.Popen([self.options.wine_run, program], env=self.env, cwd=cwd,
                                stdout=output, stderr=subprocess.STDOUT)

    def probe(self, *args, check_status=True):
        return self.run(self.options.install_probe, *args, check_status=check_status)

    def values(self, key):
        """The uninstall entry `key` as {name: value}, or None when it is absent."""
        result = self.probe("values", f"{UNINSTALL_ROOT}\\{key}", check_status=False)
        if result.returncode == 3:
            return None
        check(result.returncode == 0, f"values: {result.stderr}")
        values = {}
        for line in result.stdout.splitlines():
            name, kind, data = line.split("\t", 2)
            values[name] = int(data) if kind == "dword" else data
        return values

    def uninstall_entries(self):
        return set(self.probe("subkeys", UNINSTALL_ROOT).stdout.split())

    def folder(self, name):
        return self.probe("folder", name).stdout.strip()

    def unix_path(self, windows_path):
        check(windows_path[:3].upper() == "C:\\", f"not on drive C: {windows_path}")
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))

    @staticmethod
    def windows_path(unix_path):
        return "Z:" + unix_path.replace("/", "\\")

    def stop(self):
        for argument in ("-k", "-w"):
            subprocess.run(["wineserver", argument], env=self.env, capture_output=True)


@contextlib.contextmanager
def xvfb():
    """A private X server; yields its display name (":N")."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        with os.fdopen(read_end, "rb") as pipe:
            number = pipe.readline().decode().strip()
        check(number, "Xvfb did not start")
        yield ":" + number
    finally:
        server.terminate()
        server.wait()


@contextlib.contextmanager
def undo_installation(wine, key, install_dir):
    """Whatever an installation into install_dir leaves in the prefix, even after a failure, is
    gone afterwards: the folder and its parent when they were not there before, the shortcut, the
    entry, and the temporary copy of the uninstaller that NSIS leaves for Windows to delete at
    the next restart (with the request to do so)."""
    folders = [install_dir, os.path.dirname(install_dir)]
    made = [folder for folder in folders if not os.path.exists(folder)]
    check(install_dir in made, f"{install_dir} is there before installing")
    temp = wine.unix_path(wine.folder("temp"))
    temp_before = tree(temp)
    pending_before = wine.run("reg", "query", SESSION_MANAGER, "/v",
                              "PendingFileRenameOperations", check_status=False).returncode == 0
    shortcut = os.path.join(wine.unix_path(wine.folder("programs")),
                            wine.options.display_name + ".lnk")
    try:
        yield
    finally:
        wine.stop()
        for folder in made:
            shutil.rmtree(folder, ignore_errors=True)
        with contextlib.suppress(FileNotFoundError):
            os.remove(shortcut)
        wine.run("reg", "delete", f"HKCU\\{UNINSTALL_ROOT}\\{key}", "/f", check_status=False)
        if not pending_before:
            wine.run("reg", "delete", SESSION_MANAGER, "/v", "PendingFileRenameOperations", "/f",
                     check_status=False)
        for path in sorted(tree(temp) - temp_before):
            full = os.path.join(temp, path)
            if os.path.isdir(full):
                shutil.rmtree(full, ignore_errors=True)
            elif os.path.exists(full):
                os.remove(full)
        wine.stop()


def uninstall_command(entry, *extra):
    return " ".join((entry["QuietUninstallString"],) + extra)


def scenario_signed_build(options):
    with tempfile.TemporaryDirectory(prefix="plqcalc-signed-build-") as work:
        certificate = Certificate(work, options.display_name)
        build = os.path.join(work, "build")
        env = environment_without_password(PLQ_SIGNING_PASSWORD=certificate.password)
        started = time.monotonic()
        steps = (
            ("configure", [options.cmake, "-S", options.source_dir, "-B", build,
                           "--toolchain",
                           os.path.join(options.source_dir, "cmake", "mingw-w64-x86_64.cmake"),
                           f"-DCMAKE_BUILD_TYPE={options.build_type}", "-DPLQ_BUILD_TESTS=OFF",
                           "-DPLQ_BUILD_BENCH=OFF", f"-DPLQ_SIGNING_CERT={certificate.p12}"]),
            ("build", [options.cmake, "--build", build, "--target", "plqcalc", "-j2"]),
            ("package", [options.cpack, "--config", os.path.join(build, "CPackConfig.cmake"),
                         "-B", os.path.join(work, "packages")]),
        )
        for what, command in steps:
            result = run(command, env=env, cwd=build if what == "package" else work, timeout=280)
            check(result.returncode == 0, f"{what} failed:\n{result.stdout}\n{result.stderr}")
        print(f"configured, built and packed in {time.monotonic() - started:.1f} s")

        program = os.path.join(build, "shell", "win32", PROGRAM)
        expect_signed(program, certificate, "the program")
        installer = glob.glob(os.path.join(work, "packages", "*.exe"))[0]
        expect_signed(installer, certificate, "the installer")
        (archive,) = glob.glob(os.path.join(work, "packages", "*.zip"))
        expect_signed(os.path.join(unzip(archive, os.path.join(work, "zip")), PROGRAM),
                      certificate, "the program in the ZIP")
        # The password came from the environment: no file of the build tree holds it.
        leaks = run(["grep", "-rlF", certificate.password, build, os.path.join(work, "packages")])
        check(leaks.stdout == "", f"the password is written into {leaks.stdout}")

        # The signed installer still installs (its integrity check passes), and what it installs
        # is signed: the program, and the uninstaller that was signed before it was packed.
        wine = Wine(options)
        target = os.path.join(work, "installed")
        with undo_installation(wine, options.registry_key, target):
            wine.run(installer, "/S", "/D=" + Wine.windows_path(target))
            expect_signed(os.path.join(target, PROGRAM), certificate, "the installed program")
            expect_signed(os.path.join(target, UNINSTALLER), certificate, "the uninstaller")
            entry = wine.values(options.registry_key)
            check(wine.probe("run", uninstall_command(entry)).returncode == 0, "uninstall failed")
            check(not os.path.exists(target), f"left after uninstalling: {tree(target)}")


# --- The installer under Wine --------------------------------------------------------------------

def scenario_installer(options):
    installer, archive = packages(options)
    print(f"installer: {os.path.getsize(installer)} bytes")
    with contextlib.ExitStack() as stack:
        work = stack.enter_context(tempfile.TemporaryDirectory(prefix="plqcalc-installer-"))
        zip_files = unzip(archive, os.path.join(work, "zip"))
        display = stack.enter_context(xvfb())
        wine = Wine(options, display)
        wine.stop()
        key = options.registry_key
        check(wine.values(key) is None, f"an entry {key} is there before installing")
        drive_c = os.path.join(wine.prefix, "drive_c")
        # NSIS leaves a copy of the uninstaller in the temporary folder, for Windows to delete
        # at the next restart; undo_installation removes it.
        temp = os.path.relpath(wine.unix_path(wine.folder("temp")), drive_c)
        before = {path for path in tree(drive_c) if not path.startswith(temp)}
        entries_before = wine.uninstall_entries()
        folder = wine.folder("local_app_data") + "\\Programs\\plqcalc"
        install_dir = wine.unix_path(folder)
        stack.enter_context(undo_installation(wine, key, install_dir))

        # Silent, as the user.
        wine.run(installer, "/S")

        # The files of the ZIP, byte for byte, and the uninstaller; the program is the one that
        # was built and tested.
        with open(options.app, "rb") as built, open(os.path.join(zip_files, PROGRAM), "rb") as got:
            check(built.read() == got.read(), "the packages' program is not the one built")
        installed = tree(install_dir)
        check(installed == tree(zip_files) | {UNINSTALLER},
              f"installed {sorted(installed)}, the ZIP holds {sorted(tree(zip_files))}")
        for name in tree(zip_files):
            with open(os.path.join(zip_files, name), "rb") as want, \
                    open(os.path.join(install_dir, name), "rb") as got:
                check(want.read() == got.read(), f"{name} differs from the ZIP's")

        # The shortcut in the user's Start menu.
        start_menu = wine.folder("programs")
        shortcut_path = f"{start_menu}\\{options.display_name}.lnk"
        shortcut = dict(line.split("\t", 1) for line in
                        wine.probe("shortcut", shortcut_path).stdout.splitlines())
        print(f"shortcut {shortcut_path}: {shortcut}")
        program = f"{folder}\\{PROGRAM}"
        check(shortcut["target"].lower() == program.lower(), f"shortcut target {shortcut}")
        check(shortcut["folder"].lower() == folder.lower(), f"shortcut folder {shortcut}")
        check(shortcut["arguments"] == "", f"shortcut arguments {shortcut}")

        # Nothing outside the install folder but the shortcut (and the folder holding per-user
        # programs, which Windows makes when the first one is installed).
        created = {path for path in tree(drive_c) - before if not path.startswith(temp)}
        install_relative = os.path.relpath(install_dir, drive_c)
        shortcut_relative = os.path.relpath(wine.unix_path(shortcut_path), drive_c)
        parent_relative = os.path.dirname(install_relative)
        check(all(path == shortcut_relative or path == parent_relative or
                  path.startswith(install_relative) for path in created),
              f"written elsewhere: {sorted(created)}")

        # The entry in the user's list of installed programs.
        entry = wine.values(key)
        print(f"uninstall entry HKCU\\{UNINSTALL_ROOT}\\{key}: {entry}")
        check(entry is not None, f"no entry HKCU\\{UNINSTALL_ROOT}\\{key}")
        total = sum(os.path.getsize(os.path.join(install_dir, name)) for name in installed)
        uninstaller = f'"{folder}\\{UNINSTALLER}"'
        for name, want in (("DisplayName", options.display_name),
                           ("DisplayVersion", options.version),
                           # The maker, as the program's own version resource names it.
                           ("Publisher", version_info(options.app)[1]["CompanyName"]),
                           ("DisplayIcon", f"{program},0"),
                           ("InstallLocation", folder),
                           ("UninstallString", uninstaller),
                           ("QuietUninstallString", f"{uninstaller} /S"),
                           ("NoModify", 1),
                           ("NoRepair", 1)):
            got = entry.get(name)
            same = got.lower() == want.lower() if isinstance(want, str) and got else got == want
            check(same, f"{name} is {got!r}, expected {want!r}")
        check(abs(entry.get("EstimatedSize", 0) - total / 1024) <= 1,
              f"EstimatedSize {entry.get('EstimatedSize')} KiB, the files take {total} bytes")

        # The program, started from where the shortcut points, writes its pages next to itself.
        output_path = os.path.join(work, "program.out")
        output = stack.enter_context(open(output_path, "w"))
        app = wine.start(wine.unix_path(shortcut["target"]), wine.unix_path(shortcut["folder"]),
                         output)
        stack.callback(lambda: app.poll() is None and app.kill())
        window = wine.run(options.window_probe, "window", options.display_name).stdout
        caption = next(line.split()[1:] for line in window.splitlines()
                       if line.startswith("caption "))
        hwnd = next(line.split()[1] for line in window.splitlines() if line.startswith("hwnd "))
        for name in PAGE_FILES:
            check(os.path.exists(os.path.join(install_dir, name)), f"no {name} while it runs")

        # While it runs the uninstaller refuses (2: cancelled by the script) and removes nothing.
        refused = wine.probe("run", uninstall_command(entry, f"_?={folder}"), check_status=False)
        check(refused.returncode == 2, f"uninstalling while it runs: exit {refused.returncode}")
        check(tree(install_dir) == installed | set(RUNNING_FILES),
              f"the refusing uninstaller changed the folder: {sorted(tree(install_dir))}")
        check(wine.values(key) == entry, "the refusing uninstaller changed the entry")
        check(os.path.exists(wine.unix_path(shortcut_path)), "the shortcut went")
        # So does installing over it.
        again = wine.run(installer, "/S", check_status=False)
        check(again.returncode == 2, f"installing while it runs: exit {again.returncode}")
        check(tree(install_dir) == installed | set(RUNNING_FILES),
              f"the refusing installer changed the folder: {sorted(tree(install_dir))}")

        # alt+F4, as a user closes it; it removes its page files.
        subprocess.run(["xdotool", "mousemove", *caption, "click", "1"], env=wine.env, check=True)
        # The keys go to the window in front: once the click has brought the program's there.
        wine.run(options.window_probe, "foreground", hwnd)
        subprocess.run(["xdotool", "key", "alt+F4"], env=wine.env, check=True)
        status = app.wait(timeout=30)
        with open(output_path) as program_output:
            check(status == 0, f"the program ended with {status}: {program_output.read()}")
        check(tree(install_dir) == installed, f"left after closing: {sorted(tree(install_dir))}")

        # A program that was ended by force leaves its page files and its lock file; the
        # uninstaller takes them too.
        for name in RUNNING_FILES:
            with open(os.path.join(install_dir, name), "wb") as file:
                file.write(b"left by a program that was ended by force")

        # The uninstaller as "Apps & features" runs it, silently: everything goes.
        status = wine.probe("run", uninstall_command(entry)).returncode
        check(status == 0, f"uninstalling: exit {status}")
        check(not os.path.exists(install_dir), f"left in the folder: {tree(install_dir)}")
        check(not os.path.exists(wine.unix_path(shortcut_path)), "the shortcut is still there")
        check(wine.values(key) is None, f"the entry {key} is still there")
        check(wine.uninstall_entries() == entries_before, "the list of installed programs changed")
        after = {path for path in tree(drive_c) if not path.startswith(temp)}
        check(after == before, f"left: {sorted(after - before)}, gone: {sorted(before - after)}")


# What each scenario needs beyond Wine and CPack (scripts/setup.sh test installs them all).
TOOLS = {
    "versions": ("wrestool", "icotool"),
    "unsigned": ("osslsigncode",),
    "sign_copies": ("osslsigncode", "openssl"),
    "signed_build": ("osslsigncode", "openssl", "x86_64-w64-mingw32-g++-posix"),
    "installer": ("Xvfb", "xdotool"),
}

SCENARIOS = {
    "versions": scenario_versions,
    "unsigned": scenario_unsigned,
    "sign_copies": scenario_sign_copies,
    "signed_build": scenario_signed_build,
    "installer": scenario_installer,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    parser.add_argument("--packages", required=True, help="the folder CPack made the packages in")
    parser.add_argument("--app", required=True, help="the built plqcalc.exe")
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--build-type", default="MinSizeRel")
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--cpack", default="cpack")
    parser.add_argument("--signing-cert", default="",
                        help="the build tree's PLQ_SIGNING_CERT (then its files are signed)")
    parser.add_argument("--wine-run", help="cmake/wine-run.sh")
    parser.add_argument("--wineprefix")
    parser.add_argument("--install-probe")
    parser.add_argument("--window-probe")
    parser.add_argument("--version", required=True)
    parser.add_argument("--copyright", required=True)
    parser.add_argument("--display-name", required=True)
    parser.add_argument("--registry-key", required=True)
    parser.add_argument("--icon", required=True)
    options = parser.parse_args()
    for tool in TOOLS[options.scenario]:
        if shutil.which(tool) is None:
            print(f"{tool} is missing (scripts/setup.sh test installs it): skipped")
            sys.exit(77)
    SCENARIOS[options.scenario](options)
    print(f"{options.scenario}: passed")


if __name__ == "__main__":
    main()
