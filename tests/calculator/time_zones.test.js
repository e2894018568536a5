'use strict';
// The page in different time zones: start-up shows the local date, the future-date check takes
// the local date, and the calendars (weekdays, phases) are the same everywhere. Each zone runs in
// its own node process, since a process's time zone is fixed when its first date is made.

const test = require('node:test');
const assert = require('node:assert/strict');
const { execFile } = require('node:child_process');
const path = require('node:path');
const { promisify } = require('node:util');

async function RunIn(zone, instant) {
  const { stdout } = await promisify(execFile)(
      process.execPath, [path.join(__dirname, 'time_zone_probe.js'), String(instant)],
      { env: { ...process.env, TZ: zone }, encoding: 'utf8', timeout: 30000 });
  return JSON.parse(stdout);
}

// 23:30 UTC on 6 December 2026 is 07:30 on the 7th in Shanghai (before 08:00), 18:30 on the 6th
// in New York, 13:30 on the 7th at UTC+14. 01:00 UTC on the 7th is 09:00 in Shanghai and still
// the 6th in New York.
const kLateOn6th = Date.UTC(2026, 11, 6, 23, 30);
const kEarlyOn7th = Date.UTC(2026, 11, 7, 1, 0);

const kZones = [
  // [zone, instant, local day shown at start-up]
  ['UTC', kLateOn6th, '6'],
  ['Asia/Shanghai', kLateOn6th, '7'],
  ['Asia/Shanghai', kEarlyOn7th, '7'],
  ['America/New_York', kLateOn6th, '6'],
  ['America/New_York', kEarlyOn7th, '6'],
  ['Pacific/Kiritimati', kLateOn6th, '7'],
  ['Pacific/Pago_Pago', kEarlyOn7th, '6'],
  ['Australia/Lord_Howe', kLateOn6th, '7'],
  ['Europe/London', kEarlyOn7th, '7'],
];

test('start-up date, checks of today and tomorrow, and calendars in each time zone', async () => {
  const [reference, ...runs] = await Promise.all(
      [RunIn('UTC', kLateOn6th), ...kZones.map(([zone, instant]) => RunIn(zone, instant))]);
  for (const [i, [zone, instant, day]] of kZones.entries()) {
    const seen = runs[i];
    const what = `${zone} at ${new Date(instant).toISOString()}`;
    assert.deepEqual(seen.startup, ['2026', '12', day], what);
    assert.equal(seen.today, 'drawn', `${what}: the start-up date passes`);
    assert.equal(seen.tomorrow, '请输入正确的上次月经时间(不能早于当前时间)！',
                 `${what}: the next local day is refused`);
    assert.deepEqual(seen.calendars, reference.calendars, `${what}: calendars`);
    if (day === reference.startup[2]) {
      assert.deepEqual(seen.startupCalendars, reference.startupCalendars, `${what}: start-up`);
    }
  }
});
