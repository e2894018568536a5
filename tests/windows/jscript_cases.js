// The cases the page's script runs on node and on the old engine's JScript alike; each Run...
// function returns what it saw as lines, which jscript_test.js compares between the two. Plain
// ES3, loaded after the page's script:
//   RunForm(): start-up and form submissions with what a user can type, on the fake engine
//     (tests/calculator/fake_engine.js), and every event handler of the markup drawn;
//   RunEnginePaths(): each path of engine.js once, on the IE object model's stand-in
//     (ie_standin.js);
//   RunStartup(instants): start-up at each instant, in the time zone of the run, then the date it
//     filled in and the day after it submitted.

var Lines = [];

// One line per call, markup one cell to a line, so that a difference names its day.
function Emit(text) {
  var line = String(text).split("\r").join("\\r").split("\n").join("\\n");
  Lines.push(line.split("<TD").join("\n<TD"));
}

function TakeLines() {
  var text = Lines.join("\n");
  Lines = [];
  return text;
}

function Quote(text) {
  return "\"" + text + "\"";
}

function Pad(number) {
  return number < 10 ? "0" + number : String(number);
}

function LocalTime(date) {
  return date.getFullYear() + "-" + Pad(date.getMonth() + 1) + "-" + Pad(date.getDate()) + " " +
      Pad(date.getHours()) + ":" + Pad(date.getMinutes());
}

// The page as if it had loaded at `now`: the fake takes the engine's place, Today is its clock.
function LoadFake(now, fields) {
  PageEngine = new FakeEngine({ now: now, fields: fields });
  Today = PageEngine.GetCurrentInstant();
}

// Markup already printed once, and event handlers already run once: the same again says so.
var SeenMarkup = {};
var SeenHandlers = {};
var CaseNumber = 0;

function RunHandlers(markup) {
  var attribute = / on(\w+)="([^"]*)"/g;
  var found, handler, i;
  while ((found = attribute.exec(markup)) != null) {
    if (!SeenHandlers.hasOwnProperty(found[2])) {
      SeenHandlers[found[2]] = true;
      // Compiled as the control compiles an attribute: a function run with the element as this
      // and the event at window.event.
      handler = new Function(found[2]);
      PageEngine.calls = [];
      event = { clientX: 15, clientY: 27 };
      handler.call({});
      Emit("on" + found[1]);
      for (i = 0; i < PageEngine.calls.length; i++) {
        EmitCall(PageEngine.calls[i]);
      }
    }
  }
}

function EmitCall(call) {
  var markup = call[2];
  if (call[0] == "ReplaceElement") {
    if (SeenMarkup.hasOwnProperty(markup)) {
      Emit(call[0] + " " + call[1] + " as in case " + SeenMarkup[markup]);
      return;
    }
    SeenMarkup[markup] = CaseNumber;
  }
  Emit(call.join(" "));
}

// The page's calls since the fake was loaded; the handlers of markup drawn for the first time
// run after it.
function EmitCalls(result) {
  var calls = PageEngine.calls;
  var i;
  for (i = 0; i < calls.length; i++) {
    EmitCall(calls[i]);
  }
  Emit("returns " + result);
  PageEngine.scroll = { left: 30, top: 200 };
  for (i = 0; i < calls.length; i++) {
    if (calls[i][0] == "ReplaceElement" && SeenMarkup[calls[i][2]] == CaseNumber) {
      RunHandlers(calls[i][2]);
    }
  }
}

function Submit(now, fields) {
  CaseNumber++;
  LoadFake(now, fields);
  Emit("case " + CaseNumber + " at " + LocalTime(now) + ": " +
      [Quote(PageEngine.fields.txtYear), Quote(PageEngine.fields.txtMonth),
        Quote(PageEngine.fields.txtDay), Quote(PageEngine.fields.txtMinMensesCyc),
        Quote(PageEngine.fields.txtMaxMensesCyc)].join(" "));
  EmitCalls(DisplayCalendar());
}

function StartUp(now) {
  CaseNumber++;
  LoadFake(now, {});
  Emit("case " + CaseNumber + ": start-up at " + LocalTime(now));
  EmitCalls(InitialCalendar());
}

// What a user can type into each field: no more characters than its maxlength (year 4, month 2,
// day 2, cycles 2), from the keyboard or an input method (full-width digits, the ideographic
// space).
var YearTexts = ["", " ", "0", "19", "1899", "1900", "1901", "1999", "2000", "2023", "2024",
  "2025", "2026", "2027", "2100", "9999", "2e3", "2E3", "2e+3", ".2e4", "2.e3", "2e3 ", " 2e3",
  "1e3", "1e99", "+2e3", "-1", "20.5", "0x7E", " 202", "\uFF12\uFF10\uFF12\uFF16", "\u3000202",
  "abc"];
var MonthTexts = ["", " ", "0", "00", "1", "01", "2", "02", "3", "4", "6", "9", "09", "10", "11",
  "12", "13", "20", "99", "-1", "+1", "1.", "2.", ".5", "1e", "1e1", "0x", "ab", "\uFF11",
  "\u30001", "1\u3000", "8 "];
var DayTexts = ["", " ", "0", "00", "1", "01", "6", "06", "7", "8", "9", "10", "28", "29", "30",
  "31", "32", "99", "-1", "+6", "1.", "6.", ".5", "1e", "3e1", "ab", "\uFF16", "\u30006",
  "6\u3000"];
var CycleTexts = ["", " ", "0", "00", "9", "10", "23", "24", "25", "28", "29", "30", "35", "39",
  "40", "41", "99", "-1", "+", "+2", "2e", "4e", "2.", ".5", "ab", "\uFF12\uFF18", " 2", "2 ",
  "\u30002"];

// Further texts from the same keys, the same on both engines: a linear congruential generator
// whose products stay below 2^53, so every step is exact.
var RandomState = 20261207;
var TypedCharacters = ["0", "1", "2", "3", "6", "9", ".", "e", "+", "-", " ", "\u3000", "\uFF12",
  "x"];

function RandomIndex(count) {
  RandomState = (RandomState * 1664525 + 1013904223) % 4294967296;
  return Math.floor(RandomState / 4294967296 * count);
}

// A text of up to maxLength characters, or half the time `valid`.
function RandomText(valid, maxLength) {
  var length = RandomIndex(maxLength + 1);
  var text = "";
  var i;
  if (RandomIndex(2) == 0) {
    return valid;
  }
  for (i = 0; i < length; i++) {
    text += TypedCharacters[RandomIndex(TypedCharacters.length)];
  }
  return text;
}

function RunForm() {
  var noon = new Date(2026, 11, 7, 12, 0, 0);
  var i, j, day;
  var instants = [noon, new Date(2026, 11, 31, 23, 59, 30), new Date(2027, 0, 1, 0, 0, 30),
    new Date(2028, 1, 29, 12, 0, 0), new Date(2026, 0, 1, 8, 0, 0)];
  for (i = 0; i < instants.length; i++) {
    StartUp(instants[i]);
  }
  for (i = 0; i < YearTexts.length; i++) {
    Submit(noon, { txtYear: YearTexts[i], txtMonth: "12", txtDay: "6" });
    Submit(noon, { txtYear: YearTexts[i], txtMonth: "2", txtDay: "29" });
  }
  for (i = 0; i < MonthTexts.length; i++) {
    for (j = 28; j <= 32; j++) {
      Submit(noon, { txtYear: "2026", txtMonth: MonthTexts[i], txtDay: String(j) });
    }
  }
  for (i = 0; i < DayTexts.length; i++) {
    Submit(noon, { txtYear: "2026", txtMonth: "12", txtDay: DayTexts[i] });
    Submit(noon, { txtYear: "2024", txtMonth: "2", txtDay: DayTexts[i] });
  }
  for (i = 0; i < CycleTexts.length; i++) {
    Submit(noon, { txtYear: "2026", txtMonth: "11", txtDay: "20", txtMinMensesCyc: CycleTexts[i],
      txtMaxMensesCyc: "40" });
    Submit(noon, { txtYear: "2026", txtMonth: "11", txtDay: "20", txtMinMensesCyc: "28",
      txtMaxMensesCyc: CycleTexts[i] });
    Submit(noon, { txtYear: "2026", txtMonth: "11", txtDay: "20", txtMinMensesCyc: CycleTexts[i],
      txtMaxMensesCyc: CycleTexts[i] });
  }
  for (i = 0; i < 300; i++) {
    Submit(noon, { txtYear: RandomText("2026", 4), txtMonth: RandomText("11", 2),
      txtDay: RandomText("30", 2), txtMinMensesCyc: RandomText("29", 2),
      txtMaxMensesCyc: RandomText("33", 2) });
  }
  // Around midnight and the year's end the future-date check meets the clock.
  for (i = 1; i < instants.length; i++) {
    for (j = -1; j <= 1; j++) {
      day = new Date(instants[i].getFullYear(), instants[i].getMonth(),
          instants[i].getDate() + j);
      Submit(instants[i], { txtYear: String(day.getFullYear()),
        txtMonth: String(day.getMonth() + 1), txtDay: String(day.getDate()) });
    }
  }
  return TakeLines();
}

// What the page made of a submission: "drawn", or the message and the field focused.
function Outcome() {
  var calls;
  PageEngine.calls = [];
  DisplayCalendar();
  calls = PageEngine.calls;
  if (calls.length == 2 && calls[0][0] == "ReplaceElement") {
    return "drawn";
  }
  return calls.join(" / ");
}

function RunStartup(instants) {
  var i, fields, next;
  for (i = 0; i < instants.length; i++) {
    StartUp(new Date(instants[i]));
    fields = PageEngine.fields;
    Emit("filled in " + fields.txtYear + "-" + fields.txtMonth + "-" + fields.txtDay);
    Emit("today: " + Outcome());
    next = new Date(Number(fields.txtYear), Number(fields.txtMonth) - 1,
        Number(fields.txtDay) + 1);
    fields.txtYear = String(next.getFullYear());
    fields.txtMonth = String(next.getMonth() + 1);
    fields.txtDay = String(next.getDate());
    Emit("tomorrow: " + Outcome());
  }
  return TakeLines();
}

// [the path and its arguments, a call of it returning what it left in the object model]
var EnginePaths = [
  ["GetFieldText txtYear", function () {
    StandinFields.txtYear.value = "2026";
    return PageEngine.GetFieldText("txtYear");
  }],
  ["SetFieldText txtDay 7", function () {
    PageEngine.SetFieldText("txtDay", "7");
    return StandinFields.txtDay.value;
  }],
  ["FocusField btnCalculate", function () {
    PageEngine.FocusField("btnCalculate");
  }],
  ["GetElement tooltip41", function () {
    return PageEngine.GetElement("tooltip41") == StandinElements.tooltip41;
  }],
  ["ReplaceElement Calendar1", function () {
    var old = PageEngine.GetElement("Calendar1");
    PageEngine.ReplaceElement("Calendar1", "<table border=0 id=Calendar1></TABLE>");
    return PageEngine.GetElement("Calendar1") != old;
  }],
  ["SetInnerMarkup tooltip41", function () {
    PageEngine.SetInnerMarkup("tooltip41", "<TABLE><TR><TD>tip</TABLE>");
    return StandinElements.tooltip41.innerHTML;
  }],
  ["MoveElement tooltip41 55 237", function () {
    PageEngine.MoveElement("tooltip41", 55, 237);
    return StandinElements.tooltip41.style.left + " " + StandinElements.tooltip41.style.top;
  }],
  ["ShowElement tooltip41 true", function () {
    PageEngine.ShowElement("tooltip41", true);
    return StandinElements.tooltip41.style.visibility;
  }],
  ["ShowElement tooltip41 false", function () {
    PageEngine.ShowElement("tooltip41", false);
    return StandinElements.tooltip41.style.visibility;
  }],
  ["GetPointerX window.event", function () {
    return PageEngine.GetPointerX(window.event);
  }],
  ["GetPointerY window.event", function () {
    return PageEngine.GetPointerY(window.event);
  }],
  ["GetScrollLeft", function () {
    return PageEngine.GetScrollLeft();
  }],
  ["GetScrollTop", function () {
    return PageEngine.GetScrollTop();
  }],
  ["IsDocumentComplete while loading", function () {
    document.readyState = "interactive";
    return PageEngine.IsDocumentComplete();
  }],
  ["IsDocumentComplete when loaded", function () {
    document.readyState = "complete";
    return PageEngine.IsDocumentComplete();
  }],
  ["ShowAlert", function () {
    PageEngine.ShowAlert("\u8F93\u5165\n\n\u9519\u8BEF");
  }],
  ["GetCurrentInstant", function () {
    var now = PageEngine.GetCurrentInstant();
    return Object.prototype.toString.call(now) + " " + (now.getFullYear() >= 2026);
  }],
  ["showtip2 through the engine", function () {
    var tip = StandinElements.tooltip41;
    showtip2({}, window.event, "tip", 41);
    return [tip.innerHTML, tip.style.left, tip.style.top, tip.style.visibility].join(" ");
  }]
];

function RunEnginePaths() {
  var i, result;
  for (i = 0; i < EnginePaths.length; i++) {
    StandinLog = [];
    result = EnginePaths[i][1]();
    Emit("engine " + EnginePaths[i][0] + ": " + result + " " + StandinLog.join(" | "));
  }
  return TakeLines();
}
