// Usage: node render.mjs SAMPLE GRAMMAR OUT.html
// Highlights SAMPLE with the extension's grammar through Shiki (VS Code's TextMate engine and
// its Dark+ theme) and writes a page that shows it as an editor would.
import { readFileSync, writeFileSync } from 'node:fs';
import { createHighlighter } from 'shiki';

const [samplePath, grammarPath, outPath] = process.argv.slice(2);
if (!outPath) {
  console.error('usage: node render.mjs SAMPLE GRAMMAR OUT.html');
  process.exit(2);
}
const grammar = JSON.parse(readFileSync(grammarPath, 'utf8'));
const code = readFileSync(samplePath, 'utf8').replace(/\n$/, '');

const highlighter = await createHighlighter({
  themes: ['dark-plus'],
  langs: [{ ...grammar, name: 'palvex' }],
});
const html = highlighter.codeToHtml(code, { lang: 'palvex', theme: 'dark-plus' });

// Every colour but the theme's own foreground and background came from a grammar scope; a sample
// rendered in one colour would mean the grammar was not applied.
const theme = highlighter.getTheme('dark-plus');
const plain = new Set([theme.fg, theme.bg].map((c) => c.toUpperCase()));
const colours = new Set(
  [...html.matchAll(/color:(#[0-9A-Fa-f]{6})/g)].map((m) => m[1].toUpperCase()).filter((c) => !plain.has(c)),
);
if (colours.size < 5) {
  console.error(`render: only ${colours.size} colours in the output; is the grammar applied?`);
  process.exit(1);
}

const lines = code.split('\n').length;
writeFileSync(outPath, `<!doctype html>
<html><head><meta charset="utf-8"><style>
  html, body { margin: 0; background: #1e1e1e; }
  .tab { font: 13px system-ui, sans-serif; color: #ffffff; background: #1e1e1e; padding: 8px 16px;
         border-top: 1px solid #0078d4; display: inline-block; }
  .bar { background: #252526; }
  .editor { display: flex; padding: 8px 0 16px; }
  .gutter { color: #858585; text-align: right; padding: 0 18px 0 12px; user-select: none; }
  .gutter, pre { font: 14px/20px 'DejaVu Sans Mono', monospace; margin: 0; }
  pre.shiki { background: transparent !important; }
</style></head><body>
<div class="bar"><span class="tab">${samplePath.split('/').pop()}</span></div>
<div class="editor"><pre class="gutter">${Array.from({ length: lines }, (_, i) => i + 1).join('\n')}</pre>${html}</div>
</body></html>
`);
console.log(`render: ${lines} lines, ${colours.size} colours -> ${outPath}`);
