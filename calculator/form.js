// The input form: start-up fills in today's date and draws the current month and the next one
// plain; DisplayCalendar checks the fields in a fixed order and, when all pass, draws both
// months coloured by phase.
/* exported Today, InitialCalendar, DisplayCalendar */
/* global PageEngine, GetNumericValue, GetIntegerValue, TruncateNumber, DaysPerMonth,
   GetDayPerMonth, GetCalendarOuterHTML, CalendarOuterHTML */

// The instant the script ran while the page loaded. Only start-up uses it; the future-date check
// asks for the clock afresh, so a page left open past midnight accepts the new day.
var Today = PageEngine.GetCurrentInstant();

// Builds both calendars and puts each in place of the table drawn before it. Each placement
// comes before the next build, which reuses CalendarOuterHTML.
function DrawCalendars(HaveLayer) {
  GetCalendarOuterHTML(1, HaveLayer);
  PageEngine.ReplaceElement("Calendar1", CalendarOuterHTML);
  GetCalendarOuterHTML(2, HaveLayer);
  PageEngine.ReplaceElement("Calendar2", CalendarOuterHTML);
}

function InitialCalendar() {
  PageEngine.SetFieldText("txtYear", String(Today.getFullYear()));
  PageEngine.SetFieldText("txtMonth", String(Today.getMonth() + 1));
  PageEngine.SetFieldText("txtDay", String(Today.getDate()));
  DrawCalendars(0);
  PageEngine.FocusField("btnCalculate");
}

function RefuseInput(message, fieldName) {
  PageEngine.ShowAlert(message);
  PageEngine.FocusField(fieldName);
  return false;
}

// Whether the date (year, month, day) lies after the local calendar date of `now`.
function IsLaterThanLocalDate(year, month, day, now) {
  var nowYear = now.getFullYear();
  var nowMonth = now.getMonth() + 1;
  if (year != nowYear) {
    return year > nowYear;
  }
  if (month != nowMonth) {
    return month > nowMonth;
  }
  return day > now.getDate();
}

function IsMonthNumber(value) {
  return value >= 1 && value <= 12;
}

// Checks the fields in order and reports only the first refusal, with the focus on its field;
// a refusal changes nothing else. When every check passes, both calendars are drawn with phases.
function DisplayCalendar() {
  var yearText = PageEngine.GetFieldText("txtYear");
  var monthText = PageEngine.GetFieldText("txtMonth");
  var year = GetNumericValue(yearText);
  var month = GetIntegerValue(monthText);
  var day = GetNumericValue(PageEngine.GetFieldText("txtDay"));
  var shortestText = PageEngine.GetFieldText("txtMinMensesCyc");
  var shortest = GetIntegerValue(shortestText);
  var longestText = PageEngine.GetFieldText("txtMaxMensesCyc");

  if (isNaN(year) || year < 1900) {
    return RefuseInput("请输入合法年份！", "txtYear");
  }
  // The month's integer value is what picks the month from here on: a text such as ".5e1" or
  // "0.1e2" is a month by its numeric value but names no month by its integer value.
  if (!IsMonthNumber(GetNumericValue(monthText)) || !IsMonthNumber(month)) {
    return RefuseInput("请输入合法月份！", "txtMonth");
  }
  GetDayPerMonth(yearText, month - 1);
  if (isNaN(day) || day < 1 || day > DaysPerMonth) {
    return RefuseInput("请输入合法日期！", "txtDay");
  }
  if (IsLaterThanLocalDate(TruncateNumber(year), month, TruncateNumber(day),
      PageEngine.GetCurrentInstant())) {
    return RefuseInput("请输入正确的上次月经时间(不能早于当前时间)！", "txtYear");
  }
  // Without a whole number at its start the shortest cycle classifies no day at all.
  if (isNaN(GetNumericValue(shortestText)) || isNaN(shortest)) {
    return RefuseInput("请输入数字！", "txtMinMensesCyc");
  }
  if (shortest > 40 || shortest < 24) {
    return RefuseInput("您输入的最短月经周期与标准月经周期相差太大，程序无法测试，请仔细核对。" +
        "\n\n如输入确无问题请咨询医生！", "txtMinMensesCyc");
  }
  if (isNaN(GetNumericValue(longestText)) || GetIntegerValue(longestText) < shortest) {
    return RefuseInput("输入错误，请仔细核对您的输入周期！", "txtMaxMensesCyc");
  }
  DrawCalendars(1);
}
