// The page's only door to the browser engine. Everything else in the page script is plain logic
// that reaches the document, the pointer, alerts and the clock through PageEngine, so the unit
// tests can hand it a fake. The calls keep to what Chromium, WebKit and the old Windows
// WebBrowser engine all do the same way.
/* exported PageEngine */

var PageEngine = {
  // Fields and buttons of the page's one form, by name.
  GetField: function (name) {
    return document.forms["frmInput"].elements[name];
  },

  GetFieldText: function (name) {
    return PageEngine.GetField(name).value;
  },

  SetFieldText: function (name, text) {
    PageEngine.GetField(name).value = text;
  },

  FocusField: function (name) {
    PageEngine.GetField(name).focus();
  },

  // getElementById rather than document.all: modern engines keep document.all only as a falsy
  // look-alike, while every engine the page meets has getElementById.
  GetElement: function (id) {
    return document.getElementById(id);
  },

  // The element goes away as a whole and the parsed markup takes its place; ids in the markup
  // are reachable at once.
  ReplaceElement: function (id, markup) {
    PageEngine.GetElement(id).outerHTML = markup;
  },

  SetInnerMarkup: function (id, markup) {
    PageEngine.GetElement(id).innerHTML = markup;
  },

  // style.pixelLeft/pixelTop exist only in the old engine; a "px" length works in all of them.
  MoveElement: function (id, left, top) {
    var style = PageEngine.GetElement(id).style;
    style.left = left + "px";
    style.top = top + "px";
  },

  ShowElement: function (id, visible) {
    PageEngine.GetElement(id).style.visibility = visible ? "visible" : "hidden";
  },

  // The pointer position within the viewport, from the event being handled.
  GetPointerX: function (e) {
    return e.clientX;
  },

  GetPointerY: function (e) {
    return e.clientY;
  },

  // The page body carries the scroll offsets in quirks mode, which this page always renders in.
  GetScrollLeft: function () {
    return document.body.scrollLeft;
  },

  GetScrollTop: function () {
    return document.body.scrollTop;
  },

  IsDocumentComplete: function () {
    return document.readyState == "complete";
  },

  // Modal: returns once the user has dismissed the message.
  ShowAlert: function (message) {
    alert(message);
  },

  GetCurrentInstant: function () {
    return new Date();
  }
};
