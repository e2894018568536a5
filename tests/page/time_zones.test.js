'use strict';
// The page under several time zones with the clock held still: start-up shows the local date,
// a date counts as "in the future" exactly when it is later than the local date at the moment of
// the check, and the calendars (weekdays and phases) are the same everywhere.

const assert = require('node:assert/strict');
const { after, describe, test } = require('node:test');
const {
  AssertPhasedCalendar,
  AssertPlainCalendar,
  ExpectedMonth,
  UseChromium,
  MonthLength,
  PagePool,
  PhaseRuns,
  kAlert,
  kExampleFields,
} = require('./calculator_page.js');

const pool = new PagePool(UseChromium());
after(() => pool.Close());

const kZones = ['Asia/Shanghai', 'America/New_York', 'Pacific/Kiritimati', 'UTC'];

// Leading and trailing empty cells of the months drawn here (Sunday first).
const kMonthShape = {
  '2026-12': { leading: 2, trailing: 2 },
  '2027-1': { leading: 5, trailing: 6 },
  '2027-2': { leading: 1, trailing: 6 },
};

function NextMonth([year, month]) {
  return month === 12 ? [year + 1, 1] : [year, month + 1];
}

async function Today(page) {
  return page.page.evaluate(() => Today.getTime());
}

// Checks that the page opened with `date` in its fields and that month and the next drawn plain.
async function AssertStartedOn(page, [year, month, day]) {
  assert.deepEqual(await page.Fields(), {
    txtYear: String(year),
    txtMonth: String(month),
    txtDay: String(day),
    txtMinMensesCyc: '28',
    txtMaxMensesCyc: '28',
  });
  for (const [index, [y, m]] of [
    [1, [year, month]],
    [2, NextMonth([year, month])],
  ]) {
    AssertPlainCalendar(await page.Calendar(index), {
      header: `${y} 年 ${m} 月`,
      days: MonthLength(y, m),
      ...kMonthShape[`${y}-${m}`],
    });
  }
  assert.equal(await page.Focus(), 'btnCalculate');
}

// Presses "开始计算" and checks both calendars drawn from `first` with a 28-day cycle.
async function AssertCalculated(page, first) {
  await page.MarkCalendars();
  const { alerts } = await page.Press('开始计算');
  assert.deepEqual(alerts, [], 'no alert');
  assert.deepEqual(await page.CalendarsReplaced(), [true, true]);
  for (const [index, [y, m]] of [
    [1, [first[0], first[1]]],
    [2, NextMonth([first[0], first[1]])],
  ]) {
    AssertPhasedCalendar(await page.Calendar(index), {
      header: `${y} 年 ${m} 月`,
      days: MonthLength(y, m),
      phases: ExpectedMonth(first, y, m, 28),
      ...kMonthShape[`${y}-${m}`],
    });
  }
}

async function AssertRefusedAsFuture(page, [year, month, day]) {
  await page.Fill({ txtYear: String(year), txtMonth: String(month), txtDay: String(day) });
  await page.MarkCalendars();
  const { alerts, focus } = await page.Press('开始计算');
  assert.deepEqual(alerts, [kAlert.future]);
  assert.equal(focus, 'txtYear');
  assert.deepEqual(await page.CalendarsReplaced(), [false, false]);
}

describe('time zones', () => {
  // 20:00 UTC on 31 December 2026 is already New Year's Day east of UTC+4.
  const kNewYearsEve = new Date('2026-12-31T20:00:00Z');
  const kStartUps = [
    ['Asia/Shanghai', [2027, 1, 1]], // 04:00, before the zone's 8-hour offset is reached
    ['Pacific/Kiritimati', [2027, 1, 1]], // 10:00
    ['America/New_York', [2026, 12, 31]], // 15:00
    ['UTC', [2026, 12, 31]],
  ];
  for (const [timezoneId, date] of kStartUps) {
    test(`start-up in ${timezoneId} shows the local date and accepts it`, async () => {
      const page = await pool.In(timezoneId, kNewYearsEve);
      assert.equal(await Today(page), kNewYearsEve.getTime(), 'Today is read from the clock');
      await AssertStartedOn(page, date);
      await AssertCalculated(page, date);
      page.AssertNoScriptErrors();
    });
  }

  // The worked example: last period from Sunday 6 December 2026, 28-day cycle.
  const kDecember = PhaseRuns([
    [5, 'Safe'],
    [5, 'Menses'],
    [4, 'Safe'],
    [10, 'Danger'],
    [7, 'Safe'],
  ]);
  const kJanuary = PhaseRuns([
    [2, 'Safe'],
    [5, 'Menses'],
    [4, 'Safe'],
    [10, 'Danger'],
    [9, 'Safe'],
    [1, 'Menses'],
  ]);
  test('phases and weekdays are the same in every zone', async () => {
    const drawn = [];
    for (const timezoneId of kZones) {
      // 04:00 UTC on 7 December: still the 6th in New York.
      const page = await pool.In(timezoneId, new Date('2026-12-07T04:00:00Z'));
      await page.Fill(kExampleFields);
      assert.deepEqual((await page.Press('开始计算')).alerts, [], timezoneId);
      const first = await page.Calendar(1);
      const second = await page.Calendar(2);
      const december = { header: '2026 年 12 月', days: 31, phases: kDecember };
      const january = { header: '2027 年 1 月', days: 31, phases: kJanuary };
      AssertPhasedCalendar(first, { ...december, ...kMonthShape['2026-12'] });
      AssertPhasedCalendar(second, { ...january, ...kMonthShape['2027-1'] });
      drawn.push([timezoneId, first.html, second.html]);
      page.AssertNoScriptErrors();
    }
    for (const [timezoneId, first, second] of drawn.slice(1)) {
      assert.equal(first, drawn[0][1], `calendar 1 in ${timezoneId} as in ${drawn[0][0]}`);
      assert.equal(second, drawn[0][2], `calendar 2 in ${timezoneId} as in ${drawn[0][0]}`);
    }
  });

  // Today's local date is accepted and tomorrow's refused, at any hour, in any zone.
  const kLocalDays = [
    ['Asia/Shanghai', '2026-12-06T23:30:00Z'], // 07:30
    ['Asia/Shanghai', '2026-12-07T00:00:00Z'], // 08:00
    ['Asia/Shanghai', '2026-12-07T15:59:59.999Z'], // 23:59:59.999
    ['America/New_York', '2026-12-07T05:00:00Z'], // 00:00
    ['America/New_York', '2026-12-08T01:00:00Z'], // 20:00, already the 8th in UTC
    ['Pacific/Kiritimati', '2026-12-06T10:30:00Z'], // 00:30
    ['Pacific/Kiritimati', '2026-12-06T20:00:00Z'], // 10:00
    ['UTC', '2026-12-07T00:00:00Z'],
    ['UTC', '2026-12-07T23:59:59.999Z'],
  ];
  for (const [timezoneId, instant] of kLocalDays) {
    test(`${timezoneId} at ${instant}: 7 December passes, the 8th is in the future`, async () => {
      const now = new Date(instant);
      const page = await pool.In(timezoneId, now);
      assert.equal(await Today(page), now.getTime());
      await AssertStartedOn(page, [2026, 12, 7]);
      await AssertCalculated(page, [2026, 12, 7]);
      await AssertRefusedAsFuture(page, [2026, 12, 8]);
      await AssertRefusedAsFuture(page, [2027, 1, 1]);
      await page.Fill({ txtYear: '2026', txtMonth: '12', txtDay: '6' });
      await AssertCalculated(page, [2026, 12, 6]);
      page.AssertNoScriptErrors();
    });
  }

  // A page left open across local midnight accepts the new day once it has come.
  const kMidnights = [
    ['Asia/Shanghai', '2026-12-07T15:50:00Z', '2026-12-07T16:10:00Z'],
    ['America/New_York', '2026-12-08T04:50:00Z', '2026-12-08T05:10:00Z'],
    ['Pacific/Kiritimati', '2026-12-07T09:50:00Z', '2026-12-07T10:10:00Z'],
    ['UTC', '2026-12-07T23:50:00Z', '2026-12-08T00:10:00Z'],
  ];
  for (const [timezoneId, loaded, later] of kMidnights) {
    test(`${timezoneId}: a page left open past midnight accepts the new day`, async () => {
      const page = await pool.In(timezoneId, new Date(loaded));
      await AssertStartedOn(page, [2026, 12, 7]);
      await AssertRefusedAsFuture(page, [2026, 12, 8]);
      await page.SetClock(new Date(later));
      await page.Fill({ txtYear: '2026', txtMonth: '12', txtDay: '8' });
      await AssertCalculated(page, [2026, 12, 8]);
      await AssertRefusedAsFuture(page, [2026, 12, 9]);
      // The page's own start-up instant stays where it was.
      assert.equal(await Today(page), new Date(loaded).getTime());
      page.AssertNoScriptErrors();
    });
  }
});
