'use strict';
// Day tooltips in Chromium: resting the pointer on a day number shows the phase's advice in the
// phase's colour 10 px right of and below the pointer, on a scrolled page too; leaving hides it.

const assert = require('node:assert/strict');
const { describe, test } = require('node:test');
const {
  CalculatorPage,
  UseChromium,
  kAdvice,
  kColour,
  kExampleFields,
} = require('./calculator_page.js');

const chromium = UseChromium();

const kDays = [
  // [calendar, day, phase]
  [1, 15, 'Danger'],
  [1, 6, 'Menses'],
  [1, 25, 'Safe'],
  [1, 31, 'Safe'],
  [2, 1, 'Safe'],
  [2, 3, 'Menses'],
  [2, 12, 'Danger'],
  [2, 31, 'Menses'],
];

// Every tooltip box the user can see now, with its box, text and the colour of its text.
function VisibleTooltips(page) {
  return page.evaluate(() =>
    Array.prototype.slice
      .call(document.querySelectorAll('div'))
      .filter((div) => getComputedStyle(div).visibility === 'visible' && /^tooltip/.test(div.id))
      .map((div) => {
        const box = div.getBoundingClientRect();
        const cell = div.querySelector('td');
        return {
          id: div.id,
          x: box.left,
          y: box.top,
          width: box.width,
          text: div.textContent,
          colour: cell ? getComputedStyle(cell).color : null,
          background: cell ? getComputedStyle(cell).backgroundColor : null,
        };
      }),
  );
}

function Scroll(page) {
  return page.evaluate(() => [document.body.scrollLeft, document.body.scrollTop]);
}

// Rests the pointer on the middle of a day number; returns where the pointer is.
async function PointAt(page, calendar, day) {
  const number = page.locator(`table#Calendar${calendar} font`).nth(day - 1);
  assert.equal(await number.textContent(), String(day));
  await number.scrollIntoViewIfNeeded();
  const box = await number.boundingBox();
  const x = Math.round(box.x + box.width / 2);
  const y = Math.round(box.y + box.height / 2);
  await page.mouse.move(x, y);
  return { x, y };
}

async function CheckTooltips(session) {
  const { page } = session;
  await session.Fill(kExampleFields);
  assert.deepEqual((await session.Press('开始计算')).alerts, []);
  assert.deepEqual(await VisibleTooltips(page), [], 'all tooltips hidden after drawing');
  const scrolls = [];
  for (const [calendar, day, phase] of kDays) {
    const pointer = await PointAt(page, calendar, day);
    const scroll = await Scroll(page);
    scrolls.push(scroll);
    const shown = await VisibleTooltips(page);
    const where = `calendar ${calendar}, day ${day}, scrolled to ${scroll}`;
    assert.equal(shown.length, 1, `one tooltip for ${where}`);
    const [tip] = shown;
    assert.equal(tip.id, `tooltip${40 * calendar + day}`, where);
    assert.equal(tip.x, pointer.x + 10, `left edge 10 px right of the pointer (${where})`);
    assert.equal(tip.y, pointer.y + 10, `top edge 10 px below the pointer (${where})`);
    assert.equal(tip.width, 150, where);
    assert.equal(tip.text.trim(), kAdvice[phase], where);
    assert.equal(tip.colour, kColour[phase], where);
    assert.equal(tip.background, 'rgb(255, 255, 255)', where);
    assert.deepEqual(await Scroll(page), scroll, 'showing a tooltip does not scroll the page');
    // Leaving the day number hides its tooltip. (The pointer goes off the calendars first: a
    // shown box covers the days below and right of it.)
    await page.mouse.move(1, 1);
    assert.deepEqual(await VisibleTooltips(page), [], `hidden after leaving (${where})`);
  }
  session.AssertNoScriptErrors();
  return scrolls;
}

describe('day tooltips', () => {
  test('show next to the pointer with the phase advice, hide on leave', async () => {
    const session = await CalculatorPage.Open(chromium.browser);
    const scrolls = await CheckTooltips(session);
    assert.ok(
      scrolls.every(([left, top]) => left === 0 && top === 0),
      'the large page never scrolls',
    );
    await session.Close();
  });

  test('on a scrolled page as well', async () => {
    const viewport = { width: 260, height: 200 };
    const session = await CalculatorPage.Open(chromium.browser, { viewport });
    const scrolls = await CheckTooltips(session);
    assert.ok(
      scrolls.some(([, top]) => top > 100),
      `the page scrolled down (${JSON.stringify(scrolls)})`,
    );
    assert.ok(
      scrolls.some(([left]) => left > 50),
      `the page scrolled sideways (${JSON.stringify(scrolls)})`,
    );
    await session.Close();
  });
});
