// What a user of the built extension sees and gets in VS Code's editor core, monaco, with the
// TextMate engine that VS Code runs, in headless Chromium: node editor.mjs UNPACKED_VSIX/extension.
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const read = (file) => JSON.parse(readFileSync(`${process.argv[2]}/${file}`, 'utf8'));
const { languages: [lang], grammars: [gr], snippets: [sn] } = read('package.json').contributes;
// Lines as the grammar colours them: each token with scopes as {text|innermost scope}, ".palvex"
// left out.
const COLOURS = [
  ['#pragma strict on # why', '{#pragma|keyword.control.directive} ' +
    '{strict|entity.name.tag}{ on # why|comment.line.number-sign}'],
  ['#pragmatic', '{#pragmatic|comment.line.number-sign}'],
  ['y = 2 #pragma not_here', 'y {=|keyword.operator} {2|constant.numeric} ' +
    '{#pragma not_here|comment.line.number-sign}'],
  ['s = "\\$\\n\\q${sum(xs) + 1.5}" + \'\\n\\$${x}\\\'\'',
    's {=|keyword.operator} {"|string.quoted.double}{\\$|constant.character.escape}' +
    '{\\n|constant.character.escape}{\\q|string.quoted.double}' +
    '{${|punctuation.definition.interpolation.begin}{sum|support.function.builtin}' +
    '{(xs) |meta.interpolation}{+|keyword.operator}{ |meta.interpolation}{1.5|constant.numeric}' +
    '{}|punctuation.definition.interpolation.end}{"|string.quoted.double} {+|keyword.operator} ' +
    '{\'|string.quoted.single}{\\n|constant.character.escape}{\\$${x}|string.quoted.single}' +
    '{\\\'|constant.character.escape}{\'|string.quoted.single}'],
  ['x1 = 2.5E-3 + 42', 'x1 {=|keyword.operator} {2.5E-3|constant.numeric} ' +
    '{+|keyword.operator} {42|constant.numeric}'],
  ['function area(w, h)', '{function|storage.type.function} ' +
    '{area|entity.name.function}(w, h)'],
  ['f = function(x)', 'f {=|keyword.operator} {function|storage.type.function}(x)'],
  ['total //= area (2) <= my_len(x)', 'total {//=|keyword.operator} ' +
    '{area|entity.name.function.call} ({2|constant.numeric}) {<=|keyword.operator} ' +
    '{my_len|entity.name.function.call}(x)'],
  ['if ok and not done then let x = nil elif endless end', '{if|keyword.control} ok ' +
    '{and|keyword.operator.logical} {not|keyword.operator.logical} done {then|keyword.control} ' +
    '{let|storage.type} x {=|keyword.operator} {nil|constant.language} ' +
    '{elif|keyword.control} endless {end|keyword.control}'],
  ['c = [true, PI, E, PIE, pi]', 'c {=|keyword.operator} [{true|constant.language}, ' +
    '{PI|support.constant}, {E|support.constant}, PIE, pi]'],
  ['print(len (s), is_function(f), print_x(1), len)', '{print|support.function.builtin}(' +
    '{len|support.function.builtin} (s), {is_function|support.function.builtin}(f), ' +
    '{print_x|entity.name.function.call}({1|constant.numeric}), len)'],
];
// [what, before, keys, after, autoIndent]: | is the cursor, «…» the selection, «N:…» what a
// snippet's Nth tab stop selects; <Key> is a key, which runs the command monaco binds to it. 'full'
// applies the indentation rules and the Enter rules, 'advanced' only the latter.
const ROWS = [
  ['Ctrl+/ comments a line out with "# "', '  let a|', '<Control+/>', '  # let a|'],
  ['jumps go to the matching ), ] and }', '|(a)\n[b]\n{c}',
    '<Control+Shift+\\>1<Home><ArrowDown><Control+Shift+\\>2<Home><ArrowDown><Control+Shift+\\>3',
    '(a1)\n[b2]\n{c3|}'],
  ['( [ { " and \' close themselves', '|', 'f([{"<End> \'', 'f([{""}]) \'|\''],
  ['\' in a "..." string or a comment stays single', 'a = "b | c" # d', "'<End> '",
    'a = "b \' c" # d \'|'],
  ['" in a \'...\' string or a comment stays single', "a = 'b | c' # d", '"<End> "',
    'a = \'b " c\' # d "|'],
  ['( [ { " \' typed over a selection surround it', 'a «b» c', '([{"\'', 'a ([{"\'«b»\'"}]) c'],
  ['Enter after a function header indents; end outdents below an indented do', '  function f(a)|',
    '<Enter>while a do<Enter>end', '  function f(a)\n    while a do\n    end|'],
  ['elif, else, catch and end outdent below an indented then, else, try and catch',
    '  if a then\n    |', 'elif b then<Enter>else<Enter>end<Enter>try<Enter>catch<Enter>end',
    '  if a then\n  elif b then\n  else\n  end\n  try\n  catch\n  end|'],
  ['Enter after try, catch, else, do and then indents', '|',
    'try<Enter>catch<Enter>else<Enter>while a do<Enter>if a then<Enter>',
    'try\n  catch\n    else\n      while a do\n        if a then\n          |', 'advanced'],
];
// Each snippet, found by its prefix, expanded and walked through its tab stops with Tab.
const SNIPPETS = [['function', 'function «1:name»(«2:params»)\n  |\nend'],
  ['fn', 'function(«1:params»)\n  |\nend'], ['if', 'if «1:condition» then\n  |\nend'],
  ['ifelse', 'if «1:condition» then\n  «2:»\nelse\n  |\nend'], ['let', 'let «1:name» = «value»'],
  ['for', 'for «1:i» = «2:1», «3:10» do\n  |\nend'], ['while', 'while «1:condition» do\n  |\nend'],
  ['forin', 'for «1:item» in «2:collection» do\n  |\nend'], ['print', 'print(«value»)'],
  ['try', 'try\n  «1:»\ncatch «2:e»\n  |\nend']];

// Playwright's own switches already keep Chromium off the network.
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium' });
const page = await browser.newPage();
const html = ['vscode-oniguruma/release/main', 'vscode-textmate/release/main',
  'monaco-editor/min/vs/loader'].map((src) => `<script src="${src}.js"></script>`).join('');
await page.route('http://test/**', (route, request) => {
  const path = new URL(request.url()).pathname.slice(1);
  route.fulfill(path ? { path: fileURLToPath(new URL(`node_modules/${path}`, import.meta.url)) }
    : { contentType: 'text/html', body: html });
});
await page.goto('http://test/');
// Every check as [what, input, expected, actual].
const checks = await page.evaluate(async ([colours, rows, snips, all, id, c, grammar, scope]) => {
  require.config({ paths: { vs: 'monaco-editor/min/vs' } });
  await new Promise((resolve) => require(['vs/editor/editor.main'], resolve));
  await onig.loadWASM(await (await fetch('vscode-oniguruma/release/onig.wasm')).arrayBuffer());
  const onigLib = Promise.resolve({ createOnigScanner: (p) => new onig.OnigScanner(p),
    createOnigString: (s) => new onig.OnigString(s) });
  const tm = await new vscodetextmate.Registry({ onigLib, loadGrammar: async () => grammar })
    .loadGrammar(scope);
  const { languages: l, Range } = monaco;
  l.register({ id });
  // As VS Code reads the rules: patterns become RegExp and pairs objects, what is missing is left
  // to the editor's defaults; an unknown indent, which VS Code skips with a warning, is an error.
  const re = (o) => o && Object.fromEntries(Object.entries(o).map(([k, v]) =>
    [k, RegExp(v.pattern ?? v, v.flags)]));
  const pairs = (list) => list?.map((p) => (Array.isArray(p) ? { open: p[0], close: p[1] } : p));
  const indent =
    { none: 'None', indent: 'Indent', indentOutdent: 'IndentOutdent', outdent: 'Outdent' };
  const action = (a) => ({ ...a, indentAction: l.IndentAction[indent[a.indent]] ??
    (() => { throw new Error(`onEnterRules indent: ${a.indent}`); })() });
  l.setLanguageConfiguration(id, { ...c, autoClosingPairs: pairs(c.autoClosingPairs),
    surroundingPairs: pairs(c.surroundingPairs), indentationRules: re(c.indentationRules),
    onEnterRules: c.onEnterRules?.map(({ action: a, ...when }) => ({ ...re(when),
      action: action(a) })) });
  // monaco tells strings and comments by those words in a token's scope names.
  l.setTokensProvider(id, { getInitialState: () => vscodetextmate.INITIAL, tokenize: (line, s) => {
    const r = tm.tokenizeLine(line, s);
    const tokens = r.tokens.map((t) => ({ ...t, scopes: t.scopes.join(' ') }));
    return { endState: r.ruleStack, tokens };
  } });
  const checks = colours.map(([line, want]) => ['the grammar colours the line', line, want,
    tm.tokenizeLine(line, vscodetextmate.INITIAL).tokens.map((t) => {
      const text = line.slice(t.startIndex, t.endIndex);
      return t.scopes.length > 1 ? `{${text}|${t.scopes.at(-1).replace(/\.palvex$/, '')}}` : text;
    }).join('')]);
  const model = monaco.editor.createModel('', id);
  // A person types slower than the editor tokenizes in the background.
  model.onDidChangeContent(() => model.tokenization.forceTokenization(model.getLineCount()));
  // The commands that the rows' keys run, as monaco binds them.
  const keys = { Enter: ['type', { text: '\n' }], Tab: ['jumpToNextSnippetPlaceholder'],
    Home: ['cursorHome'], End: ['cursorEnd'], ArrowDown: ['cursorDown'], 'Control+/':
    ['editor.action.commentLine'], 'Control+Shift+\\': ['editor.action.jumpToBracket'] };
  // The text after `typed`, with the cursor as |, the selection as «…» and a snippet's stops.
  const run = (marked, typed, autoIndent = 'full', snippet = null) => {
    // A new editor each time: updateOptions leaves typing on the old autoIndent.
    const editor = monaco.editor.create(document.body, { model, autoIndent, tabSize: 2 });
    model.setValue(marked.replace(/[|«»]/g, ''));
    const ends = [marked.search(/[|«]/), marked.search(/[|»]/) - marked.includes('»')];
    editor.setSelection(Range.fromPositions(...ends.map((o) => model.getPositionAt(o))));
    const controller = editor.getContribution('snippetController2');
    // A snippet's body lines, joined as VS Code joins them.
    if (snippet) controller.insert([].concat(snippet).join('\n'));
    typed.split(/<([^<>]+)>/).forEach((part, i) => (i % 2 ? [part] : [...part]).forEach((key) =>
      editor.trigger('keyboard', ...(keys[key] ?? ['type', { text: key }]))));
    const marks = [];
    for (; controller.isInSnippet() && marks.length < 5; editor.trigger('keyboard', ...keys.Tab)) {
      marks.push([editor.getSelection(), `«${marks.length + 1}:`]);
    }
    marks.push([editor.getSelection(), editor.getSelection().isEmpty() ? '|' : '«']);
    const text = model.getValue();
    editor.dispose();
    // From the last mark on, so that the offsets before it stay right.
    return marks.map(([r, open]) => [model.getOffsetAt(r.getStartPosition()),
      model.getOffsetAt(r.getEndPosition()), open]).sort((x, y) => y[0] - x[0]).reduce(
      (v, [s, e, open]) => v.slice(0, s) + open + (open === '|' ? '' : `${v.slice(s, e)}»`) +
        v.slice(e), text);
  };
  for (const [what, before, typed, after, autoIndent] of rows) {
    checks.push([what, { before, typed, autoIndent }, after, run(before, typed, autoIndent)]);
  }
  for (const [prefix, after] of snips) {
    const { body } = Object.values(all).find((snippet) => snippet.prefix === prefix) ?? {};
    checks.push([`the ${prefix} snippet`, prefix, after, run('|', '', 'full', body)]);
  }
  return checks;
}, [COLOURS, ROWS, SNIPPETS, read(sn.path), lang.id, read(lang.configuration), read(gr.path),
  gr.scopeName]);
await browser.close();

const failed = checks.filter(([, , want, got]) => JSON.stringify(got) !== JSON.stringify(want));
for (const [what, input, want, got] of failed) {
  console.log(`FAIL ${what}\n  input:    ${JSON.stringify(input)}\n` +
    `  expected: ${JSON.stringify(want)}\n  actual:   ${JSON.stringify(got)}`);
}
console.log(`${checks.length - failed.length} passed, ${failed.length} failed`);
process.exit(failed.length ? 1 : 0);
