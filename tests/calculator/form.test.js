'use strict';
// Start-up and the seven checks of DisplayCalendar, against a fake engine that records what the
// page asks of the document: alerts, focus, field writes and calendar placements.

const test = require('node:test');
const assert = require('node:assert/strict');
const { LoadPage } = require('./page_script.js');

const kYear = '请输入合法年份！';
const kMonth = '请输入合法月份！';
const kDay = '请输入合法日期！';
const kFuture = '请输入正确的上次月经时间(不能早于当前时间)！';
const kNumber = '请输入数字！';
const kRange = '您输入的最短月经周期与标准月经周期相差太大，程序无法测试，请仔细核对。\n\n' +
               '如输入确无问题请咨询医生！';
const kCycles = '输入错误，请仔细核对您的输入周期！';

const kFocus = { [kYear]: 'txtYear', [kMonth]: 'txtMonth', [kDay]: 'txtDay',
                 [kFuture]: 'txtYear', [kNumber]: 'txtMinMensesCyc',
                 [kRange]: 'txtMinMensesCyc', [kCycles]: 'txtMaxMensesCyc' };

// Local time, so the cases mean the same in every time zone the tests run in.
const kNoon7December2026 = new Date(2026, 11, 7, 12, 0, 0);

const kValid = { txtYear: '2026', txtMonth: '12', txtDay: '6', txtMinMensesCyc: '28',
                 txtMaxMensesCyc: '28' };

// Runs DisplayCalendar once on `fields` over the valid ones; the result says what the user saw.
function Press(fields, now = kNoon7December2026) {
  const { page, engine } = LoadPage({ now, fields: { ...kValid, ...fields } });
  const before = { ...engine.fields };
  const result = page.DisplayCalendar();
  assert.deepEqual(engine.fields, before, 'no field text changes');
  return { result, calls: engine.calls, page };
}

function AssertRefused(fields, message, now, label = '') {
  const { result, calls } = Press(fields, now);
  const what = `${label} ${JSON.stringify(fields)}`;
  assert.deepEqual(calls, [['ShowAlert', message], ['FocusField', kFocus[message]]], what);
  assert.equal(result, false, what);
}

function AssertDrawn(fields, now, label = '') {
  const { result, calls } = Press(fields, now);
  const what = `${label} ${JSON.stringify(fields)}`;
  assert.deepEqual(calls.map((call) => call.slice(0, 2)),
                   [['ReplaceElement', 'Calendar1'], ['ReplaceElement', 'Calendar2']], what);
  assert.ok(calls[0][2].startsWith('<table border=0 cellspacing=0 cellpadding=3 id=Calendar1>'));
  assert.ok(calls[1][2].startsWith('<table border=0 cellspacing=0 cellpadding=3 id=Calendar2>'));
  assert.ok(calls[0][2].includes('id="tooltip41"'), `${what}: drawn with phases`);
  assert.equal(result, undefined, what);
  return calls;
}

// [fields, message or null for two drawn calendars, what the case shows]
const kChecks = [
  [{}, null, 'valid input'],
  // Step 1: the year.
  [{ txtYear: '' }, kYear, 'empty reads as 0'],
  [{ txtYear: '   ' }, kYear, 'white space reads as 0'],
  [{ txtYear: '1899' }, kYear, 'below 1900'],
  [{ txtYear: '1900' }, null, '1900 passes'],
  [{ txtYear: '２０２６' }, kYear, 'full-width digits'],
  [{ txtYear: '0x7EA' }, kYear, 'hexadecimal is no number'],
  [{ txtYear: 'Infinity' }, kYear, 'Infinity is no number'],
  [{ txtYear: '2e3' }, null, '2e3 is the year 2000'],
  [{ txtYear: ' 2026 ' }, null, 'white space around'],
  // Step 2: the month.
  [{ txtMonth: '' }, kMonth, 'empty'],
  [{ txtMonth: '0' }, kMonth, 'month 0'],
  [{ txtMonth: '13' }, kMonth, 'month 13'],
  [{ txtMonth: '１２' }, kMonth, 'full-width digits'],
  [{ txtMonth: '08', txtDay: '31' }, null, 'leading zero: August'],
  [{ txtMonth: '.5e1' }, kMonth, 'numerically 5, but names no month'],
  [{ txtMonth: '0.1e2' }, kMonth, 'numerically 10, but its whole number is 0'],
  // Step 3: the day, in the month the integer value names.
  [{ txtDay: '' }, kDay, 'empty'],
  [{ txtDay: '0' }, kDay, 'day 0'],
  [{ txtDay: '32' }, kDay, 'day 32 in December'],
  [{ txtDay: '31.5' }, kDay, 'above 31'],
  [{ txtDay: '6.9' }, null, 'a fraction of a day'],
  [{ txtMonth: '4', txtDay: '31' }, kDay, '31 April'],
  [{ txtMonth: '2', txtDay: '30', txtYear: '2024' }, kDay, '30 February'],
  [{ txtMonth: '2', txtDay: '29', txtYear: '2024' }, null, '29 February 2024'],
  [{ txtMonth: '2', txtDay: '29', txtYear: '2000' }, null, '29 February 2000'],
  [{ txtMonth: '2', txtDay: '29', txtYear: '2023' }, kDay, '29 February 2023'],
  [{ txtMonth: '2', txtDay: '29', txtYear: '1900' }, kDay, '29 February 1900'],
  [{ txtMonth: '2', txtDay: '29', txtYear: '2100' }, kDay, '29 February 2100: step 3 first'],
  [{ txtDay: '６' }, kDay, 'full-width digits'],
  [{ txtMonth: '2.5', txtDay: '31' }, kDay, 'month 2.5 is February: no 31st'],
  [{ txtMonth: '2.5', txtDay: '28' }, null, 'month 2.5 is February'],
  // Step 4: no date after today's local date.
  [{ txtDay: '7' }, null, 'today'],
  [{ txtDay: '8' }, kFuture, 'tomorrow'],
  [{ txtYear: '2027', txtMonth: '1', txtDay: '1' }, kFuture, 'next year'],
  [{ txtYear: '9e99' }, kFuture, 'a year with no date value'],
  [{ txtYear: '1e400' }, kFuture, 'an infinite year'],
  // Step 5: the shortest cycle is a number, with a whole number at its start.
  [{ txtMinMensesCyc: 'ab' }, kNumber, 'letters'],
  [{ txtMinMensesCyc: '28x' }, kNumber, 'trailing letter'],
  [{ txtMinMensesCyc: '２８' }, kNumber, 'full-width digits'],
  [{ txtMinMensesCyc: '' }, kNumber, 'empty: no whole number'],
  [{ txtMinMensesCyc: '  ' }, kNumber, 'white space only'],
  [{ txtMinMensesCyc: '.5' }, kNumber, 'fraction without a leading digit'],
  [{ txtMinMensesCyc: '+' }, kNumber, 'a sign alone'],
  // Step 6: 24 to 40 days.
  [{ txtMinMensesCyc: '23' }, kRange, '23'],
  [{ txtMinMensesCyc: '24' }, null, '24'],
  [{ txtMinMensesCyc: '40', txtMaxMensesCyc: '40' }, null, '40'],
  [{ txtMinMensesCyc: '41' }, kRange, '41'],
  [{ txtMinMensesCyc: '4e1' }, kRange, 'whole number 4'],
  [{ txtMinMensesCyc: '28.9' }, null, 'whole number 28'],
  // Step 7: the longest cycle.
  [{ txtMaxMensesCyc: 'ab' }, kCycles, 'letters'],
  [{ txtMaxMensesCyc: '27' }, kCycles, 'below the shortest'],
  [{ txtMaxMensesCyc: '1e9' }, kCycles, 'whole number 1'],
  [{ txtMaxMensesCyc: '28' }, null, 'equal'],
  [{ txtMaxMensesCyc: '99' }, null, '99'],
  [{ txtMaxMensesCyc: '' }, null, 'empty: no whole number to compare'],
  [{ txtMaxMensesCyc: '.5' }, null, 'no whole number to compare'],
  // Only the first refusal is reported.
  [{ txtYear: '', txtMinMensesCyc: '50' }, kYear, 'year before the cycle'],
  [{ txtYear: '', txtMonth: '13', txtDay: '40' }, kYear, 'year before month and day'],
  [{ txtMonth: '0', txtDay: '0' }, kMonth, 'month before day'],
  [{ txtDay: '8', txtMinMensesCyc: 'ab' }, kFuture, 'date before cycle'],
  [{ txtMinMensesCyc: '50', txtMaxMensesCyc: 'ab' }, kRange, 'shortest before longest'],
  // The fields as "重新输入" leaves them.
  [{ txtYear: '', txtMonth: '', txtDay: '' }, kYear, 'after reset'],
];

test('DisplayCalendar: each check, its message and its field', () => {
  for (const [fields, message, what] of kChecks) {
    if (message === null) {
      AssertDrawn(fields, kNoon7December2026, what);
    } else {
      AssertRefused(fields, message, kNoon7December2026, what);
    }
  }
});

test('the future-date check compares with the local date at the time of the check', () => {
  const midJune = new Date(2026, 5, 15, 0, 5, 0);
  const cases = [
    [{ txtYear: '2026', txtMonth: '6', txtDay: '15' }, null],
    [{ txtYear: '2026', txtMonth: '6', txtDay: '16' }, kFuture],
    [{ txtYear: '2026', txtMonth: '7', txtDay: '1' }, kFuture],
    [{ txtYear: '2026', txtMonth: '05', txtDay: '31' }, null],
    [{ txtYear: '2025', txtMonth: '12', txtDay: '31' }, null],
    [{ txtYear: '2026.9', txtMonth: '6', txtDay: '15' }, null],
    [{ txtYear: '2026', txtMonth: '6.9', txtDay: '15.9' }, null],
  ];
  for (const [fields, message] of cases) {
    if (message === null) {
      AssertDrawn(fields, midJune);
    } else {
      AssertRefused(fields, message, midJune);
    }
  }
});

test('a page left open past midnight accepts the new day and fills in the day it loaded', () => {
  const { page, engine } = LoadPage({ now: new Date(2026, 11, 6, 23, 50, 0) });
  page.InitialCalendar();
  assert.equal(engine.fields.txtDay, '6');
  engine.now = new Date(2026, 11, 7, 0, 10, 0);
  engine.fields.txtDay = '7';
  engine.calls = [];
  page.DisplayCalendar();
  assert.deepEqual(engine.calls.map((call) => call[0]), ['ReplaceElement', 'ReplaceElement']);
  engine.fields.txtDay = '8';
  engine.calls = [];
  assert.equal(page.DisplayCalendar(), false);
  assert.deepEqual(engine.calls, [['ShowAlert', kFuture], ['FocusField', 'txtYear']]);
  // Start-up still shows the day the page loaded.
  engine.calls = [];
  page.InitialCalendar();
  assert.equal(engine.fields.txtDay, '6');
});

test('the longest cycle never changes the calendars', () => {
  const drawn = AssertDrawn({ txtMaxMensesCyc: '28' });
  for (const longest of ['99', '', '40']) {
    assert.deepEqual(AssertDrawn({ txtMaxMensesCyc: longest }), drawn, longest);
  }
  assert.notDeepEqual(AssertDrawn({ txtMinMensesCyc: '30', txtMaxMensesCyc: '30' }), drawn);
});

test('the calendars drawn are those of the entered date with the shortest cycle', () => {
  const { page, engine } = LoadPage({ now: kNoon7December2026, fields: kValid });
  page.DisplayCalendar();
  const [first, second] = engine.calls;
  page.GetCalendarOuterHTML(1, 1);
  assert.equal(first[2], page.CalendarOuterHTML);
  page.GetCalendarOuterHTML(2, 1);
  assert.equal(second[2], page.CalendarOuterHTML);
  assert.ok(second[2].includes('>2027 年 1 月<'));
  // Two calculations in a row each place both calendars again.
  engine.calls = [];
  page.DisplayCalendar();
  assert.deepEqual(engine.calls.map((call) => call.slice(0, 2)),
                   [['ReplaceElement', 'Calendar1'], ['ReplaceElement', 'Calendar2']]);
});

test('InitialCalendar fills in the local date of the load, draws plain calendars, focuses', () => {
  const loaded = new Date(2026, 2, 5, 9, 30, 0);
  const { page, engine } = LoadPage({ now: loaded });
  // The clock moves on; the page keeps the instant its script ran.
  engine.now = new Date(2026, 3, 20, 9, 30, 0);
  page.InitialCalendar();
  const calls = engine.calls;
  assert.deepEqual(calls.slice(0, 3), [['SetFieldText', 'txtYear', '2026'],
                                      ['SetFieldText', 'txtMonth', '3'],
                                      ['SetFieldText', 'txtDay', '5']]);
  assert.deepEqual(calls.slice(3).map((call) => call.slice(0, 2)),
                   [['ReplaceElement', 'Calendar1'], ['ReplaceElement', 'Calendar2'],
                    ['FocusField', 'btnCalculate']]);
  assert.ok(calls[3][2].includes('>2026 年 3 月<'));
  assert.ok(calls[4][2].includes('>2026 年 4 月<'));
  for (const [, , markup] of calls.slice(3, 5)) {
    assert.ok(!markup.includes('tooltip'), 'plain: no tooltips');
    assert.equal(markup.match(/COLOR="blue"/g).length, markup.match(/<FONT/g).length);
  }
  assert.equal(engine.fields.txtMinMensesCyc, '28');
  assert.equal(engine.fields.txtMaxMensesCyc, '28');
  assert.equal(page.Today.getTime(), loaded.getTime());
});

test('start-up writes the date without leading zeros, across the year end', () => {
  const { page, engine } = LoadPage({ now: new Date(2026, 11, 31, 23, 59, 59) });
  page.InitialCalendar();
  assert.deepEqual([engine.fields.txtYear, engine.fields.txtMonth, engine.fields.txtDay],
                   ['2026', '12', '31']);
  assert.ok(engine.calls[4][2].includes('>2027 年 1 月<'));
});

// A small deterministic generator, so a failure can be reproduced.
function Random(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state * 1664525 + 1013904223) >>> 0;
    return state / 4294967296;
  };
}

test('bad input: no crash, no field changed, only a checked year in the markup', () => {
  const pieces = ['2026', '12', '6', '28', '0', '1', '9', '08', '.', '+', '-', 'e', 'E', '2e3',
                  '9e99', '0x1A', 'Infinity', '２０', ' ', '\u3000', '\u00a0', '\t', '\n',
                  '\u2028', '\uFEFF', '<b>', '</TABLE>', '"', "'", '\\',
                  '<script>alert(1)</script>',
                  'javascript:', '&amp;', '%', '${x}', '1'.repeat(400), 'x'.repeat(5000)];
  const random = Random(20261207);
  const pick = () => {
    let text = '';
    const count = Math.floor(random() * 4);
    for (let i = 0; i < count; i++) text += pieces[Math.floor(random() * pieces.length)];
    return text;
  };
  const messages = new Set(Object.keys(kFocus));
  let drawn = 0;
  for (let run = 0; run < 2000; run++) {
    const fields = {};
    for (const name of Object.keys(kValid)) fields[name] = random() < 0.5 ? kValid[name] : pick();
    const { calls } = Press(fields);
    if (calls.length === 2 && calls[0][0] === 'ShowAlert') {
      assert.ok(messages.has(calls[0][1]), JSON.stringify(fields));
      assert.deepEqual(calls[1], ['FocusField', kFocus[calls[0][1]]]);
      continue;
    }
    drawn++;
    assert.deepEqual(calls.map((call) => call.slice(0, 2)),
                     [['ReplaceElement', 'Calendar1'], ['ReplaceElement', 'Calendar2']],
                     JSON.stringify(fields));
    const markup = calls[0][2] + calls[1][2];
    const what = `${JSON.stringify(fields)} reached the markup`;
    for (const marker of ['<b>', '<script', 'javascript:', '&', '${', '\\', 'xxxxx', '２']) {
      assert.ok(!markup.includes(marker), `${marker} of ${what}`);
    }
    // Quotes only delimit the page's own attributes: ten double-quoted attributes and one
    // single-quoted tip per day.
    const days = markup.split('<FONT').length - 1;
    assert.equal(markup.split('"').length - 1, 20 * days, `a double quote of ${what}`);
    assert.equal(markup.split("'").length - 1, 2 * days, `a single quote of ${what}`);
    // The year shows as typed, and it is one that step 1 accepted.
    const header = calls[0][2].match(/align=center>([^<]*) 年 /)[1];
    assert.equal(header, fields.txtYear);
    assert.ok(Number(header.replace(/^[\s\uFEFF]+|[\s\uFEFF]+$/g, '')) >= 1900, what);
  }
  assert.ok(drawn > 100, `only ${drawn} of 2000 runs passed the checks`);
});
