'use strict';
// The calculator form in Chromium as a user meets it: start-up, each refusal with its alert and
// the field that gets the focus, reset, both calculate buttons, and repeated calculations.

const assert = require('node:assert/strict');
const { describe, test } = require('node:test');
const {
  AssertPhasedCalendar,
  AssertPlainCalendar,
  CalculatorPage,
  UseChromium,
  MonthLength,
  kAlert,
  kFieldNames,
  kExampleFields,
} = require('./calculator_page.js');

const chromium = UseChromium();

// Every case starts from this valid input and changes some fields. The clock stands at 12:00 on
// 7 December 2026 in Shanghai.
const kBase = kExampleFields;

// Each row: the fields changed from kBase, then either the alert and the focused field, or the
// headers of the two calendars drawn.
const kRefused = (alert, focus) => ({ alert: kAlert[alert], focus });
const kDrawn = (first, second) => ({ drawn: [first, second] });
const kCases = [
  // Year.
  [{ txtYear: '' }, kRefused('year', 'txtYear')],
  [{ txtYear: '1899' }, kRefused('year', 'txtYear')],
  [{ txtYear: '２０２６' }, kRefused('year', 'txtYear')],
  [{ txtYear: 'abcd' }, kRefused('year', 'txtYear')],
  [{ txtYear: '0x7EA' }, kRefused('year', 'txtYear')],
  [{ txtYear: 'Infinity' }, kRefused('year', 'txtYear')],
  [{ txtYear: '1900', txtMonth: '1', txtDay: '1' }, kDrawn('1900 年 1 月', '1900 年 2 月')],
  [{ txtYear: '2e3', txtMonth: '2', txtDay: '29' }, kDrawn('2e3 年 2 月', '2e3 年 3 月')],
  [{ txtYear: ' 2025 ', txtMonth: '12' }, kDrawn('2025 年 12 月', '2026 年 1 月')],
  // Month.
  [{ txtMonth: '' }, kRefused('month', 'txtMonth')],
  [{ txtMonth: '0' }, kRefused('month', 'txtMonth')],
  [{ txtMonth: '13' }, kRefused('month', 'txtMonth')],
  [{ txtMonth: '-1' }, kRefused('month', 'txtMonth')],
  [{ txtMonth: '１２' }, kRefused('month', 'txtMonth')],
  [{ txtMonth: '0x1' }, kRefused('month', 'txtMonth')],
  [{ txtMonth: '08', txtDay: '31' }, kDrawn('2026 年 8 月', '2026 年 9 月')],
  // Day.
  [{ txtDay: '' }, kRefused('day', 'txtDay')],
  [{ txtDay: '0' }, kRefused('day', 'txtDay')],
  [{ txtDay: '32' }, kRefused('day', 'txtDay')],
  [{ txtDay: '０６' }, kRefused('day', 'txtDay')],
  [{ txtMonth: '4', txtDay: '31' }, kRefused('day', 'txtDay')],
  [{ txtMonth: '2', txtDay: '30' }, kRefused('day', 'txtDay')],
  [{ txtYear: '2023', txtMonth: '2', txtDay: '29' }, kRefused('day', 'txtDay')],
  [{ txtYear: '1900', txtMonth: '2', txtDay: '29' }, kRefused('day', 'txtDay')],
  [{ txtYear: '2100', txtMonth: '2', txtDay: '29' }, kRefused('day', 'txtDay')],
  [{ txtYear: '2024', txtMonth: '2', txtDay: '29' }, kDrawn('2024 年 2 月', '2024 年 3 月')],
  [{ txtYear: '2000', txtMonth: '2', txtDay: '29' }, kDrawn('2000 年 2 月', '2000 年 3 月')],
  // A fractional month counts by its whole part for the month's length: 2.5 is February.
  [{ txtMonth: '2.5', txtDay: '31' }, kRefused('day', 'txtDay')],
  [{ txtMonth: '2.5', txtDay: '29' }, kRefused('day', 'txtDay')],
  [{ txtMonth: '2.5', txtDay: '28' }, kDrawn('2026 年 2 月', '2026 年 3 月')],
  // A date after today, whichever field makes it late; the focus goes to the year.
  [{ txtDay: '8' }, kRefused('future', 'txtYear')],
  [{ txtDay: '31' }, kRefused('future', 'txtYear')],
  [{ txtYear: '2027', txtMonth: '1', txtDay: '1' }, kRefused('future', 'txtYear')],
  [{ txtYear: '9e99', txtMonth: '1', txtDay: '1' }, kRefused('future', 'txtYear')],
  [{ txtYear: '99999', txtMonth: '1', txtDay: '1' }, kRefused('future', 'txtYear')],
  [{ txtDay: '7' }, kDrawn('2026 年 12 月', '2027 年 1 月')],
  // Shortest cycle: must hold a whole number of days, 24 to 40.
  [{ txtMinMensesCyc: 'ab' }, kRefused('number', 'txtMinMensesCyc')],
  [{ txtMinMensesCyc: '' }, kRefused('number', 'txtMinMensesCyc')],
  [{ txtMinMensesCyc: '  ' }, kRefused('number', 'txtMinMensesCyc')],
  [{ txtMinMensesCyc: '\u3000' }, kRefused('number', 'txtMinMensesCyc')],
  [{ txtMinMensesCyc: '.5' }, kRefused('number', 'txtMinMensesCyc')],
  [{ txtMinMensesCyc: '+' }, kRefused('number', 'txtMinMensesCyc')],
  [{ txtMinMensesCyc: '23' }, kRefused('range', 'txtMinMensesCyc')],
  [{ txtMinMensesCyc: '41' }, kRefused('range', 'txtMinMensesCyc')],
  [{ txtMinMensesCyc: '24', txtMaxMensesCyc: '24' }, kDrawn('2026 年 12 月', '2027 年 1 月')],
  [{ txtMinMensesCyc: '40', txtMaxMensesCyc: '40' }, kDrawn('2026 年 12 月', '2027 年 1 月')],
  // Longest cycle.
  [{ txtMaxMensesCyc: '27' }, kRefused('cycles', 'txtMaxMensesCyc')],
  [{ txtMaxMensesCyc: 'x' }, kRefused('cycles', 'txtMaxMensesCyc')],
  [{ txtMaxMensesCyc: '' }, kDrawn('2026 年 12 月', '2027 年 1 月')],
  [{ txtMaxMensesCyc: '99' }, kDrawn('2026 年 12 月', '2027 年 1 月')],
  // Several faults at once: only the first check that refuses speaks.
  [{ txtYear: '', txtMinMensesCyc: '50' }, kRefused('year', 'txtYear')],
  [{ txtMonth: '13', txtDay: '', txtMaxMensesCyc: 'x' }, kRefused('month', 'txtMonth')],
  [{ txtDay: '8', txtMinMensesCyc: 'ab' }, kRefused('future', 'txtYear')],
  [{ txtMinMensesCyc: '41', txtMaxMensesCyc: '1' }, kRefused('range', 'txtMinMensesCyc')],
];

// Presses a button with `fields` entered and checks the outcome against `expected`.
async function CheckCase(page, label, fields, expected) {
  await page.Fill(fields);
  await page.MarkCalendars();
  const { alerts, focus } = await page.Press(label);
  if (expected.alert) {
    assert.deepEqual(alerts, [expected.alert], 'exactly the one alert');
    assert.equal(focus, expected.focus, 'the field focused after the alert');
    assert.deepEqual(await page.CalendarsReplaced(), [false, false], 'calendars left alone');
  } else {
    assert.deepEqual(alerts, [], 'no alert');
    assert.deepEqual(await page.CalendarsReplaced(), [true, true], 'both calendars drawn');
    const first = await page.Calendar(1);
    const second = await page.Calendar(2);
    AssertPhasedCalendar(first, { header: expected.drawn[0], days: first.days.length });
    AssertPhasedCalendar(second, { header: expected.drawn[1], days: second.days.length });
  }
  assert.deepEqual(await page.Fields(), fields, 'no field text changed');
}

describe('calculator form in Chromium', () => {
  test('start-up: today in the date fields, 28-day cycles, this month and the next', async () => {
    const page = await CalculatorPage.Open(chromium.browser, {
      timezoneId: 'Asia/Shanghai',
      now: new Date('2027-03-05T02:00:00Z'),
    });
    assert.deepEqual(await page.Fields(), {
      txtYear: '2027',
      txtMonth: '3',
      txtDay: '5',
      txtMinMensesCyc: '28',
      txtMaxMensesCyc: '28',
    });
    AssertPlainCalendar(await page.Calendar(1), {
      header: '2027 年 3 月',
      days: 31,
      leading: 1,
      trailing: 3,
    });
    AssertPlainCalendar(await page.Calendar(2), {
      header: '2027 年 4 月',
      days: 30,
      leading: 4,
      trailing: 1,
    });
    assert.equal(await page.Focus(), 'btnCalculate');
    assert.deepEqual(page.alerts, []);
    page.AssertNoScriptErrors();
    await page.Close();
  });

  test('each check: its alert, the focused field, and nothing else changed', async () => {
    const page = await CalculatorPage.Open(chromium.browser);
    for (const [change, expected] of kCases) {
      const fields = { ...kBase, ...change };
      try {
        await CheckCase(page, '开始计算', fields, expected);
      } catch (error) {
        error.message = `with ${JSON.stringify(change)}: ${error.message}`;
        throw error;
      }
    }
    page.AssertNoScriptErrors();
    await page.Close();
  });

  test('"设置完成" does what "开始计算" does', async () => {
    const page = await CalculatorPage.Open(chromium.browser);
    const samples = [
      [{ txtYear: '1899' }, kRefused('year', 'txtYear')],
      [{ txtMonth: '0' }, kRefused('month', 'txtMonth')],
      [{ txtMonth: '4', txtDay: '31' }, kRefused('day', 'txtDay')],
      [{ txtDay: '8' }, kRefused('future', 'txtYear')],
      [{ txtMinMensesCyc: '' }, kRefused('number', 'txtMinMensesCyc')],
      [{ txtMinMensesCyc: '23' }, kRefused('range', 'txtMinMensesCyc')],
      [{ txtMaxMensesCyc: '27' }, kRefused('cycles', 'txtMaxMensesCyc')],
      [
        { txtMonth: '11', txtMinMensesCyc: '30', txtMaxMensesCyc: '35' },
        kDrawn('2026 年 11 月', '2026 年 12 月'),
      ],
    ];
    for (const [change, expected] of samples) {
      const fields = { ...kBase, ...change };
      await CheckCase(page, '设置完成', fields, expected);
      const drawnBySettings = [await page.Calendar(1), await page.Calendar(2)];
      await CheckCase(page, '开始计算', fields, expected);
      const drawnByCalculate = [await page.Calendar(1), await page.Calendar(2)];
      assert.deepEqual(
        drawnBySettings.map((calendar) => calendar.html),
        drawnByCalculate.map((calendar) => calendar.html),
      );
    }
    page.AssertNoScriptErrors();
    await page.Close();
  });

  test('typing the date and pressing "开始计算" draws that month and the next', async () => {
    const page = await CalculatorPage.Open(chromium.browser);
    await page.Type('txtYear', '2025');
    await page.Type('txtMonth', '3');
    await page.Type('txtDay', '15');
    await page.Type('txtMinMensesCyc', '30');
    await page.Type('txtMaxMensesCyc', '32');
    const { alerts } = await page.Press('开始计算');
    assert.deepEqual(alerts, []);
    // From 15 March 2025 with a 30-day cycle: menses 15-19 March, danger 26 March - 4 April.
    AssertPhasedCalendar(await page.Calendar(1), {
      header: '2025 年 3 月',
      days: 31,
      leading: 6,
      trailing: 5,
      phases: [
        ...Array(5).fill('Danger'), // 1..5, counted back from the 15th
        ...Array(9).fill('Safe'), // 6..14
        ...Array(5).fill('Menses'), // 15..19
        ...Array(6).fill('Safe'), // 20..25
        ...Array(6).fill('Danger'), // 26..31
      ],
    });
    AssertPhasedCalendar(await page.Calendar(2), {
      header: '2025 年 4 月',
      days: 30,
      leading: 2,
      trailing: 3,
      phases: [
        ...Array(4).fill('Danger'), // 1..4
        ...Array(9).fill('Safe'), // 5..13
        ...Array(5).fill('Menses'), // 14..18
        ...Array(6).fill('Safe'), // 19..24
        ...Array(6).fill('Danger'), // 25..30
      ],
    });
    // Typing stops at each field's length limit.
    await page.Type('txtYear', '202512');
    await page.Type('txtDay', '123');
    const fields = await page.Fields();
    assert.equal(fields.txtYear, '2025');
    assert.equal(fields.txtDay, '12');
    page.AssertNoScriptErrors();
    await page.Close();
  });

  test('"重新输入" empties the date, restores 28-day cycles and keeps the calendars', async () => {
    const page = await CalculatorPage.Open(chromium.browser);
    await page.Fill({ ...kBase, txtMinMensesCyc: '30', txtMaxMensesCyc: '35' });
    assert.deepEqual((await page.Press('开始计算')).alerts, []);
    const drawn = [await page.Calendar(1), await page.Calendar(2)];
    await page.MarkCalendars();
    assert.deepEqual((await page.Press('重新输入')).alerts, []);
    assert.deepEqual(await page.Fields(), {
      txtYear: '',
      txtMonth: '',
      txtDay: '',
      txtMinMensesCyc: '28',
      txtMaxMensesCyc: '28',
    });
    assert.deepEqual(await page.CalendarsReplaced(), [false, false]);
    assert.equal((await page.Calendar(1)).html, drawn[0].html);
    assert.equal((await page.Calendar(2)).html, drawn[1].html);
    const { alerts, focus } = await page.Press('开始计算');
    assert.deepEqual(alerts, [kAlert.year]);
    assert.equal(focus, 'txtYear');
    page.AssertNoScriptErrors();
    await page.Close();
  });

  test('two calculations in a row each replace both calendars', async () => {
    const page = await CalculatorPage.Open(chromium.browser);
    await page.Fill(kBase);
    await page.MarkCalendars();
    assert.deepEqual((await page.Press('开始计算')).alerts, []);
    assert.deepEqual(await page.CalendarsReplaced(), [true, true]);
    AssertPhasedCalendar(await page.Calendar(1), { header: '2026 年 12 月', days: 31 });

    const cycle = { txtMinMensesCyc: '35', txtMaxMensesCyc: '35' };
    await page.Fill({ ...kBase, txtMonth: '11', txtDay: '1', ...cycle });
    await page.MarkCalendars();
    assert.deepEqual((await page.Press('开始计算')).alerts, []);
    assert.deepEqual(await page.CalendarsReplaced(), [true, true]);
    // From 1 November 2026 with a 35-day cycle: menses 1-5 November, danger 17-26 November,
    // next menses 6-10 December.
    AssertPhasedCalendar(await page.Calendar(1), {
      header: '2026 年 11 月',
      days: MonthLength(2026, 11),
      leading: 0,
      trailing: 5,
      phases: [
        ...Array(5).fill('Menses'),
        ...Array(11).fill('Safe'),
        ...Array(10).fill('Danger'),
        ...Array(4).fill('Safe'),
      ],
    });
    AssertPhasedCalendar(await page.Calendar(2), {
      header: '2026 年 12 月',
      days: 31,
      leading: 2,
      trailing: 2,
      phases: [
        ...Array(5).fill('Safe'),
        ...Array(5).fill('Menses'),
        ...Array(11).fill('Safe'),
        ...Array(10).fill('Danger'),
      ],
    });
    // The page keeps exactly one table per calendar.
    assert.equal(await page.page.locator('table[id^="Calendar"]').count(), 2);
    page.AssertNoScriptErrors();
    await page.Close();
  });

  test('a refusal after a calculation leaves the drawn calendars as they were', async () => {
    const page = await CalculatorPage.Open(chromium.browser);
    await page.Fill(kBase);
    await page.Press('开始计算');
    const drawn = [await page.Calendar(1), await page.Calendar(2)];
    for (const field of kFieldNames) {
      const bad = field === 'txtDay' ? { txtDay: '8' } : { [field]: 'x' };
      await page.Fill({ ...kBase, ...bad });
      const { alerts } = await page.Press('开始计算');
      assert.equal(alerts.length, 1, `one alert for ${field}`);
      assert.equal((await page.Calendar(1)).html, drawn[0].html);
      assert.equal((await page.Calendar(2)).html, drawn[1].html);
    }
    page.AssertNoScriptErrors();
    await page.Close();
  });
});
