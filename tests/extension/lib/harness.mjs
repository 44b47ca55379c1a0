// Minimal case runner: every case counts once, failures print their input and go on,
// and the closing line is the plain "N passed, N failed" that CI reads.
import { isDeepStrictEqual, inspect } from 'node:util';

const counts = { passed: 0, failed: 0 };
let section = '';

export class CheckError extends Error {}

export function fail(message) {
  throw new CheckError(message);
}

export function expectEqual(actual, expected, what = 'value') {
  if (!isDeepStrictEqual(actual, expected)) {
    fail(`${what}:\n      expected ${show(expected)}\n      got      ${show(actual)}`);
  }
}

export function expectTrue(condition, message) {
  if (!condition) fail(message);
}

export function show(value) {
  return inspect(value, { depth: 6, breakLength: 120, maxArrayLength: 200 });
}

export function group(name) {
  section = name;
  console.log(`\n# ${name}`);
}

// `label` names the input so a red case can be read without opening the test.
export function check(label, fn) {
  try {
    fn();
    counts.passed += 1;
    if (process.env.VERBOSE) console.log(`ok   ${label}`);
  } catch (error) {
    counts.failed += 1;
    const detail = error instanceof CheckError ? error.message : error.stack;
    console.log(`FAIL [${section}] ${label}\n      ${detail}`);
  }
}

export function table(rows, labelOf, fn) {
  for (const row of rows) check(labelOf(row), () => fn(row));
}

export function finish() {
  console.log(`\n${counts.passed} passed, ${counts.failed} failed`);
  return counts.failed === 0 ? 0 : 1;
}
