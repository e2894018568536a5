// Time of one calculation in headless Chromium: both calendars built with phases and each placed
// with outerHTML, as a successful press of "开始计算" does, measured inside the page.
//
//   node bench/page/calculation.mjs [CALCULATOR_PAGE] [RUNS]
//
// The page's bytes are served from an intercepted http://localhost address with cross-origin
// isolation headers (nothing goes over the network): an isolated page gets a 5 us
// performance.now(); a file:// page only 100 us, too coarse for a sub-millisecond figure.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');
// The same browser switches as the page tests.
const { kChromiumArgs } = require('../../tests/page/calculator_page.js');

const pageFile = process.argv[2] || process.env.PLQ_CALCULATOR_PAGE;
const runs = Number(process.argv[3] || 2000);
const warmUp = 300;
if (!pageFile || !(runs > 0)) {
  console.error('usage: calculation.mjs CALCULATOR_PAGE [RUNS]');
  process.exit(2);
}

const browser = await chromium.launch({
  executablePath: process.env.PLQ_CHROMIUM || '/usr/bin/chromium',
  args: kChromiumArgs,
});
try {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('dialog', (dialog) => {
    errors.push(`alert: ${dialog.message()}`);
    dialog.dismiss().catch(() => {});
  });
  const bytes = readFileSync(pageFile);
  await page.route('http://localhost/plqclear.htm', (route) =>
    route.fulfill({
      body: bytes,
      headers: {
        'Content-Type': 'text/html; charset=gb2312',
        'Cross-Origin-Opener-Policy': 'same-origin',
        'Cross-Origin-Embedder-Policy': 'require-corp',
      },
    }),
  );
  await page.goto('http://localhost/plqclear.htm');

  // Each series times `runs` repetitions of one step after `warmUp` untimed ones. The first is
  // the figure that counts; the other two show where its time goes.
  const result = await page.evaluate(
    ({ warmUp, runs }) => {
      const form = document.forms.frmInput;
      const fields = { txtYear: '2026', txtMonth: '12', txtDay: '6', txtMinMensesCyc: '28' };
      for (const name of Object.keys(fields)) form.elements[name].value = fields[name];
      const Place = (index) => {
        document.getElementById(`Calendar${index}`).outerHTML = CalendarOuterHTML;
      };
      const Time = (step) => {
        const times = [];
        for (let i = 0; i < warmUp + runs; i++) {
          const start = performance.now();
          step();
          const time = performance.now() - start;
          if (i >= warmUp) times.push(time);
          // Lay the page out between runs, as the browser does between two presses.
          void document.body.offsetHeight;
        }
        return times;
      };
      const series = {
        'calculation (both calendars with phases, placed)': Time(() => {
          GetCalendarOuterHTML(1, 1);
          Place(1);
          GetCalendarOuterHTML(2, 1);
          Place(2);
        }),
        '  of which building the markup alone': Time(() => {
          GetCalendarOuterHTML(1, 1);
          GetCalendarOuterHTML(2, 1);
        }),
        'start-up calendars (no phases, placed)': Time(() => {
          GetCalendarOuterHTML(1, 0);
          Place(1);
          GetCalendarOuterHTML(2, 0);
          Place(2);
        }),
      };
      GetCalendarOuterHTML(1, 1);
      const markup = CalendarOuterHTML.length;
      Place(1);
      GetCalendarOuterHTML(2, 1);
      Place(2);
      return {
        series,
        markup,
        isolated: self.crossOriginIsolated,
        anchors: document.querySelectorAll('#Calendar1 a, #Calendar2 a').length,
      };
    },
    { warmUp, runs },
  );
  if (errors.length || result.anchors !== 62) {
    throw new Error(`the page did not draw two phased calendars: ${errors.join('; ')}`);
  }

  const ms = (value) => value.toFixed(3);
  console.log(`Chromium ${browser.version()}; ${runs} runs per series after ${warmUp} warm-up;`);
  console.log(
    `timer ${result.isolated ? '5 us' : '100 us (not isolated)'}; ` +
      `one phased calendar is ${result.markup} characters of markup`,
  );
  let figure;
  for (const [name, times] of Object.entries(result.series)) {
    const sorted = times.slice().sort((a, b) => a - b);
    const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
    figure = figure === undefined ? at(0.5) : figure;
    console.log(name);
    console.log(
      `  median ${ms(at(0.5))} ms   p10 ${ms(at(0.1))} ms   p90 ${ms(at(0.9))} ms   ` +
        `min ${ms(sorted[0])} ms   max ${ms(sorted[sorted.length - 1])} ms`,
    );
  }
  console.log(`goal, a calculation's median at most 0.300 ms: ${figure <= 0.3 ? 'met' : 'NOT met'}`);
} finally {
  await browser.close();
}
