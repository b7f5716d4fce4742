// ESLint over the line screen's script: the recommended rules, the browser's globals. Run by
// yield/tests/page-lint.sh with the packages of yield/tests/browser (its lock file pins them).
'use strict';

const js = require('@eslint/js');
const globals = require('globals');

module.exports = [
  js.configs.recommended,
  {
    files: ['screen.js', 'wall.js', 'desk.js'],
    languageOptions: {
      ecmaVersion: 2022,
      sourceType: 'script',
      globals: globals.browser,
    },
  },
  {
    files: ['eslint.config.js'],
    languageOptions: {sourceType: 'commonjs', globals: globals.node},
  },
];
