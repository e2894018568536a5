// A stand-in for the little of the old IE object model that the page's engine access layer
// (calculator/engine.js) touches, for running it where no HTML engine is: the form's fields by
// name, elements by id, an element replaced by markup assigned to its outerHTML, alert and
// focus, window.event with the pointer's place, the body's scroll offsets (where quirks mode
// keeps them) and the document's ready state. Plain ES3, loaded before the page's script.
// StandinLog records what the page did that leaves no value behind: alerts, focus, replacements.

var StandinLog = [];

function StandinElement(key) {
  this.key = key;
  this.style = {};
}

StandinElement.prototype.focus = function () {
  StandinLog.push("focus " + this.key);
};

var StandinFields = {};
var StandinElements = {};

function AddStandinElements(names, table) {
  var i;
  for (i = 0; i < names.length; i++) {
    table[names[i]] = new StandinElement(names[i]);
  }
}

AddStandinElements(["txtYear", "txtMonth", "txtDay", "txtMinMensesCyc", "txtMaxMensesCyc",
  "btnCalculate"], StandinFields);
AddStandinElements(["Calendar1", "Calendar2", "tooltip41"], StandinElements);

// An element whose outerHTML was assigned is gone; what the markup's first tag names by id
// stands in its place from the next look-up on, as the old engine parses it at once.
function ReplaceStandinElements() {
  var id, markup, newId;
  for (id in StandinElements) {
    markup = StandinElements[id].outerHTML;
    if (typeof markup == "string") {
      delete StandinElements[id];
      newId = /^<[^>]*\bid=(\w+)/.exec(markup);
      StandinLog.push("replaced " + id + " by " + (newId ? newId[1] : "no id"));
      if (newId) {
        StandinElements[newId[1]] = new StandinElement(newId[1]);
      }
    }
  }
}

var document = {
  readyState: "complete",
  forms: { frmInput: { elements: StandinFields } },
  body: { scrollLeft: 30, scrollTop: 200 },
  getElementById: function (id) {
    ReplaceStandinElements();
    return StandinElements.hasOwnProperty(id) ? StandinElements[id] : null;
  }
};

function alert(message) {
  StandinLog.push("alert " + message);
}

// The global object is the window; the event being handled is a property of it.
var window = this;
var event = { clientX: 15, clientY: 27 };
