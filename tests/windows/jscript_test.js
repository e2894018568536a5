'use strict';
// The page's script on the language of the Windows program's engine: the script block of the
// built page, as the WebBrowser control hands it over, runs on Wine's JScript at the old
// engine's version (jscript_host.exe), and the calculator's sources run on node; both run the
// cases of jscript_cases.js and must print the same lines. A failure prints the first line that
// differs. Each run under Wine has a time zone of its own (TZ); start-up must fill in a date that
// passes and refuse the day after it in each of them.
//
// Settings from the environment (CTest): PLQ_WINE_RUN, PLQ_WINEPREFIX, PLQ_JSCRIPT_HOST,
// PLQ_CALCULATOR_PAGE. Exit status 77 (skipped) without Wine.

const { execFile, execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const vm = require('node:vm');
const { LoadPage, ScriptFiles, repo } = require('../calculator/page_script.js');
const { FakeEngine } = require('../calculator/fake_engine.js');

const kCases = path.join(__dirname, 'jscript_cases.js');
const kStandin = path.join(__dirname, 'ie_standin.js');
const kFake = path.join(repo, 'tests', 'calculator', 'fake_engine.js');
const kFuture = '请输入正确的上次月经时间(不能早于当前时间)！';

// 23:30 UTC on 6 December 2026 and 01:00 UTC on the 7th, which fall on either date depending on
// the zone, and the instant the test runs.
const kInstants = [Date.UTC(2026, 11, 6, 23, 30), Date.UTC(2026, 11, 7, 1, 0), Date.now()];
const kZones = ['Asia/Shanghai', 'UTC', 'America/New_York', 'Pacific/Kiritimati',
                'Pacific/Pago_Pago', 'Australia/Lord_Howe'];

// before: the scripts JScript runs before the page's; node: the page node runs (with the fake
// engine, or engine.js on the stand-in; none for start-up, which is judged by what it did).
const kRuns = [
  { what: 'form', zone: 'Asia/Shanghai', before: [kFake], node: 'fake', call: 'RunForm()' },
  { what: 'engine', zone: 'Asia/Shanghai', before: [kStandin], node: 'standin',
    call: 'RunEnginePaths()' },
  ...kZones.map((zone) => ({ what: `start-up in ${zone}`, zone, before: [kFake], node: null,
                             call: `RunStartup([${kInstants.join(', ')}])` })),
];

function OnNode({ zone, node, call }) {
  process.env.TZ = zone;
  let context;
  if (node === 'standin') {
    context = vm.createContext({});
    for (const file of [kStandin, ...ScriptFiles().map((f) => path.join(repo, 'calculator', f))]) {
      vm.runInContext(fs.readFileSync(file, 'utf8'), context, { filename: file });
    }
  } else {
    context = LoadPage().page;
    context.FakeEngine = FakeEngine;
  }
  vm.runInContext(fs.readFileSync(kCases, 'utf8'), context, { filename: kCases });
  return vm.runInContext(call, context).split('\n');
}

// Wine's drive Z: is the root of the file system.
function WindowsPath(file) {
  return `Z:${file.replace(/\//g, '\\')}`;
}

function OnJScript({ zone, before, call }, output) {
  const files = [...before, process.env.PLQ_CALCULATOR_PAGE, kCases].map(WindowsPath);
  return new Promise((resolve) => {
    execFile(process.env.PLQ_WINE_RUN,
             [process.env.PLQ_JSCRIPT_HOST, WindowsPath(output), `Host.Print(${call})`, ...files],
             { env: { ...process.env, TZ: zone }, timeout: 45000 }, (error, stdout, stderr) => {
               const text = fs.existsSync(output) ? fs.readFileSync(output, 'utf8') : '';
               const lines = text.replace(/\n$/, '').split('\n');
               resolve({ status: error ? error.code ?? error.signal : 0, stderr, lines });
             });
  });
}

// The first line that differs, after the case it belongs to.
function FirstDifference(what, expected, actual) {
  const length = Math.max(expected.length, actual.length);
  for (let i = 0; i < length; i++) {
    if (expected[i] !== actual[i]) {
      const last = expected.slice(0, i).reverse().find((line) => line.startsWith('case ')) || '';
      return `${what}, line ${i + 1}, ${last}\n  node:    ${expected[i]}\n` +
             `  JScript: ${actual[i]}`;
    }
  }
  return null;
}

// Start-up filled in a date, the date passed, the day after it was refused.
function StartupFailure(what, lines) {
  const today = lines.filter((line) => line.startsWith('today: '));
  const tomorrow = lines.filter((line) => line.startsWith('tomorrow: '));
  const refused = `tomorrow: ShowAlert,${kFuture} / FocusField,txtYear`;
  if (today.length !== kInstants.length || today.some((line) => line !== 'today: drawn') ||
      tomorrow.some((line) => line !== refused)) {
    const summary = lines.filter((line) => /^(case|filled in|today|tomorrow)/.test(line));
    return `${what}: start-up's date or the next day went wrong:\n${summary.join('\n')}`;
  }
  return null;
}

async function Main() {
  for (const variable of ['PLQ_WINE_RUN', 'PLQ_JSCRIPT_HOST', 'PLQ_CALCULATOR_PAGE']) {
    if (!process.env[variable]) throw new Error(`${variable} is not set`);
  }
  try {
    execFileSync('wine', ['--version'], { stdio: 'ignore' });
  } catch {
    console.log('SKIP: no wine');
    return 77;
  }
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'plqcalc-jscript-'));
  try {
    const started = Date.now();
    const jscript = await Promise.all(
        kRuns.map((run, i) => OnJScript(run, path.join(work, `run${i}.txt`))));
    const failures = [];
    kRuns.forEach((run, i) => {
      const { status, stderr, lines } = jscript[i];
      let failure;
      if (status !== 0) {
        failure = `${run.what}: exit status ${status} ${stderr}\n${lines[lines.length - 1]}`;
      } else if (run.node) {
        failure = FirstDifference(run.what, OnNode(run), lines);
      } else {
        failure = StartupFailure(run.what, lines);
      }
      if (failure) failures.push(failure);
      console.log(`${run.what}: ${lines.length} lines`);
    });
    console.log(`JScript under Wine: ${kRuns.length} runs in ${Date.now() - started} ms`);
    for (const failure of failures) console.log(`FAIL: ${failure}`);
    return failures.length === 0 ? 0 : 1;
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
}

Main().then((status) => { process.exitCode = status; },
            (error) => { console.error(error); process.exitCode = 1; });
