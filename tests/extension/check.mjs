// Usage: node check.mjs PACKAGE.vsix [SAME_PACKAGE_PACKED_AGAIN.vsix]
import { readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { check, fail, finish, group } from './lib/harness.mjs';
import { readZip } from './lib/vsix.mjs';
import { vscodeSchemas } from './lib/vscode.mjs';
import { grammarChecks } from './checks/grammar.mjs';
import { editingChecks } from './checks/editing.mjs';
import { packageChecks } from './checks/package.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const repoRoot = resolve(here, '../..');
const [vsixPath, repeatPath] = process.argv.slice(2);
if (!vsixPath) {
  console.error('usage: node check.mjs PACKAGE.vsix [SAME_PACKAGE_PACKED_AGAIN.vsix]');
  process.exit(2);
}

const vsixBytes = readFileSync(vsixPath);
let entries = [];
group('package: opens as a ZIP');
check(`${vsixPath} reads as a ZIP archive`, () => {
  try {
    entries = readZip(vsixBytes);
  } catch (error) {
    fail(error.message);
  }
});
const packed = (name) => entries.find((e) => e.name === name)?.data.toString('utf8');
const schemas = await vscodeSchemas();

packageChecks({
  entries,
  vsixBytes,
  repeatBytes: repeatPath ? readFileSync(repeatPath) : null,
  sourceDir: join(repoRoot, 'payload/extension'),
  repoRoot,
  schemas,
});

const grammarText = packed('extension/syntaxes/palvex.tmLanguage.json');
const languageConfiguration = packed('extension/language-configuration.json');
const snippetsText = packed('extension/snippets/palvex.json');
if (grammarText && languageConfiguration && snippetsText) {
  await grammarChecks({ grammarText, fixturesDir: join(here, 'grammar') });
  await editingChecks({ languageConfiguration, snippetsText, schemas });
} else {
  check('package holds the grammar, language configuration and snippets', () => fail('missing; later checks skipped'));
}

process.exit(finish());
