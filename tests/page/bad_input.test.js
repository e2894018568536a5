'use strict';
// Bad input through the form in Chromium: thousands of random field texts (numbers in odd
// spellings, full-width digits, white space, markup and script fragments, very long texts), each
// followed by a click on "开始计算". Every run must end in exactly one of the seven alerts, with the
// focus where that alert sends it, or in two freshly drawn calendars; never in a script error; and
// no field text other than a validated year may reach the calendars' markup.
//
// PLQ_FUZZ_SEED repeats a run; PLQ_FUZZ_RUNS changes how many texts are tried.

const assert = require('node:assert/strict');
const { describe, test } = require('node:test');
const {
  CalculatorPage,
  ExpectedPhase,
  Squeeze,
  UseChromium,
  kAlert,
  kAlertTexts,
  kColour,
  kFieldNames,
  kExampleFields,
} = require('./calculator_page.js');

const kSeed = Number(process.env.PLQ_FUZZ_SEED || Date.now() % 4294967296);
const kRuns = Number(process.env.PLQ_FUZZ_RUNS || 2000);
const kTypedEvery = 100; // every 100th run is typed with the keyboard instead of set directly

// mulberry32: small, fast and good enough to spread the cases.
function Random(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  const random = {
    Below: (n) => Math.floor(next() * n),
    Chance: (p) => next() < p,
    Pick: (items) => items[random.Below(items.length)],
    Between: (low, high) => low + random.Below(high - low + 1),
  };
  return random;
}

const kWhiteSpace = [' ', '\t', '\n', '\u00a0', '\u3000', '\ufeff', '\u2028', '\u2003'];
const kFullWidthDigits = '０１２３４５６７８９';
const kFragments = [
  '<img src=x onerror=alert(1)>',
  '<img src=x onerror="window.plqInjected=1">',
  `'");alert(1)//`,
  `');window.plqInjected=1;//`,
  '"><svg onload=window.plqInjected=1>',
  '<script>window.plqInjected=1</script>',
  '</TABLE>',
  '<TD>',
  '<!--',
  '-->',
  '&amp;',
  '&#39;',
  '\\',
  "'",
  '"',
  '\\x27',
  'javascript:alert(1)',
  '%s',
  '年',
  '月',
  '😀',
  '\ud800',
  'Infinity',
  '-Infinity',
  'NaN',
  '0x1A',
  '0b101',
  '0o17',
  'null',
  '1,000',
  '1_000',
  '\u2212' + '5',
  '\u0663',
  'e',
  '.',
  '+',
  '-',
  '1e',
  'e5',
];

// A number written in one of the many ways a field may hold it.
function Spell(random, value) {
  let text = String(value);
  switch (random.Below(18)) {
    case 0:
      text = '0'.repeat(random.Between(1, 3)) + text;
      break;
    case 1:
      text = '+' + text;
      break;
    case 2:
      text = text + random.Pick(['.', '.0', '.5', '.99']);
      break;
    case 3:
      text = random.Pick([`${value}e0`, `${value / 10}e1`, `${value * 10}e-1`, `${value}E0`]);
      break;
    case 4:
      text = text.replace(/\d/g, (digit) =>
        random.Chance(0.5) ? kFullWidthDigits[digit] : digit,
      );
      break;
    case 5:
      text = random.Pick(kWhiteSpace) + text + random.Pick(['', ...kWhiteSpace]);
      break;
    case 6:
      text = text + random.Pick(kFragments);
      break;
    case 7:
      // Spellings the language's own conversion takes but a field must not.
      text = random.Pick([
        `0x${value.toString(16)}`,
        `0X${value.toString(16).toUpperCase()}`,
        `0b${value.toString(2)}`,
        `0o${value.toString(8)}`,
        `${value}n`,
        `${value}Infinity`,
      ]);
      break;
    default:
      break;
  }
  return text;
}

function Junk(random) {
  if (random.Chance(0.05)) {
    // Very long texts.
    const unit = random.Pick(['9', ' ', '<b>', '2026', 'x', '\u3000', kFragments[0]]);
    return unit.repeat(random.Between(500, 5000)) + random.Pick(['', '2026', '1']);
  }
  const parts = [];
  for (let i = random.Between(1, 3); i > 0; i--) {
    switch (random.Below(4)) {
      case 0:
        parts.push(random.Pick(kFragments));
        break;
      case 1:
        parts.push(random.Pick(kWhiteSpace));
        break;
      case 2:
        parts.push(String(random.Between(0, 3000)));
        break;
      default:
        parts.push(
          Array.from({ length: random.Between(1, 8) }, () =>
            String.fromCharCode(random.Between(0x20, 0x7e)),
          ).join(''),
        );
    }
  }
  return parts.join('');
}

// Mostly valid values, now and then just outside the valid range, so that runs reach every check
// and about a third of them draw calendars.
const kPlausible = {
  txtYear: (random) =>
    random.Chance(0.95) ? random.Between(1899, 2027) : random.Pick(['9e99', '1e400', '99999']),
  txtMonth: (random) => (random.Chance(0.95) ? random.Between(1, 12) : random.Pick([0, 13])),
  txtDay: (random) => (random.Chance(0.9) ? random.Between(1, 28) : random.Between(0, 32)),
  txtMinMensesCyc: (random) =>
    random.Chance(0.9) ? random.Between(24, 40) : random.Pick([22, 23, 41, 42]),
  txtMaxMensesCyc: (random) => (random.Chance(0.9) ? random.Between(40, 60) : random.Between(20, 40)),
};

function RandomFields(random) {
  const fields = {};
  for (const name of kFieldNames) {
    if (random.Chance(0.02)) {
      fields[name] = '';
    } else if (random.Chance(0.9)) {
      const value = kPlausible[name](random);
      fields[name] = typeof value === 'string' ? value : Spell(random, value);
    } else {
      fields[name] = Junk(random);
    }
  }
  return fields;
}

// A field text's numeric value: the language's number conversion, decimal only.
function NumericValue(text) {
  const trimmed = text.trim();
  if (trimmed === '') return 0;
  return /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/.test(trimmed) ? Number(trimmed) : NaN;
}

function IntegerValue(text) {
  return parseInt(text, 10);
}

function DaysIn(year, month) {
  const leap = (year % 4 === 0 && year % 100 !== 0) || year % 400 === 0;
  return [31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][month - 1];
}

const kToday = [2026, 12, 7]; // the local date of the fixed clock below
const kFocusOf = new Map([
  [kAlert.year, 'txtYear'],
  [kAlert.month, 'txtMonth'],
  [kAlert.day, 'txtDay'],
  [kAlert.future, 'txtYear'],
  [kAlert.number, 'txtMinMensesCyc'],
  [kAlert.range, 'txtMinMensesCyc'],
  [kAlert.cycles, 'txtMaxMensesCyc'],
]);

// What the form must do with `fields`: { alert } or { drawn }, or { open: true } where the
// outcome is not pinned down (a month whose whole part lies outside 1 to 12, such as "0.5e1").
function Expected(fields) {
  const refuse = (alert) => ({ alert: kAlert[alert] });
  const year = NumericValue(fields.txtYear);
  if (!(year >= 1900)) return refuse('year');
  const monthValue = NumericValue(fields.txtMonth);
  if (!(monthValue >= 1 && monthValue <= 12)) return refuse('month');
  const month = IntegerValue(fields.txtMonth);
  if (!(month >= 1 && month <= 12)) return { open: true };
  const dayValue = NumericValue(fields.txtDay);
  if (!(dayValue >= 1 && dayValue <= DaysIn(year, month))) return refuse('day');
  const date = [Math.trunc(year), month, Math.trunc(dayValue)];
  const later = date[0] !== kToday[0] ? date[0] > kToday[0] :
    date[1] !== kToday[1] ? date[1] > kToday[1] : date[2] > kToday[2];
  if (later) return refuse('future');
  const cycle = IntegerValue(fields.txtMinMensesCyc);
  if (Number.isNaN(NumericValue(fields.txtMinMensesCyc)) || Number.isNaN(cycle)) {
    return refuse('number');
  }
  if (cycle > 40 || cycle < 24) return refuse('range');
  if (Number.isNaN(NumericValue(fields.txtMaxMensesCyc))) return refuse('cycles');
  if (IntegerValue(fields.txtMaxMensesCyc) < cycle) return refuse('cycles');
  return { drawn: { year, month, day: date[2], cycle } };
}

// The two calendars a successful run draws: header, month length, empty cells and phases.
function ExpectedCalendars(yearText, { year, month, day, cycle }) {
  const first = [Math.trunc(year), month, day];
  const months = [
    [yearText, year, month],
    month === 12 ? [String(year + 1), year + 1, 1] : [yearText, year, month + 1],
  ];
  return months.map(([header, y, m]) => {
    const days = DaysIn(y, m);
    const weekday = (d) => new Date(Date.UTC(Math.trunc(y), m - 1, d)).getUTCDay();
    return {
      header: Squeeze(`${header} 年 ${m} 月`),
      leading: weekday(1),
      trailing: 6 - weekday(days),
      colours: Array.from(
        { length: days },
        (_, i) => kColour[ExpectedPhase(first, [Math.trunc(y), m, i + 1], cycle)],
      ),
    };
  });
}

// Installed in the page after each load: marks the calendars and reads what a run left behind.
function InstallProbe() {
  window.plqProbe = {
    Mark() {
      this.marked = [1, 2].map((i) => document.getElementById(`Calendar${i}`));
    },
    // Markup of a calendar without its title row, whose text is checked on its own.
    Body(table) {
      const copy = table.cloneNode(true);
      copy.rows[0].parentNode.removeChild(copy.rows[0]);
      return copy.outerHTML;
    },
    Outcome(probes) {
      const form = document.forms.frmInput;
      const tables = [1, 2].map((i) => document.getElementById(`Calendar${i}`));
      const outcome = {
        focus: document.activeElement ? document.activeElement.name || '' : '',
        values: {},
        replaced: tables.map((table, i) => table !== this.marked[i]),
        injected: window.plqInjected !== undefined,
        tables: document.querySelectorAll('table[id^="Calendar"]').length,
      };
      for (const element of form.elements) {
        if (element.type === 'text') outcome.values[element.name] = element.value;
      }
      if (outcome.replaced[0] || outcome.replaced[1]) {
        outcome.calendars = tables.map((table) => {
          const fonts = Array.prototype.slice.call(table.getElementsByTagName('font'));
          const firstCell = fonts.length ? fonts[0].closest('td') : null;
          const lastCell = fonts.length ? fonts[fonts.length - 1].closest('td') : null;
          return {
            header: table.rows[0].textContent.replace(/\s+/g, ' ').trim(),
            texts: fonts.map((font) => font.textContent).join(','),
            colours: fonts.map((font) => getComputedStyle(font).color),
            anchors: table.getElementsByTagName('a').length,
            leading: firstCell ? firstCell.cellIndex : -1,
            trailing: lastCell ? lastCell.parentElement.cells.length - 1 - lastCell.cellIndex : -1,
          };
        });
        const markup = tables.map((table) => this.Body(table)).join('');
        outcome.leaked = probes.filter((probe) => markup.includes(probe));
      }
      return outcome;
    },
  };
}

function RunSetDirectly(page, fields, probes) {
  return page.page.evaluate(
    ([values, texts]) => {
      const form = document.forms.frmInput;
      for (const name of Object.keys(values)) form.elements[name].value = values[name];
      // What the fields hold now: a text field drops line breaks from what it is given.
      const entered = {};
      for (const name of Object.keys(values)) entered[name] = form.elements[name].value;
      window.plqProbe.Mark();
      form.elements.btnCalculate.click();
      return { entered, outcome: window.plqProbe.Outcome(texts) };
    },
    [fields, probes],
  );
}

// Types each text (line breaks and tabs would move the focus; the fields' length limits apply)
// and clicks the button with the mouse.
async function RunTyped(page, fields) {
  for (const name of kFieldNames) {
    await page.Type(name, fields[name].replace(/[\t\n\r\u2028\u2029]/g, '').slice(0, 8));
  }
  const typed = await page.Fields();
  await page.page.evaluate(() => window.plqProbe.Mark());
  await page.page.locator('input[value="开始计算"]').click();
  return { entered: typed, outcome: await page.page.evaluate(() => window.plqProbe.Outcome([])) };
}

// Everything wrong with one run's outcome, as a list of complaints.
function Complaints(fields, alerts, errors, outcome) {
  const complaints = [];
  const expected = Expected(fields);
  if (errors.length) complaints.push(`script errors: ${errors.join(' | ')}`);
  if (outcome.injected) complaints.push('markup from a field ran');
  if (outcome.tables !== 2) complaints.push(`${outcome.tables} calendar tables`);
  const drawn = outcome.replaced[0] && outcome.replaced[1];
  const mixed = outcome.replaced[0] !== outcome.replaced[1];
  if (alerts.length > 1 || (alerts.length === 1) === drawn || mixed) {
    complaints.push(`alerts ${JSON.stringify(alerts)}, calendars replaced ${outcome.replaced}`);
    return complaints;
  }
  if (alerts.length === 1) {
    const [alert] = alerts;
    if (!kAlertTexts.includes(alert)) complaints.push(`unknown alert ${JSON.stringify(alert)}`);
    if (outcome.focus !== kFocusOf.get(alert)) {
      complaints.push(`alert ${JSON.stringify(alert)} left the focus on ${outcome.focus}`);
    }
    if (JSON.stringify(outcome.values) !== JSON.stringify(fields)) {
      complaints.push('a refusal changed the fields');
    }
    if (!expected.open && expected.alert !== alert) {
      complaints.push(`alert ${JSON.stringify(alert)}, expected ${JSON.stringify(expected)}`);
    }
    return complaints;
  }
  if (!expected.open && !expected.drawn) {
    complaints.push(`calendars drawn, expected ${JSON.stringify(expected.alert)}`);
    return complaints;
  }
  if (expected.drawn) {
    const want = ExpectedCalendars(fields.txtYear, expected.drawn);
    outcome.calendars.forEach((calendar, i) => {
      const { header, leading, trailing, colours } = want[i];
      const days = colours.map((_, day) => day + 1).join(',');
      if (calendar.header !== header) complaints.push(`calendar ${i + 1} header ${calendar.header}`);
      if (calendar.texts !== days) complaints.push(`calendar ${i + 1} days ${calendar.texts}`);
      if (calendar.leading !== leading || calendar.trailing !== trailing) {
        complaints.push(`calendar ${i + 1} empty cells ${calendar.leading}/${calendar.trailing}`);
      }
      if (calendar.anchors !== colours.length) complaints.push(`calendar ${i + 1} anchors`);
      if (JSON.stringify(calendar.colours) !== JSON.stringify(colours)) {
        complaints.push(`calendar ${i + 1} phases ${calendar.colours}`);
      }
    });
  }
  for (const probe of outcome.leaked || []) {
    complaints.push(`field text ${JSON.stringify(probe.slice(0, 60))} reached the markup`);
  }
  return complaints;
}

// Field texts (the year apart) worth searching for in the markup: not plain digits, and not
// found in the markup of an ordinary calculation anyway.
function Probes(fields, baseline) {
  return kFieldNames
    .filter((name) => name !== 'txtYear')
    .map((name) => fields[name].replace(/[\r\n]/g, ''))
    .filter((text) => text.length >= 2 && /[^0-9]/.test(text) && !baseline.includes(text));
}

describe('bad input', () => {
  const chromium = UseChromium();

  test(`${kRuns} random field texts (seed ${kSeed})`, async (t) => {
    t.diagnostic(`seed ${kSeed}; repeat with PLQ_FUZZ_SEED=${kSeed}`);
    const random = Random(kSeed);
    // 12:00 on 7 December 2026 in Shanghai.
    const page = await CalculatorPage.Open(chromium.browser);
    await page.page.evaluate(InstallProbe);
    // Markup of an ordinary calculation, title rows left out.
    await page.Fill(kExampleFields);
    await page.Press('开始计算');
    const baseline = await page.page.evaluate(() =>
      [1, 2].map((i) => window.plqProbe.Body(document.getElementById(`Calendar${i}`))).join(''),
    );

    const failures = [];
    const tally = new Map();
    for (let run = 0; run < kRuns && failures.length < 10; run++) {
      const texts = RandomFields(random);
      const alertsBefore = page.alerts.length;
      const errorsBefore = page.errors.length;
      const { entered: fields, outcome } =
        run % kTypedEvery === kTypedEvery - 1
          ? await RunTyped(page, texts)
          : await RunSetDirectly(page, texts, Probes(texts, baseline));
      const alerts = page.alerts.slice(alertsBefore);
      const errors = page.errors.slice(errorsBefore);
      const complaints = Complaints(fields, alerts, errors, outcome);
      const result = alerts.length === 1 ? alerts[0].slice(0, 8) : 'drawn';
      tally.set(result, (tally.get(result) || 0) + 1);
      if (complaints.length) {
        const shown = {};
        for (const name of kFieldNames) shown[name] = fields[name].slice(0, 80);
        failures.push(`run ${run}: ${JSON.stringify(shown)}\n    ${complaints.join('\n    ')}`);
      }
    }
    t.diagnostic(`outcomes: ${JSON.stringify(Object.fromEntries(tally))}`);
    await page.Close();
    assert.equal(
      failures.length,
      0,
      `seed ${kSeed} (PLQ_FUZZ_SEED=${kSeed} repeats it):\n  ${failures.join('\n  ')}`,
    );
    // Every outcome was met, so the runs reached every check.
    assert.equal(tally.size, 8, `outcomes met: ${[...tally.keys()]}`);
  });
});
