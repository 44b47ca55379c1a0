// VS Code's own code, taken from the editor sources that @codingame/monaco-vscode-api ships:
// the TextMate engine as the editor runs it, the JSON schemas the editor registers for an
// extension's package.json and language-configuration.json, and its snippet parser.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import vsctm from 'vscode-textmate';
import oniguruma from 'vscode-oniguruma';

const require = createRequire(import.meta.url);
const VS = '@codingame/monaco-vscode-api/vscode/vs/';

let onigLoaded;
function onigLib() {
  onigLoaded ??= oniguruma
    .loadWASM(readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm')).buffer)
    .then(() => ({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (text) => new oniguruma.OnigString(text),
    }));
  return onigLoaded;
}

export async function loadGrammar(grammarText, scopeName) {
  const registry = new vsctm.Registry({
    onigLib: onigLib(),
    loadGrammar: async (scope) =>
      scope === scopeName ? vsctm.parseRawGrammar(grammarText, 'grammar.json') : null,
  });
  const grammar = await registry.loadGrammar(scopeName);
  if (!grammar) throw new Error(`grammar ${scopeName} did not load`);
  return grammar;
}

// Lines are tokenized in sequence so that multi-line state (an open string) carries over,
// as it does in the editor.
export function tokenizeLines(grammar, lines) {
  let state = vsctm.INITIAL;
  return lines.map((line) => {
    const result = grammar.tokenizeLine(line, state);
    state = result.ruleStack;
    return result.tokens;
  });
}

// Returns the message of the engine's compile error, or null when the pattern compiles.
export async function onigCompileError(pattern) {
  await onigLib();
  try {
    new oniguruma.OnigScanner([pattern]).dispose();
    return null;
  } catch (error) {
    return String(error.message ?? error);
  }
}

export async function vscodeSchemas() {
  const { Registry } = await import(VS + 'platform/registry/common/platform');
  const { Extensions } = await import(VS + 'platform/jsonschemas/common/jsonContributionRegistry');
  // Each module registers its extension point's schema as a side effect of being loaded.
  await import(VS + 'workbench/services/extensions/common/extensionsRegistry');
  await import(VS + 'workbench/services/textMate/common/TMGrammars');
  await import(VS + 'workbench/contrib/codeEditor/common/languageConfigurationExtensionPoint');
  const schemas = Registry.as(Extensions.JSONContribution).getSchemaContributions().schemas;
  const languageConfiguration = structuredClone(schemas['vscode://schemas/language-configuration']);
  const lineComment = languageConfiguration?.properties?.comments?.properties?.lineComment;
  if (lineComment) {
    // Newer editors document only the object form of lineComment, but their loader still takes
    // the plain string, and the string is the only form that editors as old as the package's
    // engine (^1.60.0) understand.
    languageConfiguration.properties.comments.properties.lineComment = { anyOf: [{ type: 'string' }, lineComment] };
  }
  return {
    extensionManifest: schemas['vscode://schemas/vscode-extensions'],
    languageConfiguration,
  };
}

export async function snippetParser() {
  const { SnippetParser } = await import(VS + 'editor/contrib/snippet/browser/snippetParser');
  return new SnippetParser();
}
