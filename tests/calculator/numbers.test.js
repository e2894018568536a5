'use strict';
// How field texts read as numbers: the numeric value (the whole text one decimal number) and the
// integer value (the whole number at the start).

const test = require('node:test');
const assert = require('node:assert/strict');
const { LoadPage } = require('./page_script.js');

const { page } = LoadPage();

// Object.is tells -0 from 0 and matches NaN with NaN.
function AssertSame(actual, expected, text) {
  assert.ok(Object.is(actual, expected), `${JSON.stringify(text)}: got ${actual}, want ${expected}`);
}

// [text, numeric value, integer value]
const kCases = [
  ['2026', 2026, 2026],
  ['08', 8, 8],
  ['0', 0, 0],
  ['-0', -0, -0],
  ['+5', 5, 5],
  ['-12', -12, -12],
  ['', 0, NaN],
  ['   ', 0, NaN],
  [' 12 ', 12, 12],
  ['\t12\n', 12, 12],
  ['\u00a012\u3000', 12, 12],
  ['\uFEFF7', 7, 7],
  ['\u000b\u000c\r\u2028\u202912\u1680\u2000\u200a\u202f\u205f', 12, 12],
  ['\u3000', 0, NaN],
  ['.5', 0.5, NaN],
  ['5.', 5, 5],
  ['5.5', 5.5, 5],
  ['2.5', 2.5, 2],
  ['+', NaN, NaN],
  ['-', NaN, NaN],
  ['.', NaN, NaN],
  ['1e', NaN, 1],
  ['e3', NaN, NaN],
  ['2e3', 2000, 2],
  ['2E3', 2000, 2],
  ['1.5e+1', 15, 1],
  ['5e-1', 0.5, 5],
  ['.5e1', 5, NaN],
  ['1.e1', 10, 1],
  ['9e99', 9e99, 9],
  ['1e400', Infinity, 1],
  ['0x1A', NaN, 0],
  ['0X1a', NaN, 0],
  ['0b1', NaN, 0],
  ['0o7', NaN, 0],
  ['Infinity', NaN, NaN],
  ['-Infinity', NaN, NaN],
  ['NaN', NaN, NaN],
  ['２０２６', NaN, NaN],
  ['2０', NaN, 2],
  ['12abc', NaN, 12],
  ['1 2', NaN, 1],
  ['1,5', NaN, 1],
  ['--1', NaN, NaN],
  ['+-1', NaN, NaN],
  ['1..2', NaN, 1],
  ['1e2.5', NaN, 1],
  ['12\u00a0\u00a0x', NaN, 12],
  // Characters some engines count as white space and the language does not.
  ['\u180e12', NaN, NaN],
  ['\u200b12', NaN, NaN],
  ['\u008512', NaN, NaN],
  ['<b>1</b>', NaN, NaN],
  ['00000000000000000000000000000000000008', 8, 8],
];

test('numeric and integer values of field texts', () => {
  for (const [text, numeric, integer] of kCases) {
    AssertSame(page.GetNumericValue(text), numeric, text);
    AssertSame(page.GetIntegerValue(text), integer, text);
  }
});

test('truncation toward zero keeps infinities and NaN', () => {
  const cases = [[2.9, 2], [-2.9, -2], [31, 31], [0.5, 0], [Infinity, Infinity], [NaN, NaN]];
  for (const [value, truncated] of cases) AssertSame(page.TruncateNumber(value), truncated, value);
});

test('bad input: texts of 100,000 characters and more are read whole and never throw', () => {
  const long = 100000;
  const texts = [
    '1'.repeat(long) + 'x',
    ' '.repeat(long) + 'x' + ' '.repeat(long),
    '\u3000'.repeat(long) + '1',
    '1'.repeat(long) + '.' + '1'.repeat(long) + 'e',
    'x'.repeat(long),
  ];
  const expected = [[NaN, Infinity], [NaN, NaN], [1, 1], [NaN, Infinity], [NaN, NaN]];
  texts.forEach((text, i) => {
    AssertSame(page.GetNumericValue(text), expected[i][0], text.slice(0, 20));
    AssertSame(page.GetIntegerValue(text), expected[i][1], text.slice(0, 20));
  });
  // Values that are not strings are read by their text.
  AssertSame(page.GetNumericValue(undefined), NaN, 'undefined');
  AssertSame(page.GetIntegerValue(null), NaN, 'null');
});
