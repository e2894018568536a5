'use strict';
// Drives the built calculator page in headless Chromium the way a user does: fields are filled or
// typed, buttons are clicked, alerts are read and dismissed, and what the calendars show is read
// back from the rendered document. Shared by the page tests; not a test itself.

const assert = require('node:assert/strict');
const { after, before } = require('node:test');
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const kChromiumArgs = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  // The side panel frames a remote widget: no test may reach any host.
  '--host-resolver-rules=MAP * ~NOTFOUND',
];

// The texts a user reads in the alerts, by the check that gives them.
const kAlert = {
  year: '请输入合法年份！',
  month: '请输入合法月份！',
  day: '请输入合法日期！',
  future: '请输入正确的上次月经时间(不能早于当前时间)！',
  number: '请输入数字！',
  range:
    '您输入的最短月经周期与标准月经周期相差太大，程序无法测试，请仔细核对。\n\n' +
    '如输入确无问题请咨询医生！',
  cycles: '输入错误，请仔细核对您的输入周期！',
};
const kAlertTexts = Object.values(kAlert);

// Day-number colours as the browser computes them, and the advice each phase's tooltip shows.
const kColour = {
  Menses: 'rgb(255, 153, 0)',
  Safe: 'rgb(0, 153, 51)',
  Danger: 'rgb(255, 51, 0)',
  Unclassified: 'rgb(0, 0, 255)',
};
const kAdvice = {
  Menses: '这是月经期，要注意经期卫生，当然也要“节欲”，避免性事哦！',
  Safe: '这是安全期，性事一般不会受孕，您放心吧！',
  Danger: '这是危险期，亦称排卵期，性事受孕可能性大，千万要注意哦！',
};

// The fields of the worked example: last period from Sunday 6 December 2026, a 28-day cycle.
const kExampleFields = {
  txtYear: '2026',
  txtMonth: '12',
  txtDay: '6',
  txtMinMensesCyc: '28',
  txtMaxMensesCyc: '28',
};

const kFieldNames = ['txtYear', 'txtMonth', 'txtDay', 'txtMinMensesCyc', 'txtMaxMensesCyc'];

// 12:00 on 7 December 2026 in Shanghai: a plain weekday noon, far from any date line.
const kNoonInShanghai = new Date('2026-12-07T04:00:00Z');

function BuiltPage(variable) {
  const file = process.env[variable];
  if (!file) throw new Error(`${variable} is not set; run the page tests through ctest`);
  return file;
}

function LaunchChromium() {
  return chromium.launch({
    executablePath: process.env.PLQ_CHROMIUM || '/usr/bin/chromium',
    args: kChromiumArgs,
  });
}

// One browser for the test file that calls this, started before its tests and closed after them.
// Returns an object whose `browser` is set once the tests run.
function UseChromium() {
  const chromium = {};
  before(async () => {
    chromium.browser = await LaunchChromium();
  });
  after(async () => {
    await chromium.browser?.close();
  });
  return chromium;
}

// Days in a month of the Gregorian calendar (month 1 to 12).
function MonthLength(year, month) {
  return new Date(Date.UTC(year, month, 0)).getUTCDate();
}

// Expands [[count, phase], ...] into one phase per day, day 1 first.
function PhaseRuns(runs) {
  return runs.flatMap(([count, phase]) => Array(count).fill(phase));
}

// The phase of day (year, month, day) for a last period beginning on `first` ([y, m, d]) and a cycle
// of n days: the first 5 days of each cycle are menses, the ovulation day lies 14 days before the
// next period, and it with the 5 days before and 4 after is the dangerous period.
function ExpectedPhase(first, [year, month, day], n) {
  const from = Date.UTC(first[0], first[1] - 1, first[2]);
  const days = Math.round((Date.UTC(year, month - 1, day) - from) / 864e5);
  const r = ((days % n) + n) % n;
  if (r <= 4) return 'Menses';
  const ovulation = n - 14;
  return r >= ovulation - 5 && r <= ovulation + 4 ? 'Danger' : 'Safe';
}

// ExpectedPhase for every day of one month.
function ExpectedMonth(first, year, month, n) {
  return Array.from({ length: MonthLength(year, month) }, (_, i) =>
    ExpectedPhase(first, [year, month, i + 1], n),
  );
}

// Runs in the page: what one calendar table shows. `table` may be missing.
function ReadCalendarInPage(id) {
  const table = document.getElementById(id);
  if (!table) return null;
  const rows = Array.prototype.slice.call(table.rows);
  const fonts = Array.prototype.slice.call(table.getElementsByTagName('font'));
  const days = fonts.map((font) => ({
    text: font.textContent,
    colour: getComputedStyle(font).color,
    anchored: font.parentElement.closest('a') !== null,
  }));
  let leading = -1;
  let trailing = -1;
  if (fonts.length > 0) {
    const first = fonts[0].closest('td');
    leading = first.cellIndex;
    const last = fonts[fonts.length - 1].closest('td');
    trailing = last.parentElement.cells.length - 1 - last.cellIndex;
  }
  return {
    count: document.querySelectorAll('[id="' + id + '"]').length,
    header: rows.length > 0 ? rows[0].textContent : '',
    weekdays: rows.length > 1 ? rows[1].textContent : '',
    days,
    leading,
    trailing,
    anchors: table.getElementsByTagName('a').length,
    html: table.outerHTML,
  };
}

// One page per time zone, reloaded for each use. `chromium` is what UseChromium returned.
class PagePool {
  constructor(chromium) {
    this.chromium = chromium;
    this.pages = new Map();
  }

  async In(timezoneId, now) {
    let page = this.pages.get(timezoneId);
    if (page) {
      await page.Load(now);
    } else {
      page = await CalculatorPage.Open(this.chromium.browser, { timezoneId, now });
      this.pages.set(timezoneId, page);
    }
    return page;
  }

  async Close() {
    for (const page of this.pages.values()) await page.Close().catch(() => {});
    this.pages.clear();
  }
}

class CalculatorPage {
  constructor(context, page) {
    this.context = context;
    this.page = page;
    this.alerts = [];
    this.errors = [];
  }

  // A fresh browser context in `timezoneId` whose clock stands still at `now` from before the
  // page's script runs, so `Today` and every later "now" read that instant.
  static async Open(browser, options = {}) {
    const { timezoneId = 'Asia/Shanghai', now = kNoonInShanghai, viewport } = options;
    const context = await browser.newContext({
      timezoneId,
      locale: 'zh-CN',
      viewport: viewport || { width: 800, height: 900 },
    });
    const page = await context.newPage();
    const session = new CalculatorPage(context, page);
    page.on('dialog', (dialog) => {
      session.alerts.push(dialog.type() === 'alert' ? dialog.message() : `${dialog.type()}!`);
      dialog.accept().catch(() => {});
    });
    page.on('pageerror', (error) => session.errors.push(`pageerror: ${error.message}`));
    page.on('console', (message) => {
      if (message.type() === 'error') session.errors.push(`console: ${message.text()}`);
    });
    await session.Load(now);
    return session;
  }

  // Loads the page afresh with the clock standing at `now` (cheaper than a new context, whose
  // renderer takes most of a second to start here).
  async Load(now) {
    await this.page.clock.setFixedTime(now);
    await this.page.goto(pathToFileURL(BuiltPage('PLQ_CALCULATOR_PAGE')).href);
  }

  Close() {
    return this.context.close();
  }

  SetClock(now) {
    return this.page.clock.setFixedTime(now);
  }

  // Sets field texts directly (fast, and not limited by maxlength).
  Fill(fields) {
    return this.page.evaluate((values) => {
      const form = document.forms.frmInput;
      for (const name of Object.keys(values)) form.elements[name].value = values[name];
    }, fields);
  }

  // Types into a field with the keyboard as a user does, after clearing it.
  async Type(name, text) {
    const field = this.page.locator(`form[name="frmInput"] input[name="${name}"]`);
    await field.click();
    await this.page.keyboard.press('Control+A');
    await this.page.keyboard.press('Delete');
    if (text) await this.page.keyboard.type(text);
  }

  Fields() {
    return this.page.evaluate((names) => {
      const form = document.forms.frmInput;
      const values = {};
      for (const name of names) values[name] = form.elements[name].value;
      return values;
    }, kFieldNames);
  }

  Focus() {
    return this.page.evaluate(() => {
      const element = document.activeElement;
      return element ? element.name || element.tagName : null;
    });
  }

  // Clicks a button by its label; returns the alerts it raised and where the focus went after.
  async Press(label) {
    const before = this.alerts.length;
    // By the label shown on the button (getByRole is three times slower here).
    await this.page.locator(`form[name="frmInput"] input[value="${label}"]`).click();
    const focus = await this.Focus();
    return { alerts: this.alerts.slice(before), focus };
  }

  Calendar(index) {
    return this.page.evaluate(ReadCalendarInPage, `Calendar${index}`);
  }

  // Tags both calendar tables, so a later call tells whether they were replaced since.
  MarkCalendars() {
    return this.page.evaluate(() => {
      window.plqMarkedCalendars = [1, 2].map((i) => document.getElementById(`Calendar${i}`));
    });
  }

  CalendarsReplaced() {
    return this.page.evaluate(() =>
      window.plqMarkedCalendars.map((old, i) => document.getElementById(`Calendar${i + 1}`) !== old),
    );
  }

  AssertNoScriptErrors() {
    assert.deepEqual(this.errors, [], 'the page reported script errors');
  }
}

// Header text with runs of white space made one space, as a reader sees it.
function Squeeze(text) {
  return text.replace(/\s+/g, ' ').trim();
}

// Checks a calendar drawn with phases: its month, its shape and one phase colour per day.
function AssertPhasedCalendar(calendar, { header, days, leading, trailing, phases }) {
  assert.ok(calendar, 'the calendar is missing');
  assert.equal(calendar.count, 1, 'exactly one table carries the calendar id');
  if (header !== undefined) assert.equal(Squeeze(calendar.header), header);
  assert.equal(calendar.days.length, days, 'day numbers shown');
  assert.deepEqual(
    calendar.days.map((day) => day.text),
    Array.from({ length: days }, (_, i) => String(i + 1)),
  );
  if (leading !== undefined) assert.equal(calendar.leading, leading, 'empty cells before day 1');
  if (trailing !== undefined) assert.equal(calendar.trailing, trailing, 'empty cells at the end');
  assert.equal(calendar.anchors, days, 'every day number is an anchor');
  if (phases) {
    assert.deepEqual(
      calendar.days.map((day) => day.colour),
      phases.map((phase) => kColour[phase]),
    );
  } else {
    for (const day of calendar.days) {
      assert.ok(
        [kColour.Menses, kColour.Safe, kColour.Danger].includes(day.colour),
        `day ${day.text} has no phase colour (${day.colour})`,
      );
    }
  }
}

// Checks a calendar drawn at start-up: every day blue, no anchors.
function AssertPlainCalendar(calendar, { header, days, leading, trailing }) {
  assert.ok(calendar, 'the calendar is missing');
  assert.equal(calendar.count, 1, 'exactly one table carries the calendar id');
  assert.equal(Squeeze(calendar.header), header);
  assert.equal(Squeeze(calendar.weekdays), '日一二三四五六');
  assert.deepEqual(
    calendar.days.map((day) => day.text),
    Array.from({ length: days }, (_, i) => String(i + 1)),
  );
  for (const day of calendar.days) assert.equal(day.colour, kColour.Unclassified);
  assert.equal(calendar.anchors, 0, 'no anchors before a calculation');
  if (leading !== undefined) assert.equal(calendar.leading, leading, 'empty cells before day 1');
  if (trailing !== undefined) assert.equal(calendar.trailing, trailing, 'empty cells at the end');
}

module.exports = {
  AssertPhasedCalendar,
  AssertPlainCalendar,
  BuiltPage,
  CalculatorPage,
  ExpectedMonth,
  ExpectedPhase,
  LaunchChromium,
  MonthLength,
  PagePool,
  PhaseRuns,
  Squeeze,
  UseChromium,
  kAdvice,
  kAlert,
  kAlertTexts,
  kChromiumArgs,
  kColour,
  kExampleFields,
  kFieldNames,
  kNoonInShanghai,
};
