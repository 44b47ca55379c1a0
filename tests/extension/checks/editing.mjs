// Editing rules and snippets, checked against VS Code's own schema and snippet parser.
import Ajv from 'ajv';
import { check, expectEqual, expectTrue, fail, group, table } from '../lib/harness.mjs';
import { snippetParser } from '../lib/vscode.mjs';

export function schemaValidator(schema) {
  // VS Code's schemas carry editor-only keywords (markdownDescription, defaultSnippets, ...)
  // and patterns written for JavaScript's non-unicode RegExp.
  const ajv = new Ajv({ strict: false, allErrors: true, unicodeRegExp: false, validateSchema: false });
  const validate = ajv.compile(schema);
  return (data) => {
    if (!validate(data)) {
      fail(validate.errors.map((e) => `${e.instancePath || '/'} ${e.message} ${JSON.stringify(e.params)}`).join('\n      '));
    }
  };
}

const INDENT_CASES = [
  // line, grows indentation, shrinks indentation, Enter indents
  ['if x > 1 then', true, false, true],
  ['  while busy do', true, false, true],
  ['for i = 1, 10 do  ', true, false, true],
  ['else', true, true, true],
  ['try', true, false, true],
  ['catch', true, true, true],
  ['function area(w, h)', true, false, false],
  ['let f = function(x)', true, false, false],
  ['function f(a) return g(a)', false, false, false],
  ['print(x)', false, false, false],
  ['if x then y end', false, false, false],
  ['let athen = 1', false, false, false],
  ['let undo', false, false, false],
  ['end', false, true, false],
  ['    end', false, true, false],
  ['elif y then', true, true, true],
  ['catch e', false, true, false],
  ['ending = 2', false, false, false],
  ['x = end_time', false, false, false],
  ['  send(x)', false, false, false],
];

const SNIPPETS = [
  // name, prefix, description, body, tab stops in the editor's order
  ['Function', 'function', 'Function declaration', ['function ${1:name}(${2:params})', '  $0', 'end'], [1, 2, 0]],
  ['Anonymous function', 'fn', 'Anonymous function expression', ['function(${1:params})', '  $0', 'end'], [1, 0]],
  ['If', 'if', 'If statement', ['if ${1:condition} then', '  $0', 'end'], [1, 0]],
  ['If / else', 'ifelse', 'If / else statement', ['if ${1:condition} then', '  $2', 'else', '  $0', 'end'], [1, 2, 0]],
  ['Numeric for', 'for', 'Numeric for loop', ['for ${1:i} = ${2:1}, ${3:10} do', '  $0', 'end'], [1, 2, 3, 0]],
  ['For-in', 'forin', 'For-in loop', ['for ${1:item} in ${2:collection} do', '  $0', 'end'], [1, 2, 0]],
  ['While', 'while', 'While loop', ['while ${1:condition} do', '  $0', 'end'], [1, 0]],
  ['Try / catch', 'try', 'Try / catch block', ['try', '  $1', 'catch ${2:e}', '  $0', 'end'], [1, 2, 0]],
  ['Let', 'let', 'Variable declaration', ['let ${1:name} = ${0:value}'], [1, 0]],
  ['Print', 'print', 'Print to stdout', ['print(${0:value})'], [0]],
];

export async function editingChecks({ languageConfiguration, snippetsText, schemas }) {
  const config = JSON.parse(languageConfiguration);

  group('language configuration');
  check('valid against VS Code language-configuration schema', () => {
    expectTrue(schemas.languageConfiguration, 'schema not registered by the editor sources');
    schemaValidator(schemas.languageConfiguration)(config);
  });
  check('line comment, brackets and pairs', () => {
    const brackets = [['{', '}'], ['[', ']'], ['(', ')']];
    const quotes = [['"', '"'], ["'", "'"]];
    expectEqual(config.comments, { lineComment: '#' }, 'comments');
    expectEqual(config.brackets, brackets, 'brackets');
    expectEqual(config.surroundingPairs, [...brackets, ...quotes], 'surroundingPairs');
    expectEqual(config.autoClosingPairs, [
      ...brackets.map(([open, close]) => ({ open, close })),
      ...quotes.map(([open, close]) => ({ open, close, notIn: ['string', 'comment'] })),
    ], 'autoClosingPairs');
  });
  check('indentation patterns are the agreed expressions', () => {
    expectEqual(config.indentationRules, {
      increaseIndentPattern: '\\b(then|do|else|try|catch)\\s*$|\\bfunction\\b[^)]*\\)\\s*$',
      decreaseIndentPattern: '^\\s*(end|else|elif|catch)\\b',
    }, 'indentationRules');
    expectEqual(config.onEnterRules, [
      { beforeText: '\\b(then|do|else|try|catch)\\s*$', action: { indent: 'indent' } },
    ], 'onEnterRules');
  });
  // The editor compiles these as JavaScript regular expressions.
  const increase = new RegExp(config.indentationRules.increaseIndentPattern);
  const decrease = new RegExp(config.indentationRules.decreaseIndentPattern);
  const enter = new RegExp(config.onEnterRules[0].beforeText);
  table(INDENT_CASES, ([line]) => `indentation after ${JSON.stringify(line)}`, ([line, grows, shrinks, enters]) => {
    expectEqual(
      { grows: increase.test(line), shrinks: decrease.test(line), enterIndents: enter.test(line) },
      { grows, shrinks, enterIndents: enters },
      JSON.stringify(line),
    );
  });

  group('snippets');
  const snippets = JSON.parse(snippetsText);
  check('exactly the ten snippets, in order', () => {
    expectEqual(Object.keys(snippets), SNIPPETS.map((s) => s[0]), 'snippet names');
  });
  const parser = await snippetParser();
  table(SNIPPETS, ([name, prefix]) => `snippet ${prefix}`, ([name, prefix, description, body, stops]) => {
    const snippet = snippets[name];
    expectTrue(snippet, `no snippet named ${name}`);
    expectEqual(snippet, { prefix, body, description }, name);
    const parsed = parser.parse(body.join('\n'), true, false);
    // A malformed placeholder comes back from the parser as literal text.
    expectEqual(parsed.toTextmateString(), body.join('\n'), 'round trip through the snippet parser');
    const order = [...new Set(parsed.placeholders.map((p) => p.index))];
    expectEqual(order.filter((i) => i !== 0).concat(order.includes(0) ? [0] : []), stops, 'tab stops');
  });
}
