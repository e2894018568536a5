'use strict';
// Loads the page script into a fresh vm context, as the page's script block would run it, with a
// fake in place of the engine access layer (engine.js), which is the one file that touches a real
// document.

const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');
const { FakeEngine } = require('./fake_engine.js');

const repo = path.resolve(__dirname, '..', '..');

// The inline order of the page's scripts, as the page build takes it.
function ScriptFiles() {
  const list = fs.readFileSync(path.join(repo, 'calculator', 'scripts.cmake'), 'utf8');
  return [...list.matchAll(/\/([a-z_]+\.js)"/g)].map((match) => match[1]);
}

// A freshly loaded page: `page` is the script's global scope, `engine` the fake it talks to.
function LoadPage(options) {
  const engine = new FakeEngine(options);
  const page = vm.createContext({ PageEngine: engine });
  for (const file of ScriptFiles()) {
    if (file === 'engine.js') continue;
    const source = fs.readFileSync(path.join(repo, 'calculator', file), 'utf8');
    vm.runInContext(source, page, { filename: file });
  }
  return { page, engine };
}

// The 00:00 UTC instant of a date written "YYYY-MM-DD".
function Instant(text) {
  return Date.parse(`${text}T00:00:00Z`);
}

module.exports = { LoadPage, FakeEngine, Instant, ScriptFiles, repo };
