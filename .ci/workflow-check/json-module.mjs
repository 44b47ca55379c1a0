// GitHub's workflow parser is published for bundlers: it imports its schema, a JSON file, without
// the import attribute that Node asks for. This loader hook hands Node such a file as a module.
import { readFileSync } from 'node:fs';

export async function load(url, context, nextLoad) {
  if (!url.endsWith('.json')) return nextLoad(url, context);
  const json = readFileSync(new URL(url), 'utf8');
  return { format: 'module', source: `export default ${json};`, shortCircuit: true };
}
