// A fake in place of the page's engine access layer (engine.js): records every call the page
// makes, in order, and answers from plain values the test sets (fields, now, readyState,
// scroll). Plain ES3 like the page script, so that the same fake serves node's tests and the
// runs on the old engine's JScript (tests/windows/jscript_cases.js).

var FakeTextFields = ["txtYear", "txtMonth", "txtDay", "txtMinMensesCyc", "txtMaxMensesCyc"];

// options.now: the clock's instant (noon on 7 December 2026, local time, unless given);
// options.fields: field texts by name, over the page's own starting texts.
function FakeEngine(options) {
  var given = options || {};
  var name;
  this.now = given.now === undefined ? new Date(2026, 11, 7, 12, 0, 0) : given.now;
  this.fields = { txtYear: "", txtMonth: "", txtDay: "", txtMinMensesCyc: "28",
                  txtMaxMensesCyc: "28" };
  // for-in over undefined throws in ES3.
  if (given.fields) {
    for (name in given.fields) {
      this.fields[name] = given.fields[name];
    }
  }
  this.calls = [];
  this.readyState = "complete";
  this.scroll = { left: 0, top: 0 };
}

FakeEngine.prototype.Field = function (name) {
  var i;
  for (i = 0; i < FakeTextFields.length; i++) {
    if (FakeTextFields[i] == name) {
      return name;
    }
  }
  throw new Error("no text field " + name);
};

FakeEngine.prototype.GetFieldText = function (name) {
  return this.fields[this.Field(name)];
};

FakeEngine.prototype.SetFieldText = function (name, text) {
  this.calls.push(["SetFieldText", this.Field(name), text]);
  this.fields[name] = text;
};

FakeEngine.prototype.FocusField = function (name) {
  this.calls.push(["FocusField", name]);
};

FakeEngine.prototype.ReplaceElement = function (id, markup) {
  this.calls.push(["ReplaceElement", id, markup]);
};

FakeEngine.prototype.SetInnerMarkup = function (id, markup) {
  this.calls.push(["SetInnerMarkup", id, markup]);
};

FakeEngine.prototype.MoveElement = function (id, left, top) {
  this.calls.push(["MoveElement", id, left, top]);
};

FakeEngine.prototype.ShowElement = function (id, visible) {
  this.calls.push(["ShowElement", id, visible]);
};

FakeEngine.prototype.GetPointerX = function (e) {
  return e.clientX;
};

FakeEngine.prototype.GetPointerY = function (e) {
  return e.clientY;
};

FakeEngine.prototype.GetScrollLeft = function () {
  return this.scroll.left;
};

FakeEngine.prototype.GetScrollTop = function () {
  return this.scroll.top;
};

FakeEngine.prototype.IsDocumentComplete = function () {
  return this.readyState == "complete";
};

FakeEngine.prototype.ShowAlert = function (message) {
  this.calls.push(["ShowAlert", message]);
};

FakeEngine.prototype.GetCurrentInstant = function () {
  return new Date(this.now.getTime());
};

if (typeof module != "undefined") {
  module.exports = { FakeEngine: FakeEngine };
}
