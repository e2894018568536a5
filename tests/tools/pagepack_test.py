#!/usr/bin/env python3
"""pagepack's command line, as the build and a developer meet it.

  pagepack_test.py [--emulator PROGRAM]... PAGEPACK GROUP [ARGUMENT...]

Groups:
  command_line      a table of arguments and inputs: the exit status, the message and the files
                    left behind (a failure leaves every file as it was, and no output or
                    temporary file)
  gb2312            every GB2312 character passes with the bytes browsers read back; GBK's
                    additions and other characters are refused, naming the line
  full_device       output to a character device: a full one fails the run, a null one takes it
  file_systems      output to a full or read-only file system (a small tmpfs mounted here), or
                    over a file that cannot be replaced (one mounted on): the run fails and
                    leaves an earlier output as it was; needs root
  page EXPECTED ARGUMENT...
                    pagepack ARGUMENT... gives exactly the bytes of the file EXPECTED

Each case runs in a folder of its own under a temporary folder, with relative file names, so the
same table runs a Windows build under Wine (--emulator). Exit status 77 means skipped.
"""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
from dataclasses import dataclass, field

SKIP = 77
FOLDER = object()  # a `files` value: an empty folder


def Gb(text):
    # Python's GBK codec reads GB2312's cells as browsers and code page 936 do (A1A4 is U+00B7,
    # A1AA is U+2014).
    return text.encode('gbk')


@dataclass
class Case:
    name: str
    args: list
    files: dict = field(default_factory=dict)
    # 0 and the output's expected bytes, or 1 and a piece of the message.
    status: int = 1
    message: str = ''
    output: bytes = b''
    out: str = 'out.htm'


class Runner:
    def __init__(self, emulator, pagepack):
        self.command = emulator + [pagepack]
        self.failures = []
        self.cases = 0

    def Run(self, args, cwd):
        result = subprocess.run(self.command + args, cwd=cwd, capture_output=True, timeout=120)
        return result.returncode, result.stderr.decode('utf-8', 'replace')

    def Check(self, name, ok, detail):
        print(('ok    ' if ok else 'FAIL  ') + name + ('' if ok else ': ' + detail), flush=True)
        if not ok:
            self.failures.append(name)

    def Outcome(self, case, status, stderr, before, after):
        """Why the run broke the case's promise, or None."""
        if case.status == 0:
            if status != 0:
                return f'exit status {status}, stderr {stderr!r}'
            expected = dict(before)
            expected[case.out] = case.output
            if after != expected:
                return f'files {Describe(after)}, expected {Describe(expected)}'
            return None
        if status != 1:
            return f'exit status {status} (expected 1), stderr {stderr!r}'
        # A sanitizer report or an abort would also end in a non-zero status: the message must
        # be pagepack's own.
        if not stderr.startswith('pagepack: ') or case.message not in stderr:
            return f'message {stderr!r} lacks {case.message!r}'
        if after != before:
            return f'files {Describe(after)}, expected them as they were: {Describe(before)}'
        return None

    def RunCase(self, case, root):
        self.cases += 1
        folder = os.path.join(root, f'case{self.cases}')
        os.mkdir(folder)
        for name, content in case.files.items():
            path = os.path.join(folder, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            if content is FOLDER:
                os.makedirs(path)
            else:
                with open(path, 'wb') as file:
                    file.write(content.encode('utf-8') if isinstance(content, str) else content)
        before = Snapshot(folder)
        status, stderr = self.Run(case.args, folder)
        after = Snapshot(folder)
        problem = self.Outcome(case, status, stderr, before, after)
        self.Check(case.name, problem is None, problem)
        shutil.rmtree(folder)


def Snapshot(folder):
    """Every file and folder under `folder`: its bytes, 'folder', or the device it is."""
    found = {}
    for dirpath, dirnames, filenames in os.walk(folder):
        for name in dirnames:
            found[os.path.relpath(os.path.join(dirpath, name), folder)] = 'folder'
        for name in filenames:
            path = os.path.join(dirpath, name)
            mode = os.lstat(path).st_mode
            if stat.S_ISREG(mode):
                with open(path, 'rb') as file:
                    found[os.path.relpath(path, folder)] = file.read()
            else:
                found[os.path.relpath(path, folder)] = ('device', os.lstat(path).st_rdev)
    return found


def Describe(files):
    return {name: (content[:60] if isinstance(content, bytes) else content)
            for name, content in sorted(files.items())}


def Out(*args):
    return ['--out', 'out.htm'] + list(args)


def CommandLineCases():
    page = '<p>\n排卵期计算器\n</p>\n'
    page_bytes = b'<p>\r\n' + Gb('排卵期计算器') + b'\r\n</p>'
    wrapper = '<script>\n<!--\n@SCRIPT@\n// -->\n</script>\n'
    cases = [
        # What the build relies on.
        Case('a template alone: GB2312, CR LF, no final line end, then the zero bytes',
             Out('--zeros', '2', 't.html'), {'t.html': page},
             status=0, output=page_bytes + b'\0\0'),
        Case('--zeros 0 appends nothing', Out('--zeros', '0', 't.html'), {'t.html': page},
             status=0, output=page_bytes),
        Case('--final-newline keeps one line end of the blank lines at the end',
             Out('--zeros', '1', '--final-newline', 't.html'), {'t.html': 'a\n\n\n'},
             status=0, output=b'a\r\n\0'),
        Case('the scripts take the place of the @SCRIPT@ line, in order, each ending its line',
             Out('--zeros', '0', 't.html', 'a.js', 'b.js'),
             {'t.html': wrapper, 'a.js': 'var a = "甲";', 'b.js': 'var b;\n'},
             status=0,
             output=b'<script>\r\n<!--\r\nvar a = "' + Gb('甲') +
             b'";\r\nvar b;\r\n// -->\r\n</script>'),
        Case('@SCRIPT@ may be the first line', Out('--zeros', '0', 't.html', 's.js'),
             {'t.html': '@SCRIPT@\nx\n', 's.js': 's();\n'}, status=0, output=b's();\r\nx'),
        Case('@SCRIPT@ may be the last line, without a line end',
             Out('--zeros', '0', 't.html', 's.js'),
             {'t.html': 'x\n@SCRIPT@', 's.js': 's();\n'}, status=0, output=b'x\r\ns();'),
        Case('a UTF-8 byte order mark is dropped', Out('--zeros', '0', 't.html', 's.js'),
             {'t.html': '\ufeffa\n@SCRIPT@\n', 's.js': '\ufeffb();\n'},
             status=0, output=b'a\r\nb();'),
        Case('the middle dot and the em dash are GB2312 A1A4 and A1AA, as browsers read them',
             Out('--zeros', '0', 't.html'), {'t.html': '·——'},
             status=0, output=b'\xa1\xa4\xa1\xaa\xa1\xaa'),
        Case('a script may speak of scripts and comments in its own words',
             Out('--zeros', '0', 't.html', 's.js'),
             {'t.html': '<script>\n@SCRIPT@\n',
              's.js': '// script, <scrip, </ script, <!- -, - ->, i-- > 0\n'},
             status=0, output=b'<script>\r\n// script, <scrip, </ script, <!- -, - ->, i-- > 0'),
        Case('an earlier output is replaced', Out('--zeros', '0', 't.html'),
             {'t.html': 'new', 'out.htm': 'the earlier, longer output'},
             status=0, output=b'new'),
        Case('file names outside the ANSI code page (UTF-16 on Windows)',
             ['--out', '출력.htm', '--zeros', '0', '페이지.html', '스크립트.js'],
             {'페이지.html': '<script>\n@SCRIPT@\n', '스크립트.js': 'go();\n'},
             status=0, out='출력.htm', output=b'<script>\r\ngo();'),

        # --zeros
        Case('--zeros without a value', ['--out', 'out.htm', 't.html', '--zeros'],
             {'t.html': 'a'}, message='--zeros needs a value'),
        Case('--zeros followed by another option',
             ['--out', 'out.htm', '--zeros', '--final-newline', 't.html'], {'t.html': 'a'},
             message='--zeros needs a whole number from 0 to 1024, not "--final-newline"'),
        Case('no --zeros', ['--out', 'out.htm', 't.html'], {'t.html': 'a'},
             message='--zeros is missing'),
        Case('--zeros twice', Out('--zeros', '1', '--zeros', '2', 't.html'), {'t.html': 'a'},
             message='--zeros is given twice'),
    ]
    for value in ['x', '1x', '-1', '+1', ' 1', '1 ', '', '0x10', '1.0', '1e3', '1025',
                  '4294967297', '99999999999999999999999999']:
        cases.append(Case(f'--zeros {value!r} is refused', Out('--zeros', value, 't.html'),
                          {'t.html': 'a'},
                          message=f'--zeros needs a whole number from 0 to 1024, not "{value}"'))
    cases += [
        # --out and the file arguments
        Case('no --out', ['--zeros', '1', 't.html'], {'t.html': 'a'},
             message='--out is missing'),
        Case('--out without a value', ['--zeros', '1', 't.html', '--out'], {'t.html': 'a'},
             message='--out needs a value'),
        Case('--out followed by another option', ['--out', '--zeros', '1', 't.html'],
             {'t.html': 'a'}, message='--out needs a file name, not "--zeros"'),
        Case('--out twice', Out('--out', 'other.htm', '--zeros', '1', 't.html'),
             {'t.html': 'a'}, message='--out is given twice'),
        Case('an unknown option', Out('--zeros', '1', '--bogus', 't.html'), {'t.html': 'a'},
             message='unknown option --bogus'),
        Case('no template', Out('--zeros', '1'), message='the template is missing'),
        Case('a template that is not there', Out('--zeros', '1', 'absent.html'),
             message='cannot read absent.html'),
        Case('a script that is not there', Out('--zeros', '1', 't.html', 'absent.js'),
             {'t.html': '@SCRIPT@\n'}, message='cannot read absent.js'),
        Case('a folder as the template', Out('--zeros', '1', 'pages'), {'pages': FOLDER},
             message='pages is a folder; a file was expected'),
        Case('a folder as a script', Out('--zeros', '1', 't.html', 'scripts'),
             {'t.html': 'a\n@SCRIPT@\n', 'scripts': FOLDER},
             message='scripts is a folder; a file was expected'),
        Case('an empty folder as --out', Out('--zeros', '1', 't.html'),
             {'t.html': 'a', 'out.htm': FOLDER},
             message='--out out.htm is a folder; a file was expected'),
        Case('a folder with files as --out', Out('--zeros', '1', 't.html'),
             {'t.html': 'a', 'out.htm/kept.txt': 'kept'},
             message='--out out.htm is a folder; a file was expected'),
        Case('--out in a folder that is not there',
             ['--out', 'absent/out.htm', '--zeros', '1', 't.html'], {'t.html': 'a'},
             message='cannot write absent/out.htm'),
        Case('--out naming the template', ['--out', 't.html', '--zeros', '1', 't.html'],
             {'t.html': 'a'}, message='--out t.html would overwrite the source t.html'),
        Case('--out naming a script', ['--out', 's.js', '--zeros', '1', 't.html', 's.js'],
             {'t.html': 'a\n@SCRIPT@\n', 's.js': 's();\n'},
             message='--out s.js would overwrite the source s.js'),
        Case('--out whose temporary file is the template',
             ['--out', 'page.htm', '--zeros', '1', 'page.htm.tmp'], {'page.htm.tmp': 'a'},
             message='--out page.htm would overwrite the source page.htm.tmp'),

        # The source texts
        Case('a CR in a source', Out('--zeros', '1', 't.html'), {'t.html': 'a\nb\r\nc\n'},
             message='t.html: line 2 has a CR; sources use LF line ends'),
        Case('scripts but no @SCRIPT@ line', Out('--zeros', '1', 't.html', 's.js'),
             {'t.html': 'a\nb @SCRIPT@\n', 's.js': 's();\n'},
             message='t.html: no line reads @SCRIPT@'),
        Case('an @SCRIPT@ line but no scripts', Out('--zeros', '1', 't.html'),
             {'t.html': 'a\n@SCRIPT@\n'},
             message='t.html: line 2 reads @SCRIPT@ but no scripts are given'),
        Case('two @SCRIPT@ lines', Out('--zeros', '1', 't.html', 's.js'),
             {'t.html': '@SCRIPT@\na\n@SCRIPT@\n', 's.js': 's();\n'},
             message='t.html: line 3 reads @SCRIPT@ again'),
    ]
    # The script sits inside an HTML comment inside a script element.
    for sequence, shown in [('</script>', '</script'), ('</SCRIPT>', '</SCRIPT'),
                            ('</ScRiPt >', '</ScRiPt'), ('</script\n', '</script'),
                            ('<script>', '<script'), ('<SCRIPT src="x.js">', '<SCRIPT'),
                            ('<sCrIpT', '<sCrIpT'), ('<!--', '<!--'), ('-->', '-->')]:
        cases.append(Case(f'a script holding {sequence!r}',
                          Out('--zeros', '1', 't.html', 'a.js', 's.js'),
                          {'t.html': '<script>\n@SCRIPT@\n', 'a.js': 'a();\n',
                           's.js': f'var a;\nvar b = "{sequence}";\n'},
                          message=f's.js: line 2: "{shown}" would end the page\'s script block'))
    # Characters: the file and the line of the first one GB2312 lacks.
    cases += [
        Case('a template character GB2312 lacks', Out('--zeros', '1', 't.html'),
             {'t.html': '<p>\n价格\n€ 5\n'},
             message='t.html: line 3: "€" (U+20AC) is not a character of GB2312'),
        Case('a script character GB2312 lacks: the script and its own line',
             Out('--zeros', '1', 't.html', 'a.js', 's.js'),
             {'t.html': 'a\nb\nc\n@SCRIPT@\n', 'a.js': 'a();\n',
              's.js': '// 名字\nvar name = "王堃";\n'},
             message='s.js: line 2: "堃" (U+5803) is not a character of GB2312'),
        Case('a character outside the BMP', Out('--zeros', '1', 't.html'), {'t.html': '😀'},
             message='t.html: line 1: "😀" (U+1F600) is not a character of GB2312'),
        Case('a private-use character GBK gives a cell', Out('--zeros', '1', 't.html'),
             {'t.html': '\ue000'}, message='(U+E000) is not a character of GB2312'),
    ]
    for bad, line in [(b'\xff', 1), (b'a\n\xc0\xaf', 2), (b'\xed\xa0\x80', 1),
                      (b'\xf4\x90\x80\x80', 1), (b'a\nb\n\xe6\x8e', 3), (b'\xe6\x8ea', 1)]:
        cases.append(Case(f'bytes {bad!r} that are not UTF-8', Out('--zeros', '1', 't.html'),
                          {'t.html': bad}, message=f't.html: line {line} is not UTF-8'))
    return cases


def Gb2312Cells():
    """Every GB2312 character and its two bytes."""
    cells = []
    for lead in range(0xA1, 0xF8):
        for trail in range(0xA1, 0xFF):
            code = bytes([lead, trail])
            try:
                code.decode('gb2312')
            except UnicodeDecodeError:
                continue
            cells.append((code.decode('gbk'), code))
    assert len(cells) == 7445, len(cells)
    return cells


def Gb2312Cases():
    cells = Gb2312Cells()
    rows = [cells[i:i + 94] for i in range(0, len(cells), 94)]
    text = '\n'.join(''.join(char for char, _ in row) for row in rows)
    output = b'\r\n'.join(b''.join(code for _, code in row) for row in rows)
    cases = [Case('all 7445 characters of GB2312', Out('--zeros', '0', 't.html'),
                  {'t.html': text}, status=0, output=output)]
    # GBK's own characters in GB2312's rows, and the two that glibc's GB2312 puts where GBK and
    # the browsers read the middle dot and the em dash.
    gbk_only = []
    for lead in range(0xA1, 0xF8):
        for trail in range(0xA1, 0xFF):
            code = bytes([lead, trail])
            try:
                char = code.decode('gbk')
            except UnicodeDecodeError:
                continue
            if char not in text and not 0xE000 <= ord(char) <= 0xF8FF:
                gbk_only.append(char)
    assert len(gbk_only) == 33, gbk_only
    for char in gbk_only + ['\u30fb', '\u2015', '堃', '€', 'ß', '\u00a0']:
        cases.append(Case(f'{char!r} (U+{ord(char):04X}) is refused',
                          Out('--zeros', '0', 't.html'), {'t.html': 'ok\n' + char + '\n'},
                          message=f't.html: line 2: "{char}" (U+{ord(char):04X}) is not a'))
    return cases


def RunTable(runner, cases):
    with tempfile.TemporaryDirectory(prefix='pagepack-test-') as root:
        for case in cases:
            runner.RunCase(case, root)
    return 1 if runner.failures else 0


def Mknod(path, major, minor):
    try:
        os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(major, minor))
        return True
    except OSError as error:
        print(f'cannot make a device node ({error}): skipped')
        return False


def FullDevice(runner):
    if not sys.platform.startswith('linux'):
        print('Linux devices only: skipped')
        return SKIP
    with tempfile.TemporaryDirectory(prefix='pagepack-test-') as root:
        with open(os.path.join(root, 't.html'), 'w') as file:
            file.write('<p>a page</p>\n')
        if not Mknod(os.path.join(root, 'full'), 1, 7) or not Mknod(
                os.path.join(root, 'null'), 1, 3):
            return SKIP
        before = Snapshot(root)
        status, stderr = runner.Run(['--out', 'full', '--zeros', '1', 't.html'], root)
        problem = runner.Outcome(Case('', [], message='cannot write full: No space left on device'),
                                 status, stderr, before, Snapshot(root))
        runner.Check('a full device fails the run and stays the device it was',
                     problem is None, problem)
        status, stderr = runner.Run(['--out', 'null', '--zeros', '1', 't.html'], root)
        runner.Check('a null device takes the page and stays the device it was',
                     status == 0 and Snapshot(root) == before, f'status {status}, {stderr!r}')
    return 1 if runner.failures else 0


def FileSystems(runner):
    if not sys.platform.startswith('linux') or os.geteuid() != 0:
        print('mounting needs root on Linux: skipped')
        return SKIP
    with tempfile.TemporaryDirectory(prefix='pagepack-test-') as root:
        sources = os.path.join(root, 'sources')
        mount = os.path.join(root, 'mount')
        os.mkdir(sources)
        os.mkdir(mount)
        small = os.path.join(sources, 'small.html')
        large = os.path.join(sources, 'large.html')
        with open(small, 'w') as file:
            file.write('<p>a page smaller than any stream buffer</p>\n')
        with open(large, 'w') as file:
            file.write('<p>a page larger than any stream buffer</p>\n' * 4096)
        result = subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=64k,mode=0755', 'tmpfs',
                                 mount], capture_output=True, text=True)
        if result.returncode != 0:
            print(f'cannot mount a tmpfs ({result.stderr.strip()}): skipped')
            return SKIP
        try:
            with open(os.path.join(mount, 'earlier.htm'), 'wb') as file:
                file.write(b'an earlier output')
            try:
                with open(os.path.join(mount, 'filler'), 'wb', buffering=0) as file:
                    while True:
                        file.write(b'\0' * 4096)
            except OSError:
                pass  # full
            before = Snapshot(mount)
            for source, out in [(small, 'new.htm'), (large, 'new.htm'),
                                (small, 'earlier.htm'), (large, 'earlier.htm')]:
                status, stderr = runner.Run(
                    ['--out', os.path.join(mount, out), '--zeros', '1', source], root)
                problem = runner.Outcome(
                    Case('', [], message=f'{out}: No space left on device'),
                    status, stderr, before, Snapshot(mount))
                runner.Check(f'a full file system: {os.path.basename(source)} as {out}',
                             problem is None, problem)
            os.remove(os.path.join(mount, 'filler'))
            subprocess.run(['mount', '-o', 'remount,ro', mount], check=True)
            before = Snapshot(mount)
            status, stderr = runner.Run(
                ['--out', os.path.join(mount, 'new.htm'), '--zeros', '1', small], root)
            problem = runner.Outcome(Case('', [], message='new.htm: Read-only file system'),
                                     status, stderr, before, Snapshot(mount))
            runner.Check('a read-only file system', problem is None, problem)
        finally:
            subprocess.run(['umount', mount], check=True)

        # A file with another mounted on it cannot be renamed over (EBUSY): the one failure that
        # comes only when the written page takes the output's place.
        busy = os.path.join(root, 'busy')
        os.mkdir(busy)
        with open(os.path.join(busy, 'page.htm'), 'wb') as file:
            file.write(b'an earlier output')
        with open(os.path.join(root, 'cover'), 'wb') as file:
            file.write(b'mounted on the output')
        subprocess.run(['mount', '--bind', os.path.join(root, 'cover'),
                        os.path.join(busy, 'page.htm')], check=True)
        try:
            before = Snapshot(busy)
            status, stderr = runner.Run(['--out', 'busy/page.htm', '--zeros', '1', small], root)
            problem = runner.Outcome(Case('', [], message='cannot write busy/page.htm: '),
                                     status, stderr, before, Snapshot(busy))
            runner.Check('an output that cannot be replaced', problem is None, problem)
        finally:
            subprocess.run(['umount', os.path.join(busy, 'page.htm')], check=True)
    return 1 if runner.failures else 0


def Page(runner, expected_path, args):
    with open(expected_path, 'rb') as file:
        expected = file.read()
    with tempfile.TemporaryDirectory(prefix='pagepack-test-') as root:
        status, stderr = runner.Run(['--out', 'page.htm'] + args, root)
        ok = status == 0 and os.listdir(root) == ['page.htm']
        if ok:
            with open(os.path.join(root, 'page.htm'), 'rb') as file:
                actual = file.read()
            ok = actual == expected
            detail = f'{len(actual)} bytes differ from the {len(expected)} of {expected_path}'
            if not ok:
                first = next((i for i, (a, b) in enumerate(zip(actual, expected)) if a != b),
                             min(len(actual), len(expected)))
                detail += f', first at byte {first}'
        else:
            detail = f'status {status}, files {os.listdir(root)}, stderr {stderr!r}'
        runner.Check(f'the bytes of {os.path.basename(expected_path)}', ok, detail)
    return 1 if runner.failures else 0


def main(argv):
    emulator = []
    while argv and argv[0] == '--emulator':
        emulator.append(argv[1])
        argv = argv[2:]
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    runner = Runner(emulator, os.path.abspath(argv[0]))
    group, rest = argv[1], argv[2:]
    if group == 'command_line':
        return RunTable(runner, CommandLineCases())
    if group == 'gb2312':
        return RunTable(runner, Gb2312Cases())
    if group == 'full_device':
        return FullDevice(runner)
    if group == 'file_systems':
        return FileSystems(runner)
    if group == 'page' and rest:
        return Page(runner, rest[0], rest[1:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
