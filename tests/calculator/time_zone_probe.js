'use strict';
// Run by time_zones.test.js under a TZ of its choosing: loads the page at a fixed instant and
// prints, as JSON, what start-up fills in, what the checks say about today and tomorrow, and the
// calendars drawn for dates around daylight-saving changes.

const { LoadPage } = require('./page_script.js');

const loadedAt = new Date(Number(process.argv[2]));
const { page, engine } = LoadPage({ now: loadedAt });
page.InitialCalendar();
const startup = [engine.fields.txtYear, engine.fields.txtMonth, engine.fields.txtDay];
const startupCalendars = engine.calls.filter((call) => call[0] === 'ReplaceElement')
                                     .map((call) => call[2]);

function Outcome(fields) {
  Object.assign(engine.fields, fields);
  engine.calls = [];
  page.DisplayCalendar();
  return engine.calls[0][0] === 'ShowAlert' ? engine.calls[0][1] : 'drawn';
}

const today = Outcome({});
const tomorrow = Outcome({ txtDay: String(Number(startup[2]) + 1) });

const calendars = [];
for (const [year, month, day, cycle] of [['2026', '3', '1', '30'], ['2026', '10', '20', '28'],
                                         ['2026', '3', '29', '24'], ['2e3', '2', '29', '40'],
                                         ['1900', '12', '31', '35']]) {
  Object.assign(engine.fields, { txtYear: year, txtMonth: month, txtDay: day,
                                 txtMinMensesCyc: cycle, txtMaxMensesCyc: cycle });
  for (const index of [1, 2]) {
    page.GetCalendarOuterHTML(index, 1);
    calendars.push(page.CalendarOuterHTML);
  }
}

process.stdout.write(JSON.stringify({ startup, startupCalendars, today, tomorrow, calendars }));
