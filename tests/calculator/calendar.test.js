'use strict';
// The month calendar's markup, byte for byte, and the tooltip handlers. Expected markup is
// written here from the calendar's fragment layout and the expected shape of each month (which
// cells are empty, which phase each day has), never produced by the code under test.

const test = require('node:test');
const assert = require('node:assert/strict');
const { LoadPage } = require('./page_script.js');

const kCell = '<TD width=18 class=p2>';
const kWeekRow = '<TR bgcolor=#FFFFFF>';
const kPhases = {
  M: { Colour: '#FF9900', Advice: '这是月经期，要注意经期卫生，当然也要“节欲”，避免性事哦！' },
  S: { Colour: '#009933', Advice: '这是安全期，性事一般不会受孕，您放心吧！' },
  D: { Colour: '#FF3300', Advice: '这是危险期，亦称排卵期，性事受孕可能性大，千万要注意哦！' },
  U: { Colour: 'blue', Advice: '' },
};

function Tip(phase) {
  return '<TABLE border=0 cellPadding=2 cellSpacing=1 width=100% align=center bgcolor=#008080>' +
         `<TR><TD style=BACKGROUND-COLOR:white;COLOR:${phase.Colour};FONT-FAMILY:宋体;` +
         `FONT-SIZE:9pt;TEXT-DECORATION:none> ${phase.Advice}</TD></TR></TABLE>`;
}

function DayCell(day, phase, layer) {
  if (!phase) return `${kCell}<FONT COLOR="blue">${day}</FONT>`;
  return kCell +
         `<div id="tooltip${layer}" style="position:absolute;visibility:hidden;` +
         'clip:rect(0 150 150 0);width:150px;background-color:seashell">' +
         `<layer name="nstip${layer}" width="1000px" bgColor="seashell" height="500px">` +
         '</layer></div>' +
         `<a href="#" onMouseOver="showtip2(this,event,'${Tip(phase)}',${layer})" ` +
         `onMouseOut="hidetip2(${layer})">` +
         `<FONT COLOR="${phase.Colour}">${day}</FONT>`;
}

// A week row: `leading` empty cells, the days first..last, `trailing` empty cells.
function Week(first, last, leading = 0, trailing = 0) {
  const cells = Array(leading).fill(null);
  for (let day = first; day <= last; day++) cells.push(day);
  return cells.concat(Array(trailing).fill(null));
}

// `phases`: one letter per day (M, S, D, U), or absent for a calendar without phases.
function Calendar({ index, header, weeks, phases }) {
  let markup = `<table border=0 cellspacing=0 cellpadding=3 id=Calendar${index}>` +
               `<TR bgcolor=#FFCCCC><TD colspan=7 class=p2 align=center>${header}` +
               '<TR bgcolor=#DADADA><TD width=18 class=p2>日<TD width=18 class=p2>一' +
               '<TD width=18 class=p2>二<TD width=18 class=p2>三<TD width=18 class=p2>四' +
               '<TD width=18 class=p2>五<TD width=18 class=p2>六' + kWeekRow;
  for (const week of weeks) {
    for (const day of week) {
      if (day === null) {
        markup += kCell;
      } else {
        markup += DayCell(day, phases && kPhases[phases[day - 1]], 40 * index + day);
      }
    }
    // A day in the seventh column opens the next row, after the last week too.
    if (week.length === 7 && week[6] !== null) markup += kWeekRow;
  }
  return markup + '</TABLE>';
}

// Equal markup, or a failure that shows where the two first differ rather than 20 kB of each.
function AssertMarkup(actual, expected, what) {
  if (actual === expected) return;
  let at = 0;
  while (at < actual.length && actual[at] === expected[at]) at++;
  const around = (text) => JSON.stringify(text.slice(Math.max(0, at - 80), at + 80));
  assert.fail(`${what}: markup differs at ${at}\n  got:  ${around(actual)}\n` +
              `  want: ${around(expected)}`);
}

function Letters(runs) {
  return runs.map(([letter, count]) => letter.repeat(count)).join('');
}

const kFebruary2026 = [Week(1, 7), Week(8, 14), Week(15, 21), Week(22, 28)];
const kDecember2026 = [Week(1, 5, 2), Week(6, 12), Week(13, 19), Week(20, 26), Week(27, 31, 0, 2)];
const kJanuary2027 = [Week(1, 2, 5), Week(3, 9), Week(10, 16), Week(17, 23), Week(24, 30),
                      Week(31, 31, 0, 6)];
const kAugust2026 = [Week(1, 1, 6), Week(2, 8), Week(9, 15), Week(16, 22), Week(23, 29),
                     Week(30, 31, 0, 5)];

function Build(fields, index, haveLayer) {
  const { page } = LoadPage({ fields });
  page.GetCalendarOuterHTML(index, haveLayer);
  return page.CalendarOuterHTML;
}

test('February 2026 without phases, written out in full', () => {
  const day = (i) => `<TD width=18 class=p2><FONT COLOR="blue">${i}</FONT>`;
  const week = (first) => [0, 1, 2, 3, 4, 5, 6].map((i) => day(first + i)).join('') +
                          '<TR bgcolor=#FFFFFF>';
  const expected =
      '<table border=0 cellspacing=0 cellpadding=3 id=Calendar1>' +
      '<TR bgcolor=#FFCCCC><TD colspan=7 class=p2 align=center>2026 年 2 月' +
      '<TR bgcolor=#DADADA><TD width=18 class=p2>日<TD width=18 class=p2>一' +
      '<TD width=18 class=p2>二<TD width=18 class=p2>三<TD width=18 class=p2>四' +
      '<TD width=18 class=p2>五<TD width=18 class=p2>六' +
      '<TR bgcolor=#FFFFFF>' + week(1) + week(8) + week(15) + week(22) + '</TABLE>';
  const actual = Build({ txtYear: '2026', txtMonth: '2', txtDay: '10' }, 1, 0);
  AssertMarkup(actual, expected, 'February 2026');
  // Four full weeks: the markup ends with an empty week row.
  assert.ok(actual.endsWith('<FONT COLOR="blue">28</FONT><TR bgcolor=#FFFFFF></TABLE>'));
  assert.equal(Calendar({ index: 1, header: '2026 年 2 月', weeks: kFebruary2026 }), expected);
});

// Each month drawn without and with phases. The phase letters follow the cycle from the last
// period: d = the day's distance from it, r = d mod n.
const kMonths = [
  {
    what: 'February 2026 (Sunday to Saturday), n = 30 from 10 February',
    fields: { txtYear: '2026', txtMonth: '2', txtDay: '10', txtMinMensesCyc: '30' },
    index: 1, header: '2026 年 2 月', weeks: kFebruary2026,
    // 1-9 Feb: r = 21..29 safe; 10-14 menses; 15-20 r = 5..10 safe; 21-28 r = 11..18 danger.
    phases: Letters([['S', 9], ['M', 5], ['S', 6], ['D', 8]]),
  },
  {
    what: 'December 2026, n = 28 from 6 December',
    fields: { txtYear: '2026', txtMonth: '12', txtDay: '6', txtMinMensesCyc: '28' },
    index: 1, header: '2026 年 12 月', weeks: kDecember2026,
    phases: Letters([['S', 5], ['M', 5], ['S', 4], ['D', 10], ['S', 7]]),
  },
  {
    what: 'January 2027 as calendar 2 of December 2026, n = 28 from 6 December',
    fields: { txtYear: '2026', txtMonth: '12', txtDay: '6', txtMinMensesCyc: '28' },
    index: 2, header: '2027 年 1 月', weeks: kJanuary2027,
    // 1 Jan is d = 26; 3 Jan and 31 Jan begin cycles.
    phases: Letters([['S', 2], ['M', 5], ['S', 4], ['D', 10], ['S', 9], ['M', 1]]),
  },
  {
    what: 'August 2026 (begins on a Saturday), month typed "08", n = 24 from 20 August',
    fields: { txtYear: '2026', txtMonth: '08', txtDay: '20', txtMinMensesCyc: '24' },
    index: 1, header: '2026 年 8 月', weeks: kAugust2026,
    // 1-10 Aug: r = 5..14 danger; 11-19 safe; 20-24 menses; 25-31 r = 5..11 danger.
    phases: Letters([['D', 10], ['S', 9], ['M', 5], ['D', 7]]),
  },
  {
    what: 'August 2026 as calendar 2 of July, n = 35 from 3 July, day typed "3.9"',
    fields: { txtYear: '2026', txtMonth: '7', txtDay: '3.9', txtMinMensesCyc: '35' },
    index: 2, header: '2026 年 8 月', weeks: kAugust2026,
    // 1 Aug is d = 29: safe to r = 34 (6 Aug); 7 Aug begins a cycle (d = 35).
    phases: Letters([['S', 6], ['M', 5], ['S', 11], ['D', 9]]),
  },
];

test('month calendars without phases', () => {
  for (const month of kMonths) {
    AssertMarkup(Build(month.fields, month.index, 0),
                 Calendar({ index: month.index, header: month.header, weeks: month.weeks }),
                 month.what);
  }
});

test('month calendars with phases and tooltips', () => {
  for (const month of kMonths) {
    assert.equal(month.phases.length, month.weeks.flat().filter((d) => d !== null).length);
    AssertMarkup(Build(month.fields, month.index, 1), Calendar(month), month.what);
  }
});

test('layer indexes: 41 to 71 in calendar 1, from 81 in calendar 2', () => {
  const fields = { txtYear: '2026', txtMonth: '12', txtDay: '6' };
  const ids = (markup) => [...markup.matchAll(/id="tooltip(\d+)"/g)].map((m) => Number(m[1]));
  const first = ids(Build(fields, 1, 1));
  const second = ids(Build(fields, 2, 1));
  assert.equal(first[0], 41);
  assert.equal(first[30], 71);
  assert.equal(first.length, 31);
  assert.equal(second[0], 81);
  assert.equal(second[30], 111);
  assert.ok(Build(fields, 1, 1).includes('onMouseOut="hidetip2(71)"'));
});

test('headers: December\'s calendar 2 is January of the next year', () => {
  const cases = [
    // [year text, month text, calendar 1 header, calendar 2 header]
    ['2026', '12', '2026 年 12 月', '2027 年 1 月'],
    ['2e3', '12', '2e3 年 12 月', '2001 年 1 月'],
    [' 2026', '12', ' 2026 年 12 月', '2027 年 1 月'],
    ['2026', '11', '2026 年 11 月', '2026 年 12 月'],
    ['2026', '08', '2026 年 8 月', '2026 年 9 月'],
    ['2026', '1', '2026 年 1 月', '2026 年 2 月'],
  ];
  for (const [year, month, first, second] of cases) {
    const fields = { txtYear: year, txtMonth: month, txtDay: '1' };
    const header = (markup) => markup.match(/align=center>([^<]*)</)[1];
    assert.equal(header(Build(fields, 1, 1)), first, `${year}/${month} calendar 1`);
    assert.equal(header(Build(fields, 2, 1)), second, `${year}/${month} calendar 2`);
  }
  // 2e3 is the year 2000: its December and the next January are laid out as those months.
  const december2000 = Build({ txtYear: '2e3', txtMonth: '12', txtDay: '1' }, 1, 0);
  assert.ok(december2000.includes(`${kWeekRow}${kCell.repeat(6)}<FONT COLOR="blue">1</FONT>`),
            '1 December 2000 was a Friday: five empty cells before it');
});

test('a shortest cycle that is no number draws every day blue with a tip of just a space', () => {
  for (const cycle of ['', '   ', 'ab', '.5', '+']) {
    const fields = { txtYear: '2026', txtMonth: '12', txtDay: '6', txtMinMensesCyc: cycle };
    for (const index of [1, 2]) {
      const weeks = index === 1 ? kDecember2026 : kJanuary2027;
      const header = index === 1 ? '2026 年 12 月' : '2027 年 1 月';
      AssertMarkup(Build(fields, index, 1),
                   Calendar({ index, header, weeks, phases: 'U'.repeat(31) }),
                   `cycle ${JSON.stringify(cycle)}, calendar ${index}`);
    }
  }
  assert.ok(Tip(kPhases.U).includes('TEXT-DECORATION:none> </TD>'));
});

test('a year beyond the range of dates: no empty cells, every day unclassified', () => {
  const fields = { txtYear: '9e99', txtMonth: '3', txtDay: '1' };
  const days = [Week(1, 7), Week(8, 14), Week(15, 21), Week(22, 28), Week(29, 31)];
  const header = '9e99 年 3 月';
  AssertMarkup(Build(fields, 1, 1), Calendar({ index: 1, header, weeks: days,
                                               phases: 'U'.repeat(31) }), 'with phases');
  AssertMarkup(Build(fields, 1, 0), Calendar({ index: 1, header, weeks: days }), 'plain');
});

test('each build starts afresh and leaves the displayed month\'s length', () => {
  const { page } = LoadPage({ fields: { txtYear: '2026', txtMonth: '12', txtDay: '6' } });
  page.GetCalendarOuterHTML(1, 1);
  page.GetCalendarOuterHTML(2, 0);
  assert.equal(page.CalendarOuterHTML, Calendar({ index: 2, header: '2027 年 1 月',
                                                  weeks: kJanuary2027 }));
  assert.equal(page.DaysPerMonth, 31);
  page.PageEngine.fields.txtMonth = '2';
  page.GetCalendarOuterHTML(1, 0);
  assert.equal(page.DaysPerMonth, 28);
});

test('tooltips show 10 px right of and below the pointer in page coordinates', () => {
  const { page, engine } = LoadPage();
  const tip = Tip(kPhases.D);
  engine.scroll = { left: 30, top: 200 };
  page.showtip2({}, { clientX: 100, clientY: 50 }, tip, 45);
  assert.deepEqual(engine.calls, [
    ['SetInnerMarkup', 'tooltip45', tip + '</TABLE>'],
    ['MoveElement', 'tooltip45', 140, 260],
    ['ShowElement', 'tooltip45', true],
  ]);
  engine.calls = [];
  page.hidetip2(45);
  assert.deepEqual(engine.calls, [['ShowElement', 'tooltip45', false]]);
});

test('before the document has loaded a tooltip does not show, but hiding still works', () => {
  const { page, engine } = LoadPage();
  engine.readyState = 'interactive';
  page.showtip2({}, { clientX: 1, clientY: 1 }, Tip(kPhases.S), 81);
  assert.deepEqual(engine.calls, []);
  page.hidetip2(81);
  assert.deepEqual(engine.calls, [['ShowElement', 'tooltip81', false]]);
});

test('bad input: any field texts still give one whole table and never throw', () => {
  const texts = ['', ' ', 'abc', '-5', '0', '13', '99', '1e400', '9e99', '.5', '２', '<b>',
                 '2026', '12', '31', '-2026', '2.5', '1'.repeat(500)];
  const { page, engine } = LoadPage();
  for (const year of texts) {
    for (const month of texts) {
      const fields = { txtYear: year, txtMonth: month, txtDay: '31', txtMinMensesCyc: '28' };
      Object.assign(engine.fields, fields);
      for (const index of [1, 2]) {
        page.GetCalendarOuterHTML(index, 1);
        const markup = page.CalendarOuterHTML;
        const start = `<table border=0 cellspacing=0 cellpadding=3 id=Calendar${index}>`;
        assert.ok(markup.startsWith(start), JSON.stringify(fields));
        assert.ok(markup.endsWith('</TABLE>'), JSON.stringify(fields));
      }
    }
  }
});
