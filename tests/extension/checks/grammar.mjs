// The grammar as VS Code's TextMate engine runs it, loaded from the packed VSIX.
import { readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { check, expectEqual, expectTrue, fail, group, table } from '../lib/harness.mjs';
import { parseAssertions, evaluate } from '../lib/scope-assertions.mjs';
import { loadGrammar, onigCompileError, tokenizeLines } from '../lib/vscode.mjs';

const ROOT = 'source.palvex';

export const RULE_ORDER = [
  'comments', 'strings', 'numbers', 'function-definition', 'keywords',
  'constants', 'builtins', 'operators', 'function-call',
];

// The interpreter's built-ins, in the order the grammar lists them.
export const BUILTINS = `print input type str repr num int bool float len push pop insert remove_at
  range keys values items has contains get slice map filter reduce sort reverse find sum count zip
  enumerate copy delete upper lower split join trim replace starts_with ends_with capitalize repeat
  char chars ord hex bin oct parse_int floor ceil abs sqrt min max round pow clamp sign sin cos tan
  log exp random randint is_number is_string is_list is_map is_nil is_bool is_function assert error
  clock`.split(/\s+/);

const WORDS = [
  ...'if then elif else end while for in do break continue return try catch'
    .split(' ').map((w) => [w, 'keyword.control.palvex']),
  ['function', 'storage.type.function.palvex'],
  ['let', 'storage.type.palvex'],
  ...'and or not'.split(' ').map((w) => [w, 'keyword.operator.logical.palvex']),
  ...'true false nil'.split(' ').map((w) => [w, 'constant.language.palvex']),
  ['PI', 'support.constant.palvex'],
  ['E', 'support.constant.palvex'],
];

// Longest first where one operator is a prefix of another, as the grammar must try them.
const OPERATORS = '//= += -= *= /= %= ^= == != <= >= < > + - * // / % ^ ='.split(' ');

function tokensOf(grammar, line) {
  return tokenizeLines(grammar, [line])[0].map((t) => ({
    text: line.slice(t.startIndex, t.endIndex),
    scopes: t.scopes.slice(1).join(' '),
  }));
}

// Scopes of the text at [from, from + length), failing if it is split across differing tokens.
function scopesAt(grammar, line, from, length) {
  const tokens = tokenizeLines(grammar, [line])[0];
  const covering = tokens.filter((t) => t.startIndex < from + length && t.endIndex > from);
  const stacks = new Set(covering.map((t) => t.scopes.slice(1).join(' ')));
  if (stacks.size !== 1) {
    fail(`${JSON.stringify(line)}: ${JSON.stringify(line.substr(from, length))} is split: ${JSON.stringify(tokensOf(grammar, line))}`);
  }
  return [...stacks][0];
}

function collectMatches(node, out = []) {
  if (Array.isArray(node)) node.forEach((n) => collectMatches(n, out));
  else if (node && typeof node === 'object') {
    for (const key of ['match', 'begin', 'end']) if (typeof node[key] === 'string') out.push(node[key]);
    Object.values(node).forEach((v) => collectMatches(v, out));
  }
  return out;
}

function collectNames(node, out = []) {
  if (Array.isArray(node)) node.forEach((n) => collectNames(n, out));
  else if (node && typeof node === 'object') {
    if (typeof node.name === 'string') out.push(node.name);
    Object.values(node).forEach((v) => collectNames(v, out));
  }
  return out;
}

export async function grammarChecks({ grammarText, fixturesDir }) {
  const raw = JSON.parse(grammarText);
  const grammar = await loadGrammar(grammarText, ROOT);

  group('grammar: structure');
  check('name, scope and the top-level rules in order of precedence', () => {
    expectEqual(raw.name, 'Palvex', 'name');
    expectEqual(raw.scopeName, ROOT, 'scopeName');
    expectEqual(raw.patterns, RULE_ORDER.map((r) => ({ include: `#${r}` })), 'patterns');
    expectEqual(Object.keys(raw.repository).sort(), [...RULE_ORDER].sort(), 'repository rules');
  });
  check('names the JSON schema it follows', () => {
    expectTrue(/^https:\/\/\S+\.json$/.test(raw.$schema ?? ''), `$schema is ${raw.$schema}`);
  });
  check('every scope name ends in .palvex', () => {
    const names = collectNames(raw.repository);
    expectTrue(names.length > 0, 'no scope names found');
    const bad = names.filter((n) => !n.endsWith('.palvex'));
    expectEqual(bad, [], 'scope names without .palvex');
  });
  const patterns = collectMatches(raw.repository);
  for (const pattern of patterns) {
    const error = await onigCompileError(pattern);
    check(`oniguruma compiles /${pattern.length > 60 ? `${pattern.slice(0, 57)}...` : pattern}/`, () => {
      if (error) fail(error);
    });
  }
  check('built-in alternatives list the interpreter built-ins in order', () => {
    const match = raw.repository.builtins.patterns[0].match;
    const inner = /\(\?:([^)]*)\)/.exec(match);
    expectTrue(inner, `no alternation group in ${match}`);
    expectEqual(inner[1].split('|'), BUILTINS, 'built-in names');
  });

  group('grammar: scope assertions in Palvex test files');
  const files = readdirSync(fixturesDir).filter((f) => f.endsWith('.palvex')).sort();
  check('assertion files present', () => expectTrue(files.length >= 5, `only ${files.length} files`));
  for (const file of files) {
    const parsed = parseAssertions(readFileSync(join(fixturesDir, file), 'utf8'));
    check(`${file} holds assertions`, () => expectTrue(parsed.cases.length > 0, 'no assertion lines'));
    for (const result of evaluate(grammar, ROOT, parsed)) {
      check(`${file}:${result.line}`, () => {
        if (result.message) fail(result.message);
      });
    }
  }

  group('grammar: built-ins');
  table(BUILTINS, (name) => `built-in ${name}`, (name) => {
    const cases = [
      [`${name}(x)`, name, 'support.function.builtin.palvex'],
      [`y = ${name} (x)`, name, 'support.function.builtin.palvex'],
      [`y = ${name}\t(x)`, name, 'support.function.builtin.palvex'],
      [`y = ${name}`, name, ''],
      [`${name}.z`, name, ''],
      [`${name}_x(1)`, `${name}_x`, 'entity.name.function.call.palvex'],
      [`my${name}(1)`, `my${name}`, 'entity.name.function.call.palvex'],
    ];
    for (const [line, word, expected] of cases) {
      expectEqual(scopesAt(grammar, line, line.indexOf(word), word.length), expected, JSON.stringify(line));
    }
  });

  group('grammar: words');
  table(WORDS, ([word, scope]) => `word ${word}`, ([word, scope]) => {
    const cases = [
      [`x ${word} y`, 2, word.length, scope],
      [`${word}`, 0, word.length, scope],
      [`x ${word}_y z`, 2, word.length + 2, ''],
      [`x ${word}1 z`, 2, word.length + 1, ''],
      [`x z${word} z`, 2, word.length + 1, ''],
    ];
    for (const [line, from, length, expected] of cases) {
      expectEqual(scopesAt(grammar, line, from, length), expected, JSON.stringify(line));
    }
  });

  group('grammar: operators');
  table(OPERATORS, (op) => `operator ${op}`, (op) => {
    for (const line of [`a ${op} b`, `a${op}b`, `1${op}2`]) {
      const toks = tokensOf(grammar, line).filter((t) => t.scopes.includes('keyword.operator'));
      expectEqual(toks, [{ text: op, scopes: 'keyword.operator.palvex' }], `operator tokens of ${JSON.stringify(line)}`);
    }
  });
}
