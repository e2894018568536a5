'use strict';
// The cycle phase rule, calendar dates as 00:00 UTC instants, and month lengths.

const test = require('node:test');
const assert = require('node:assert/strict');
const { LoadPage, Instant } = require('./page_script.js');

const { page } = LoadPage();
const kDay = 86400000;

const kMenses = { Colour: '#FF9900', Advice: '这是月经期，要注意经期卫生，当然也要“节欲”，避免性事哦！' };
const kSafe = { Colour: '#009933', Advice: '这是安全期，性事一般不会受孕，您放心吧！' };
const kDanger = { Colour: '#FF3300', Advice: '这是危险期，亦称排卵期，性事受孕可能性大，千万要注意哦！' };
const kUnclassified = { Colour: 'blue', Advice: '' };
const kByLetter = { M: kMenses, S: kSafe, D: kDanger, U: kUnclassified };

function PhaseOf(lastPeriod, day, cycleLength) {
  const phase = page.GetCyclePhase(lastPeriod, day, cycleLength);
  return { Colour: phase.Colour, Advice: phase.Advice };
}

// The phase of each position r = 0 .. n-1 in the cycle, one letter per day.
function Letters(runs) {
  return runs.map(([letter, count]) => letter.repeat(count)).join('');
}

test('phase tables for the admitted cycle lengths, forwards and backwards in time', () => {
  const tables = {
    24: Letters([['M', 5], ['D', 10], ['S', 9]]),
    28: Letters([['M', 5], ['S', 4], ['D', 10], ['S', 9]]),
    30: Letters([['M', 5], ['S', 6], ['D', 10], ['S', 9]]),
    35: Letters([['M', 5], ['S', 11], ['D', 10], ['S', 9]]),
    40: Letters([['M', 5], ['S', 16], ['D', 10], ['S', 9]]),
  };
  const lastPeriod = Instant('2026-12-06');
  for (const [n, letters] of Object.entries(tables)) {
    const cycle = Number(n);
    assert.equal(letters.length, cycle);
    // The ovulation day, 14 days before the next period, lies in the dangerous period.
    assert.equal(letters[cycle - 14], 'D', `n=${n}`);
    for (const cycles of [-3, -1, 0, 1, 5]) {
      for (let r = 0; r < cycle; r++) {
        const day = lastPeriod + (cycles * cycle + r) * kDay;
        assert.deepEqual(PhaseOf(lastPeriod, day, cycle), kByLetter[letters[r]],
                         `n=${n} r=${r} cycles=${cycles}`);
      }
    }
  }
});

test('worked example: n = 28, last period from Sunday 6 December 2026', () => {
  const lastPeriod = Instant('2026-12-06');
  const days = [
    ['2026-12-01', kSafe], ['2026-12-05', kSafe], ['2026-12-06', kMenses],
    ['2026-12-10', kMenses], ['2026-12-11', kSafe], ['2026-12-14', kSafe],
    ['2026-12-15', kDanger], ['2026-12-20', kDanger], ['2026-12-24', kDanger],
    ['2026-12-25', kSafe], ['2027-01-02', kSafe], ['2027-01-03', kMenses],
  ];
  for (const [day, phase] of days) {
    assert.deepEqual(PhaseOf(lastPeriod, Instant(day), 28), phase, day);
  }
});

test('edge cases of the rule', () => {
  const L = Instant('2026-12-06');
  const at = (d) => L + d * kDay;
  const cases = [
    // [d, n, phase, what]
    [0, 28, kMenses, 'd = 0'],
    [28, 28, kMenses, 'd = n'],
    [-28, 28, kMenses, 'd = -n'],
    [-1, 28, kSafe, 'd = -1 is r = n - 1'],
    [-24, 24, kMenses, 'n = 24, d = -n'],
    [4, 24, kMenses, 'n = 24, r = 4'],
    [5, 24, kDanger, 'n = 24, r = 5: no safe days before the dangerous period'],
    [20, 40, kSafe, 'n = 40, r = 20'],
    [21, 40, kDanger, 'n = 40, r = 21'],
    [30, 40, kDanger, 'n = 40, r = 30'],
    [31, 40, kSafe, 'n = 40, r = 31'],
    [0, NaN, kUnclassified, 'n not a number, d = 0'],
    [17, NaN, kUnclassified, 'n not a number'],
    [0, 0, kUnclassified, 'n = 0, d = 0'],
    [3, 0, kUnclassified, 'n = 0'],
  ];
  for (const [d, n, phase, what] of cases) assert.deepEqual(PhaseOf(L, at(d), n), phase, what);
  // A date with no instant classifies nothing.
  assert.deepEqual(PhaseOf(NaN, L, 28), kUnclassified, 'no instant for L');
  assert.deepEqual(PhaseOf(L, NaN, 28), kUnclassified, 'no instant for T');
});

test('outside the admitted lengths the later range wins: n = 20', () => {
  const expected = Letters([['M', 1], ['D', 10], ['S', 9]]);
  const L = Instant('2026-12-06');
  for (let r = 0; r < 20; r++) {
    assert.deepEqual(PhaseOf(L, L + r * kDay, 20), kByLetter[expected[r]], `r=${r}`);
  }
});

test('calendar dates are 00:00 UTC instants, Gregorian for every year', () => {
  const cases = [
    [[2026, 12, 6], Instant('2026-12-06')],
    [[2024, 2, 29], Instant('2024-02-29')],
    [[1970, 1, 1], 0],
    // Years 0 to 99 are those years, not 1900 to 1999.
    [[1, 1, 1], -62135596800000],
    [[99, 12, 31], Instant('0099-12-31')],
    // A fraction of a year is dropped; the month and day roll over as dates do.
    [[2026.9, 12, 6], Instant('2026-12-06')],
    [[2026, 13, 1], Instant('2027-01-01')],
    // The last and first instants that exist, and the days just beyond them.
    [[275760, 9, 13], 8.64e15],
    [[275760, 9, 14], NaN],
    [[-271821, 4, 20], -8.64e15],
    [[-271821, 4, 19], NaN],
    [[9e99, 1, 1], NaN],
    [[Infinity, 1, 1], NaN],
    [[NaN, 1, 1], NaN],
    [[2026, NaN, 1], NaN],
  ];
  for (const [[y, m, d], instant] of cases) {
    assert.ok(Object.is(page.GetDateInstant(y, m, d), instant), `${y}-${m}-${d}`);
  }
  // 1 January of the year 1 was a Monday in the Gregorian calendar extended backwards.
  const weekdays = [[-62135596800000, 1], [Instant('2026-02-01'), 0], [Instant('2026-08-01'), 6],
                    [Instant('2026-12-31'), 4], [NaN, NaN]];
  for (const [instant, weekday] of weekdays) {
    assert.ok(Object.is(page.GetUtcWeekday(instant), weekday), `weekday of ${instant}`);
  }
});

test('day differences count calendar days across month ends, year ends and 29 February', () => {
  const spans = [
    [[2024, 2, 28], [2024, 3, 1], 2],
    [[2023, 2, 28], [2023, 3, 1], 1],
    [[2026, 12, 31], [2027, 1, 1], 1],
    [[2000, 2, 28], [2000, 3, 1], 2],
    [[1900, 2, 28], [1900, 3, 1], 1],
  ];
  for (const [from, to, days] of spans) {
    const start = page.GetDateInstant(...from);
    const end = page.GetDateInstant(...to);
    assert.equal((end - start) / kDay, days, `${from} to ${to}`);
    // n = 40: a day difference of 4 is the last menses day, 5 the first safe one.
    const lastPeriod = start - (4 - days) * kDay;
    assert.deepEqual(PhaseOf(lastPeriod, end, 40), kMenses, `${from} to ${to}, d = 4`);
    assert.deepEqual(PhaseOf(lastPeriod - kDay, end, 40), kSafe, `${from} to ${to}, d = 5`);
  }
});

test('month lengths, with February by the leap-year rule', () => {
  const lengths = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31];
  for (const year of [2023, 1900, 2100, 2026]) {
    lengths.forEach((length, month) => {
      page.GetDayPerMonth(year, month);
      assert.equal(page.DaysPerMonth, length, `${year}-${month + 1}`);
    });
  }
  const februaries = [[2000, 29], [2024, 29], [1900, 28], [2023, 28], [2100, 28], [2400, 29],
                      // A field's text counts by its numeric value.
                      ['2024', 29], [' 2000 ', 29], ['2e3', 29], ['2023', 28], ['abc', 28]];
  for (const [year, days] of februaries) {
    page.GetDayPerMonth(year, 1);
    assert.equal(page.DaysPerMonth, days, `February ${year}`);
  }
  // The leap February does not outlive its call.
  page.GetDayPerMonth(2024, 1);
  page.GetDayPerMonth(2023, 1);
  assert.equal(page.DaysPerMonth, 28);
});

test('montharr stores its twelve arguments under the indexes 0 to 11', () => {
  const table = new page.montharr(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12);
  for (let month = 0; month < 12; month++) assert.equal(table[month], month + 1);
});

test('a freshly loaded page holds no month length and no calendar yet', () => {
  const fresh = LoadPage().page;
  assert.equal(fresh.DaysPerMonth, 0);
  assert.equal(fresh.CalendarOuterHTML, '');
});
