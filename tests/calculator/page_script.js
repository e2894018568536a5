'use strict';
// Loads the page script into a fresh vm context, as the page's script block would run it, with a
// fake in place of the engine access layer (engine.js), which is the one file that touches a real
// document.

const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');

const repo = path.resolve(__dirname, '..', '..');

// The inline order of the page's scripts, as the page build takes it.
function ScriptFiles() {
  const list = fs.readFileSync(path.join(repo, 'calculator', 'scripts.cmake'), 'utf8');
  return [...list.matchAll(/\/([a-z_]+\.js)"/g)].map((match) => match[1]);
}

const kFieldNames = ['txtYear', 'txtMonth', 'txtDay', 'txtMinMensesCyc', 'txtMaxMensesCyc'];

// Records every call the page makes, in order, and answers from plain values the test sets.
class FakeEngine {
  constructor({ now, fields = {} } = {}) {
    this.now = now === undefined ? new Date(2026, 11, 7, 12, 0, 0) : now;
    this.fields = { txtYear: '', txtMonth: '', txtDay: '', txtMinMensesCyc: '28',
                    txtMaxMensesCyc: '28', ...fields };
    this.calls = [];
    this.readyState = 'complete';
    this.scroll = { left: 0, top: 0 };
  }

  Field(name) {
    if (!kFieldNames.includes(name)) throw new Error(`no text field ${name}`);
    return name;
  }

  GetFieldText(name) { return this.fields[this.Field(name)]; }
  SetFieldText(name, text) {
    this.calls.push(['SetFieldText', this.Field(name), text]);
    this.fields[name] = text;
  }
  FocusField(name) { this.calls.push(['FocusField', name]); }
  ReplaceElement(id, markup) { this.calls.push(['ReplaceElement', id, markup]); }
  SetInnerMarkup(id, markup) { this.calls.push(['SetInnerMarkup', id, markup]); }
  MoveElement(id, left, top) { this.calls.push(['MoveElement', id, left, top]); }
  ShowElement(id, visible) { this.calls.push(['ShowElement', id, visible]); }
  GetPointerX(e) { return e.clientX; }
  GetPointerY(e) { return e.clientY; }
  GetScrollLeft() { return this.scroll.left; }
  GetScrollTop() { return this.scroll.top; }
  IsDocumentComplete() { return this.readyState === 'complete'; }
  ShowAlert(message) { this.calls.push(['ShowAlert', message]); }
  GetCurrentInstant() { return new Date(this.now.getTime()); }
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
