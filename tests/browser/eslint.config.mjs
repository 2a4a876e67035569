// ESLint for the project's JavaScript: the viewer's page modules, which run in a browser, and
// the browser tests, which run on Node.js. scripts/test runs it from the project's root:
//   tests/browser/node_modules/.bin/eslint --config tests/browser/eslint.config.mjs .
import js from '@eslint/js';
import globals from 'globals';

export default [
  { ignores: ['build/**', '**/node_modules/**'] },
  js.configs.recommended,
  {
    files: ['arena/viewer/web/**/*.js'],
    languageOptions: { ecmaVersion: 2022, sourceType: 'module', globals: globals.browser },
  },
  {
    files: ['tests/browser/**/*.mjs'],
    languageOptions: {
      ecmaVersion: 2022,
      sourceType: 'module', // viewerState is the page's own, read in functions the page evaluates.
      globals: { ...globals.node, ...globals.browser, viewerState: 'readonly' },
    },
  },
];
