// One month calendar as table markup, every day coloured by its phase and carrying a hidden
// tooltip box with the phase's advice, and the pointer handlers that show and hide those boxes.
// The markup is the page's own and is compared byte for byte by its tests: attribute case and
// quoting included.
/* exported CalendarOuterHTML, GetCalendarOuterHTML, showtip2, hidetip2 */
/* global PageEngine, CyclePhase, GetNumericValue, GetIntegerValue, TruncateNumber, DaysPerMonth,
   GetDayPerMonth, GetDateInstant, GetUtcWeekday, GetCyclePhase, MillisecondsPerDay */

// The markup of the calendar built last.
var CalendarOuterHTML = "";

var WeekdayHeaderMarkup = "<TR bgcolor=#DADADA><TD width=18 class=p2>日<TD width=18 class=p2>一" +
    "<TD width=18 class=p2>二<TD width=18 class=p2>三<TD width=18 class=p2>四" +
    "<TD width=18 class=p2>五<TD width=18 class=p2>六";
var WeekRowMarkup = "<TR bgcolor=#FFFFFF>";
var CellMarkup = "<TD width=18 class=p2>";
var TooltipStyle = "position:absolute;visibility:hidden;clip:rect(0 150 150 0);width:150px;" +
    "background-color:seashell";

// The tooltip's content: a teal-framed white cell holding a space and the advice in the phase's
// colour. It holds no quotation mark, backslash or line break, so it can sit between the single
// quotes of an onMouseOver attribute unescaped.
function GetTipMarkup(phase) {
  return "<TABLE border=0 cellPadding=2 cellSpacing=1 width=100% align=center bgcolor=#008080>" +
      "<TR><TD style=BACKGROUND-COLOR:white;COLOR:" + phase.Colour +
      ";FONT-FAMILY:宋体;FONT-SIZE:9pt;TEXT-DECORATION:none> " + phase.Advice +
      "</TD></TR></TABLE>";
}

// The hidden tooltip box, its layer (for engines with layers) and the anchor start tag of one
// day whose layer index is `layer`.
function GetDayLayerMarkup(phase, layer) {
  return "<div id=\"tooltip" + layer + "\" style=\"" + TooltipStyle + "\">" +
      "<layer name=\"nstip" + layer + "\" width=\"1000px\" bgColor=\"seashell\" height=\"500px\">" +
      "</layer></div>" +
      "<a href=\"#\" onMouseOver=\"showtip2(this,event,'" + GetTipMarkup(phase) + "'," + layer +
      ")\" onMouseOut=\"hidetip2(" + layer + ")\">";
}

// Builds calendar `CalendarIndex` (1: the month of the entered date, 2: the month after it) from
// the form's fields into CalendarOuterHTML; with `HaveLayer` each day is coloured by its phase and
// gets its tooltip. The header shows the year as typed, so only a validated year may be in the
// field when this runs.
function GetCalendarOuterHTML(CalendarIndex, HaveLayer) {
  var yearText = PageEngine.GetFieldText("txtYear");
  var year = GetNumericValue(yearText);
  var month = GetIntegerValue(PageEngine.GetFieldText("txtMonth"));
  var day = TruncateNumber(GetNumericValue(PageEngine.GetFieldText("txtDay")));
  var cycleLength = GetIntegerValue(PageEngine.GetFieldText("txtMinMensesCyc"));
  var lastPeriod = GetDateInstant(year, month, day);
  var shownYear = year;
  var shownMonth = month + CalendarIndex - 1;
  var headerYear = yearText;
  var parts = [];
  var column = 0;
  var firstDay, weekday, i, phase, colour;

  CalendarOuterHTML = "";
  if (shownMonth > 12) {
    shownMonth = shownMonth % 12;
    shownYear = year + 1;
    headerYear = String(shownYear);
  }
  parts.push("<table border=0 cellspacing=0 cellpadding=3 id=Calendar" + CalendarIndex + ">",
      "<TR bgcolor=#FFCCCC><TD colspan=7 class=p2 align=center>",
      headerYear + " 年 ", shownMonth + " 月", WeekdayHeaderMarkup, WeekRowMarkup);

  // A month beyond the range of date values has no weekdays: it gets no empty cells at all.
  firstDay = GetDateInstant(shownYear, shownMonth, 1);
  weekday = GetUtcWeekday(firstDay);
  for (i = 0; i < weekday; i++) {
    parts.push(CellMarkup);
    column++;
  }

  GetDayPerMonth(shownYear, shownMonth - 1);
  for (i = 1; i <= DaysPerMonth; i++) {
    parts.push(CellMarkup);
    colour = CyclePhase.Unclassified.Colour;
    if (HaveLayer) {
      phase = GetCyclePhase(lastPeriod, firstDay + (i - 1) * MillisecondsPerDay, cycleLength);
      colour = phase.Colour;
      parts.push(GetDayLayerMarkup(phase, 40 * CalendarIndex + i));
    }
    parts.push("<FONT COLOR=\"" + colour + "\">" + i + "</FONT>");
    column++;
    if (column == 7) {
      parts.push(WeekRowMarkup);
      column = 0;
    }
  }

  weekday = GetUtcWeekday(firstDay + (DaysPerMonth - 1) * MillisecondsPerDay);
  for (i = weekday; i < 6; i++) {
    parts.push(CellMarkup);
  }
  parts.push("</TABLE>");
  CalendarOuterHTML = parts.join("");
}

// Shows tooltip box `index` with `text` 10 pixels right of and below the pointer, in page
// coordinates. Before the document has finished loading the boxes may not all exist yet.
function showtip2(current, e, text, index) {
  var id = "tooltip" + index;
  if (!PageEngine.IsDocumentComplete()) {
    return;
  }
  PageEngine.SetInnerMarkup(id, text + "</TABLE>");
  PageEngine.MoveElement(id, PageEngine.GetPointerX(e) + PageEngine.GetScrollLeft() + 10,
      PageEngine.GetPointerY(e) + PageEngine.GetScrollTop() + 10);
  PageEngine.ShowElement(id, true);
}

function hidetip2(index) {
  PageEngine.ShowElement("tooltip" + index, false);
}
