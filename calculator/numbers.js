// How the form's texts are read as numbers. The engines disagree on what Number() and parseInt()
// accept (hexadecimal, binary and octal literals, "Infinity", different white space), so the
// texts are scanned here by hand and handed to the engine only once they are plain decimals.
/* exported GetNumericValue, GetIntegerValue, TruncateNumber */

// The language's white space and line terminators: tab, line feed, vertical tab, form feed,
// carriage return, space, no-break space, the Zs category, the two Unicode line terminators and
// the byte order mark.
var WhiteSpacePattern = /[\t-\r \u00A0\u1680\u2000-\u200A\u2028\u2029\u202F\u205F\u3000\uFEFF]/;

// One decimal number: sign, digits with at most one point (first or last allowed), exponent.
// Written so that a failing match never backtracks more than once per character: the fields may
// hold very long texts.
var DecimalPattern = /^[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]+)?$/;

function IsWhiteSpace(character) {
  return WhiteSpacePattern.test(character);
}

function IsDigit(character) {
  return character >= "0" && character <= "9";
}

// The index of the first character at or after `start` that is not white space.
function SkipWhiteSpace(text, start) {
  var at = start;
  while (at < text.length && IsWhiteSpace(text.charAt(at))) {
    at++;
  }
  return at;
}

// The text without white space at either end. Scanned by hand rather than with /\s+$/, which
// takes quadratic time on a long run of white space inside the text.
function StripWhiteSpace(text) {
  var start = SkipWhiteSpace(text, 0);
  var end = text.length;
  while (end > start && IsWhiteSpace(text.charAt(end - 1))) {
    end--;
  }
  return text.substring(start, end);
}

// The number a text stands for: white space around it ignored, empty reads as 0, otherwise the
// whole rest must be one decimal number, or the value is NaN.
function GetNumericValue(text) {
  var stripped = StripWhiteSpace(String(text));
  if (stripped.length == 0) {
    return 0;
  }
  if (!DecimalPattern.test(stripped)) {
    return NaN;
  }
  return parseFloat(stripped);
}

// The whole number at the start of a text: white space skipped, an optional sign, then the
// longest run of decimal digits; whatever follows is ignored. NaN when no digit stands there.
function GetIntegerValue(text) {
  var source = String(text);
  var at = SkipWhiteSpace(source, 0);
  var negative = false;
  var first, magnitude;
  var sign = source.charAt(at);
  if (sign == "+" || sign == "-") {
    negative = sign == "-";
    at++;
  }
  first = at;
  while (at < source.length && IsDigit(source.charAt(at))) {
    at++;
  }
  if (at == first) {
    return NaN;
  }
  magnitude = parseInt(source.substring(first, at), 10);
  return negative ? -magnitude : magnitude;
}

// Drops the fraction, toward zero; infinities and NaN stay as they are.
function TruncateNumber(value) {
  return value < 0 ? Math.ceil(value) : Math.floor(value);
}
