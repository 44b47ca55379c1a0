// What a user of the built extension (node editor.mjs UNPACKED_VSIX/extension) gets when typing in VS Code's
// editor core, monaco, in headless Chromium. | is the cursor, «…» the selection, «N:…» it at a snippet's Nth
// tab stop; <Name> is a key press.
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const read = (file) => JSON.parse(readFileSync(`${process.argv[2]}/${file}`, 'utf8'));
const { languages: [lang], grammars: [gr], snippets: [sn] } = read('package.json').contributes;
const snippets = read(sn.path);
const J = '<Control+Shift+\\>'; // jump to the matching bracket
// 'full' applies the indentation rules and onEnterRules, 'advanced' only the latter.
const ROWS = [
  ['Ctrl+/ comments a line out with "# "', '  let a|', '<Control+/>', '  # let a|'],
  ['Jumps go to the matching ), ] and }', '|(a)\n[b]\n{c}', `${J}1<Home><ArrowDown>${J}2<Home><ArrowDown>${J}3`,
    '(a1)\n[b2]\n{c3|}'],
  ['( [ { " and \' close themselves', '|', 'f([{"<End> \'', 'f([{""}]) \'|\''],
  ['\' in a "..." string or a comment stays single', 'a = "b | c" # d', "'<End> '", 'a = "b \' c" # d \'|'],
  ['" in a \'...\' string or a comment stays single', "a = 'b | c' # d", '"<End> "', 'a = \'b " c\' # d "|'],
  ['( [ { " \' typed over a selection surround it', 'a «b» c', '([{"\'', 'a ([{"\'«b»\'"}]) c'],
  ['Enter after a function header indents; end outdents below an indented do', '  function f(a)|',
    '<Enter>while a do<Enter>end', '  function f(a)\n    while a do\n    end|'],
  ['elif, else, catch and end outdent below an indented then, else, try and catch', '  if a then\n    |',
    'elif b then<Enter>else<Enter>end<Enter>try<Enter>catch<Enter>end',
    '  if a then\n  elif b then\n  else\n  end\n  try\n  catch\n  end|'],
  ['Enter after try, catch, else, do and then indents', '|',
    'try<Enter>catch<Enter>else<Enter>while a do<Enter>if a then<Enter>',
    'try\n  catch\n    else\n      while a do\n        if a then\n          |', 'advanced'],
  // A snippet, found by its prefix in the package: its name and description, and the text it expands to.
  ...[['function', 'Function', 'Function declaration', 'function «1:name»(«2:params»)\n  |\nend'],
    ['fn', 'Anonymous function', 'Anonymous function expression', 'function(«1:params»)\n  |\nend'],
    ['if', 'If', 'If statement', 'if «1:condition» then\n  |\nend'],
    ['ifelse', 'If / else', 'If / else statement', 'if «1:condition» then\n  «2:»\nelse\n  |\nend'],
    ['for', 'Numeric for', 'Numeric for loop', 'for «1:i» = «2:1», «3:10» do\n  |\nend'],
    ['forin', 'For-in', 'For-in loop', 'for «1:item» in «2:collection» do\n  |\nend'],
    ['while', 'While', 'While loop', 'while «1:condition» do\n  |\nend'],
    ['try', 'Try / catch', 'Try / catch block', 'try\n  «1:»\ncatch «2:e»\n  |\nend'],
    ['let', 'Let', 'Variable declaration', 'let «1:name» = «value»'],
    ['print', 'Print', 'Print to stdout', 'print(«value»)'],
  ].map(([prefix, ...want]) => [`the ${prefix} snippet`, '|', prefix, want]),
];

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--disable-gpu', '--disable-quic',
  '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'] });
const page = await browser.newPage();
const html = ['vscode-oniguruma/release/main.js', 'vscode-textmate/release/main.js', 'monaco-editor/min/vs/loader.js']
  .reduce((body, src) => `${body}<script src="${src}"></script>`, '<div id="e" style="height:500px"></div>');
await page.route('http://test/**', (route, request) => route.fulfill(request.url() === 'http://test/'
  ? { contentType: 'text/html', body: html }
  : { path: fileURLToPath(new URL(`node_modules${new URL(request.url()).pathname}`, import.meta.url)) }));
await page.goto('http://test/');
await page.evaluate(async ([id, c, grammar, scope]) => {
  require.config({ paths: { vs: 'monaco-editor/min/vs' } });
  await new Promise((resolve) => require(['vs/editor/editor.main'], resolve));
  await onig.loadWASM(await (await fetch('vscode-oniguruma/release/onig.wasm')).arrayBuffer());
  const tm = await new vscodetextmate.Registry({ loadGrammar: async () => grammar, onigLib: Promise.resolve({
    createOnigScanner: (p) => new onig.OnigScanner(p), createOnigString: (s) => new onig.OnigString(s) }) })
    .loadGrammar(scope);
  const { languages: l, Range } = monaco;
  l.register({ id });
  // As VS Code reads the file: pattern strings become RegExp, what is missing is left to the editor's defaults; an
  // unknown indent, which VS Code skips with a warning, is an error.
  const regExps = (o) => Object.fromEntries(Object.entries(o).map(([k, v]) => [k, RegExp(v.pattern ?? v, v.flags)]));
  const indent = { none: 'None', indent: 'Indent', indentOutdent: 'IndentOutdent', outdent: 'Outdent' };
  const pair = (p) => (Array.isArray(p) ? { open: p[0], close: p[1] } : p);
  const fail = (why) => { throw new Error(why); };
  l.setLanguageConfiguration(id, { ...c, autoClosingPairs: c.autoClosingPairs?.map(pair),
    surroundingPairs: c.surroundingPairs?.map(pair), indentationRules: c.indentationRules && regExps(c.indentationRules),
    onEnterRules: c.onEnterRules?.map(({ action: a, ...when }) => ({ ...regExps(when), action: { ...a,
      indentAction: l.IndentAction[indent[a.indent]] ?? fail(`onEnterRules indent: ${a.indent}`) } })) });
  // monaco tells strings and comments by those words in a token's scope names.
  l.setTokensProvider(id, { getInitialState: () => vscodetextmate.INITIAL, tokenize: (line, state) => {
    const r = tm.tokenizeLine(line, state);
    return { endState: r.ruleStack, tokens: r.tokens.map((t) => ({ ...t, scopes: t.scopes.join(' ') })) };
  } });
  const model = monaco.editor.createModel('', id);
  // A person types slower than the editor tokenizes in the background.
  model.onDidChangeContent(() => model.tokenization.forceTokenization(model.getLineCount()));
  let editor;
  window.put = (marked, autoIndent) => { // a new editor, as updateOptions leaves typing on the old autoIndent
    editor?.dispose();
    editor = monaco.editor.create(document.getElementById('e'), { model, autoIndent, tabSize: 2,
      quickSuggestions: false });
    model.setValue(marked.replace(/[|«»]/g, ''));
    const ends = [marked.search(/[|«]/), marked.search(/[|»]/) - marked.includes('»')];
    editor.setSelection(Range.fromPositions(...ends.map((o) => model.getPositionAt(o))));
    editor.focus();
  };
  const snippets = () => editor.getContribution('snippetController2');
  window.expand = (body) => snippets().insert([].concat(body).join('\n')); // a body's lines, as VS Code joins them
  window.state = () => [model.getValue(), snippets().isInSnippet(),
    ...['getStartPosition', 'getEndPosition'].map((end) => model.getOffsetAt(editor.getSelection()[end]()))];
}, [lang.id, read(lang.configuration), read(gr.path), gr.scopeName]);

const type = async (keys) => {
  for (const [i, k] of keys.split(/<([^<>]+)>/).entries()) await page.keyboard[i % 2 ? 'press' : 'type'](k);
};
let failed = 0;
for (const [sentence, before, keys, want, autoIndent = 'full'] of ROWS) {
  await page.evaluate(([b, m]) => window.put(b, m), [before, autoIndent]);
  const got = [], marks = [];
  if (!Array.isArray(want)) await type(keys);
  else {
    const [name, s = {}] = Object.entries(snippets).find(([, snippet]) => snippet.prefix === keys) ?? [];
    got.push(name, s.description);
    await page.evaluate((body) => window.expand(body), s.body);
    for (let stop; (stop = await page.evaluate(() => window.state()))[1] && marks.length < 5; await type('<Tab>')) {
      marks.push([stop[2], stop[3], `«${marks.length + 1}:`]);
    }
  }
  const [text, , a, b] = await page.evaluate(() => window.state());
  // The marks go in from the last one, so that the offsets before it stay right.
  got.push([...marks, [a, b, '«']].sort((x, y) => y[0] - x[0]).reduce((v, [from, to, open]) =>
    v.slice(0, from) + (from === to && open === '«' ? '|' : `${open}${v.slice(from, to)}»`) + v.slice(to), text));
  if (JSON.stringify(got) === JSON.stringify([want].flat())) continue;
  failed += 1;
  console.log(`FAIL ${sentence}\n  input:    ${JSON.stringify({ before, keys, autoIndent })}\n` +
    `  expected: ${JSON.stringify([want].flat())}\n  actual:   ${JSON.stringify(got)}`);
}
await browser.close();
console.log(`${ROWS.length - failed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
