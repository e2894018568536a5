// The calculator's domain rule: which phase of a regular cycle a calendar day falls in, and how
// many days a month has. Calendar dates are handled as their 00:00 UTC instant in milliseconds,
// so day differences and weekdays come out the same in every time zone.
/* exported MillisecondsPerDay, CyclePhase, DaysPerMonth, montharr, GetDayPerMonth,
   GetDateInstant, GetUtcWeekday, GetCyclePhase */
/* global GetNumericValue */

var MillisecondsPerDay = 86400000;

var CyclePhase = {
  Menses: {
    Colour: "#FF9900",
    Advice: "这是月经期，要注意经期卫生，当然也要“节欲”，避免性事哦！"
  },
  Safe: {
    Colour: "#009933",
    Advice: "这是安全期，性事一般不会受孕，您放心吧！"
  },
  Danger: {
    Colour: "#FF3300",
    Advice: "这是危险期，亦称排卵期，性事受孕可能性大，千万要注意哦！"
  },
  Unclassified: {
    Colour: "blue",
    Advice: ""
  }
};

// The length of the month that GetDayPerMonth looked up last.
var DaysPerMonth = 0;

// The month-length table: the twelve counts as arguments in month order, stored under the indexes
// 0 (January) to 11. Built with `new`.
function montharr() {
  var month;
  for (month = 0; month < 12; month++) {
    this[month] = arguments[month];
  }
}

function IsLeapYear(year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Sets DaysPerMonth to the length of `month` (0 for January) in `year`, which may be a number or
// a field's text. A fresh table each call keeps a leap February from outliving the call.
function GetDayPerMonth(year, month) {
  var table = new montharr(31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31);
  var yearValue = typeof year == "number" ? year : GetNumericValue(year);
  if (month == 1 && IsLeapYear(yearValue)) {
    table[1] = 29;
  }
  DaysPerMonth = table[month];
}

// The instant of 00:00 UTC on a Gregorian date (month 1 to 12), or NaN for a date beyond the
// range of date values. Date.UTC would read the years 0 to 99 as 1900 to 1999; setUTCFullYear
// takes every year as written.
function GetDateInstant(year, month, day) {
  var date = new Date(0);
  date.setUTCFullYear(year, month - 1, day);
  return date.getTime();
}

// Sunday = 0 to Saturday = 6; NaN for NaN.
function GetUtcWeekday(instant) {
  return new Date(instant).getUTCDay();
}

// The phase of the day at instant `day` in a cycle of `cycleLength` days whose last period began
// on the day at instant `lastPeriod`. The cycle repeats backwards from the last period as well as
// forwards. Any NaN (no cycle length, a cycle of 0, a date with no instant) leaves the day
// Unclassified, since every comparison with NaN is false.
function GetCyclePhase(lastPeriod, day, cycleLength) {
  var difference = Math.floor((day - lastPeriod) / MillisecondsPerDay);
  var position = ((difference % cycleLength) + cycleLength) % cycleLength;
  var phase = CyclePhase.Unclassified;
  // Later ranges win where a cycle too short for the rule makes them overlap.
  if (position >= 0 && position <= 4) {
    phase = CyclePhase.Menses;
  }
  if (position >= 5 && position <= cycleLength - 20) {
    phase = CyclePhase.Safe;
  }
  if (position >= cycleLength - 19 && position <= cycleLength - 10) {
    phase = CyclePhase.Danger;
  }
  if (position >= cycleLength - 9 && position <= cycleLength - 1) {
    phase = CyclePhase.Safe;
  }
  return phase;
}
