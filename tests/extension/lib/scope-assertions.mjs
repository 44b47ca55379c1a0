// Scope assertions written as Palvex comments under the line they test:
//
//   total //= 2
//   #     ^^^ keyword.operator.palvex
//   # <---- plain
//
// Each "^" marks a column of the nearest source line above; "<" followed by N dashes marks its
// first N columns (for text that starts at column 0, where the "#" must stand). The names after
// the marks are the whole scope stack under the root scope, outermost first, and "plain" means
// the root scope alone. Exact stacks rather than "contains" so that a stray extra scope fails.
// Assertion lines are ordinary comments to the grammar, so they never change its state.
import { tokenizeLines } from './vscode.mjs';

const ASSERTION = /^(\s*#\s*)(?:(\^+)|<(-+))\s+(\S.*?)\s*$/;

export function parseAssertions(text) {
  const lines = text.split('\n');
  const cases = [];
  let source = -1;
  lines.forEach((line, index) => {
    const m = ASSERTION.exec(line);
    if (!m) {
      source = index;
      return;
    }
    if (source < 0) throw new Error(`line ${index + 1}: assertion before any source line`);
    const first = m[2] ? m[1].length : 0;
    const width = m[2] ? m[2].length : m[3].length;
    const names = m[4].split(/\s+/);
    cases.push({
      line: index + 1,
      sourceLine: source,
      from: first,
      to: first + width,
      expected: names.length === 1 && names[0] === 'plain' ? [] : names,
    });
  });
  return { lines, cases };
}

// Runs every assertion of a file and returns one failure message per bad column range
// (columns that share one wrong stack are reported together).
export function evaluate(grammar, rootScope, { lines, cases }) {
  const tokens = tokenizeLines(grammar, lines);
  return cases.map((c) => {
    const text = lines[c.sourceLine];
    if (c.to > text.length) {
      return { ...c, message: `marks reach column ${c.to - 1}, line has ${text.length} characters` };
    }
    const wrong = [];
    for (let col = c.from; col < c.to; col++) {
      const token = tokens[c.sourceLine].find((t) => t.startIndex <= col && col < t.endIndex);
      const stack = token.scopes[0] === rootScope ? token.scopes.slice(1) : ['(root missing)', ...token.scopes];
      if (stack.join(' ') !== c.expected.join(' ')) wrong.push({ col, stack });
    }
    if (wrong.length === 0) return { ...c, message: null };
    const detail = wrong
      .map((w) => `col ${w.col} '${text[w.col]}': ${w.stack.join(' ') || 'plain'}`)
      .join('\n        ');
    return {
      ...c,
      message: `source: ${JSON.stringify(text)}\n      cols ${c.from}-${c.to - 1} ${JSON.stringify(
        text.slice(c.from, c.to),
      )} expected: ${c.expected.join(' ') || 'plain'}\n        ${detail}`,
    };
  });
}
