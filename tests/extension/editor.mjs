// What a user of the built extension sees and gets in VS Code's editor core, monaco, with the
// TextMate engine that VS Code runs, in headless Chromium: node editor.mjs UNPACKED_VSIX/extension.
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const extensionDir = process.argv[2];
const readJson = (file) => JSON.parse(readFileSync(`${extensionDir}/${file}`, 'utf8'));
const { languages: [language], grammars: [grammar] } = readJson('package.json').contributes;

// Lines as the grammar colours them: each token with scopes as {text|innermost scope}, ".palvex"
// left out.
const COLOURS = [
  ['#pragma strict on # why', '{#pragma|keyword.control.directive} ' +
    '{strict|entity.name.tag}{ on # why|comment.line.number-sign}'],
  ['s = "\\$\\n\\q${sum(xs) + 1.5}" + \'\\n\\$${x}\\\'\' + x',
    's {=|keyword.operator} {"|string.quoted.double}{\\$|constant.character.escape}' +
    '{\\n|constant.character.escape}{\\q|string.quoted.double}' +
    '{${|punctuation.definition.interpolation.begin}{sum|support.function.builtin}' +
    '{(xs) |meta.interpolation}{+|keyword.operator}{ |meta.interpolation}{1.5|constant.numeric}' +
    '{}|punctuation.definition.interpolation.end}{"|string.quoted.double} {+|keyword.operator} ' +
    '{\'|string.quoted.single}{\\n|constant.character.escape}{\\$${x}|string.quoted.single}' +
    '{\\\'|constant.character.escape}{\'|string.quoted.single} {+|keyword.operator} x'],
  ['function area(w, h) f = function(x) len (g (PI))', '{function|storage.type.function} ' +
    '{area|entity.name.function}(w, h) f {=|keyword.operator} {function|storage.type.function}(x) ' +
    '{len|support.function.builtin} ({g|entity.name.function.call} ({PI|support.constant}))'],
  ['if ok and not done then let x = nil elif endless end', '{if|keyword.control} ok ' +
    '{and|keyword.operator.logical} {not|keyword.operator.logical} done {then|keyword.control} ' +
    '{let|storage.type} x {=|keyword.operator} {nil|constant.language} ' +
    '{elif|keyword.control} endless {end|keyword.control}'],
];
const ROWS = [
  ['jumps go to the matching ), ] and }, and Ctrl+/ comments a line out', '|(a)\n[b]\n{c}',
    '<Ctrl+Shift+\\>1<Home><ArrowDown><Ctrl+Shift+\\>2<Home><ArrowDown><Ctrl+Shift+\\>3<Ctrl+/>',
    '(a1)\n[b2]\n# {c3|}'],
  ['( [ { " and \' close themselves', '|', 'f([{"<End> \'', 'f([{""}]) \'|\''],
  [`' in "..." and in a comment stays single`, `a = "b | c" # d`, `'<End> '`, `a = "b ' c" # d '|`],
  [`" in '...' and in a comment stays single`, `a = 'b | c' # d`, `"<End> "`, `a = 'b " c' # d "|`],
  ['( [ { " \' typed over a selection surround it', 'a «b» c', '([{"\'', 'a ([{"\'«b»\'"}]) c'],
  ['elif, else, catch and end outdent below an indented then, else, try and catch',
    '  if a then\n    |', 'elif b then<Enter>else<Enter>end<Enter>try<Enter>catch<Enter>end',
    '  if a then\n  elif b then\n  else\n  end\n  try\n  catch\n  end|'],
  ['Enter after try, catch, else, do and then indents', '|',
    'try<Enter>catch<Enter>else<Enter>while a do<Enter>if a then<Enter>',
    'try\n  catch\n    else\n      while a do\n        if a then\n          |', 'advanced'],
];

// Runs in the page: loads monaco and the TextMate engine, gives them the extension's language as
// VS Code does, and gives every check as { what, input, expected, actual }.
async function runChecks({ colours, rows, languageId, configuration, grammarJson, scopeName }) {
  require.config({ paths: { vs: 'monaco-editor/min/vs' } });
  await new Promise((resolve) => require(['vs/editor/editor.main'], resolve));
  await onig.loadWASM(await (await fetch('vscode-oniguruma/release/onig.wasm')).arrayBuffer());
  const onigLib = Promise.resolve({ createOnigScanner: (patterns) => new onig.OnigScanner(patterns),
    createOnigString: (text) => new onig.OnigString(text) });
  const registry = new vscodetextmate.Registry({ onigLib, loadGrammar: async () => grammarJson });
  const textmate = await registry.loadGrammar(scopeName);
  const { languages, Range } = monaco;

  // As VS Code reads the rules: patterns become RegExp and pairs objects, what is missing is left
  // to the editor's defaults; an unknown indent, which VS Code skips with a warning, is an error.
  const toRegExp = (pattern) => new RegExp(pattern.pattern ?? pattern, pattern.flags);
  const toRegExps = (patterns) => patterns && Object.fromEntries(
    Object.entries(patterns).map(([name, pattern]) => [name, toRegExp(pattern)]));
  const toPairs = (pairs) =>
    pairs?.map((pair) => (Array.isArray(pair) ? { open: pair[0], close: pair[1] } : pair));
  const indentActions =
    { none: 'None', indent: 'Indent', indentOutdent: 'IndentOutdent', outdent: 'Outdent' };
  const toEnterRule = ({ action, ...conditions }) => {
    const indentAction = languages.IndentAction[indentActions[action.indent]];
    if (indentAction === undefined) throw new Error(`onEnterRules indent: ${action.indent}`);
    return { ...toRegExps(conditions), action: { ...action, indentAction } };
  };
  languages.register({ id: languageId });
  const { autoClosingPairs, surroundingPairs, indentationRules, onEnterRules } = configuration;
  languages.setLanguageConfiguration(languageId, { ...configuration,
    autoClosingPairs: toPairs(autoClosingPairs), surroundingPairs: toPairs(surroundingPairs),
    indentationRules: toRegExps(indentationRules), onEnterRules: onEnterRules?.map(toEnterRule) });
  // monaco tells strings and comments by those words in a token's scope names.
  languages.setTokensProvider(languageId, { getInitialState: () => vscodetextmate.INITIAL,
    tokenize: (line, state) => {
      const { tokens, ruleStack } = textmate.tokenizeLine(line, state);
      const joined = tokens.map((token) => ({ ...token, scopes: token.scopes.join(' ') }));
      return { tokens: joined, endState: ruleStack };
    } });

  const colour = (line) => textmate.tokenizeLine(line, vscodetextmate.INITIAL).tokens
    .map(({ startIndex, endIndex, scopes }) => {
      const text = line.slice(startIndex, endIndex);
      const innermost = scopes.at(-1).replace(/\.palvex$/, '');
      return scopes.length > 1 ? `{${text}|${innermost}}` : text;
    }).join('');

  const model = monaco.editor.createModel('', languageId);
  // A person types slower than the editor tokenizes in the background.
  model.onDidChangeContent(() => model.tokenization.forceTokenization(model.getLineCount()));
  // The commands that the rows' keys run, as monaco binds them; any other key types itself.
  const commands = { Enter: ['type', { text: '\n' }], Home: ['cursorHome'], End: ['cursorEnd'],
    ArrowDown: ['cursorDown'], 'Ctrl+/': ['editor.action.commentLine'],
    'Ctrl+Shift+\\': ['editor.action.jumpToBracket'] };
  // The text that `marked` becomes as `typed` is pressed. A marked text has the selection as «…», or
  // the cursor as |; each <Name> is one key.
  const edit = (marked, typed, autoIndent = 'full') => {
    // A new editor each time: updateOptions leaves typing on the old autoIndent.
    const editor = monaco.editor.create(document.body, { model, autoIndent, tabSize: 2 });
    model.setValue(marked.replace(/[|«»]/g, ''));
    const start = marked.search(/[|«]/);
    // » stands one character further on than the selection's end: « comes before it.
    const end = marked.includes('»') ? marked.indexOf('»') - 1 : start;
    editor.setSelection(Range.fromPositions(model.getPositionAt(start), model.getPositionAt(end)));
    for (const [char, name] of typed.matchAll(/<([^<>]+)>|./gs)) {
      editor.trigger('keyboard', ...(commands[name ?? char] ?? ['type', { text: char }]));
    }
    const selection = editor.getSelection();
    const [from, to] = [selection.getStartPosition(), selection.getEndPosition()]
      .map((position) => model.getOffsetAt(position));
    editor.dispose();
    const text = model.getValue();
    return selection.isEmpty() ? text.slice(0, from) + '|' + text.slice(from)
      : text.slice(0, from) + '«' + text.slice(from, to) + '»' + text.slice(to);
  };

  const checks = colours.map(([line, expected]) =>
    ({ what: 'the grammar colours the line', input: line, expected, actual: colour(line) }));
  for (const [what, before, typed, expected, autoIndent] of rows) {
    const actual = edit(before, typed, autoIndent);
    checks.push({ what, input: { before, typed, autoIndent }, expected, actual });
  }
  return checks;
}

// Playwright's own switches already keep Chromium off the network.
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium' });
const page = await browser.newPage();
const html = ['vscode-oniguruma/release/main', 'vscode-textmate/release/main',
  'monaco-editor/min/vs/loader'].map((script) => `<script src="${script}.js"></script>`).join('');
// The page and the packages' files it asks for, from node_modules.
await page.route('http://test/**', (route, request) => {
  const path = new URL(request.url()).pathname.slice(1);
  route.fulfill(path ? { path: fileURLToPath(new URL(`node_modules/${path}`, import.meta.url)) }
    : { contentType: 'text/html', body: html });
});
await page.goto('http://test/');
const checks = await page.evaluate(runChecks, { colours: COLOURS, rows: ROWS,
  languageId: language.id, configuration: readJson(language.configuration),
  grammarJson: readJson(grammar.path), scopeName: grammar.scopeName });
await browser.close();

const failed = checks.filter(({ expected, actual }) => actual !== expected);
for (const { what, input, expected, actual } of failed) {
  console.log(`FAIL ${what}\n  input:    ${JSON.stringify(input)}\n` +
    `  expected: ${JSON.stringify(expected)}\n  actual:   ${JSON.stringify(actual)}`);
}
console.log(`${checks.length - failed.length} passed, ${failed.length} failed`);
process.exit(failed.length ? 1 : 0);
