// ESLint for the calculator page's script: plain ES3 scripts that share one global scope in the
// page. Each file names what it defines (/* exported */) and what it takes from the others
// (/* global */). The node test files are not page code and are not linted here.
"use strict";

const js = require("@eslint/js");
const esX = require("eslint-plugin-es-x");

module.exports = [
  {
    files: ["calculator/**/*.js"],
    ...js.configs.recommended,
  },
  {
    files: ["calculator/**/*.js"],
    ...esX.configs["flat/restrict-to-es3"],
  },
  {
    files: ["calculator/**/*.js"],
    languageOptions: {
      ecmaVersion: 3,
      sourceType: "script",
      globals: {
        document: "readonly",
        alert: "readonly",
      },
    },
    linterOptions: {
      reportUnusedDisableDirectives: "error",
    },
    settings: {
      // Without type information, treat every `.indexOf`, `.trim` and the like as the ES5+
      // method it may be.
      "es-x": { aggressive: true },
    },
    rules: {
      eqeqeq: "off",
      "no-implicit-globals": "off",
      "no-unused-vars": ["error", { vars: "all", args: "none" }],
      "no-var": "off",
      // A radix always: old engines read "08" as octal 0.
      radix: "error",
      "no-restricted-properties": [
        "error",
        { property: "getYear", message: "Modern engines give 126 for 2026: use getFullYear." },
        { property: "pixelLeft", message: "Only the old engine has it: set style.left in px." },
        { property: "pixelTop", message: "Only the old engine has it: set style.top in px." },
        {
          object: "document",
          property: "all",
          message: "document.all is falsy in modern engines: use getElementById.",
        },
      ],
    },
  },
];
