// The packed VSIX: archive layout, both manifests, and agreement with the setup program.
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { join, relative } from 'node:path';
import { DOMParser } from '@xmldom/xmldom';
import { check, expectEqual, expectTrue, fail, group } from '../lib/harness.mjs';
import { schemaValidator } from './editing.mjs';

export const ENTRIES = [
  ['extension.vsixmanifest', 'extension.vsixmanifest'],
  ['[Content_Types].xml', '[Content_Types].xml'],
  ['extension/package.json', 'package.json'],
  ['extension/language-configuration.json', 'language-configuration.json'],
  ['extension/README.md', 'README.md'],
  ['extension/syntaxes/palvex.tmLanguage.json', 'syntaxes/palvex.tmLanguage.json'],
  ['extension/snippets/palvex.json', 'snippets/palvex.json'],
];

const EXTENSION_ID = 'palvex.palvex-lang';
const DESCRIPTION = 'Syntax highlighting and editing support for the Palvex programming language (.palvex, .pvx).';
const VSX = 'http://schemas.microsoft.com/developer/vsx-schema/2011';
const VSX_DESIGN = 'http://schemas.microsoft.com/developer/vsx-schema-design/2011';
const CONTENT_TYPES = 'http://schemas.openxmlformats.org/package/2006/content-types';

function parseXml(text, what) {
  const errors = [];
  const doc = new DOMParser({
    onError: (level, message) => { if (level !== 'warning') errors.push(message); },
  }).parseFromString(text, 'text/xml');
  if (errors.length) fail(`${what} is not well-formed XML: ${errors.join('; ')}`);
  return doc;
}

function children(element) {
  return Array.from(element.childNodes).filter((n) => n.nodeType === 1);
}

function only(parent, name) {
  const found = children(parent).filter((n) => n.localName === name);
  if (found.length !== 1) fail(`expected one <${name}> in <${parent.localName}>, found ${found.length}`);
  if (found[0].namespaceURI !== VSX) fail(`<${name}> is in namespace ${found[0].namespaceURI}`);
  return found[0];
}

function attributes(element) {
  return Object.fromEntries(
    Array.from(element.attributes).filter((a) => !a.name.startsWith('xmlns')).map((a) => [a.name, a.value]),
  );
}

function listFiles(dir) {
  return readdirSync(dir).flatMap((name) => {
    const path = join(dir, name);
    return statSync(path).isDirectory() ? listFiles(path) : [path];
  });
}

export function packageChecks({ entries, repeatBytes, vsixBytes, sourceDir, repoRoot, schemas }) {
  const byName = new Map(entries.map((e) => [e.name, e.data.toString('utf8')]));
  const text = (name) => byName.get(name) ?? fail(`package has no ${name}`);

  group('package: archive');
  check('seven entries in the fixed order', () => {
    expectEqual(entries.map((e) => e.name), ENTRIES.map((e) => e[0]), 'entry names');
  });
  check('every entry deflated', () => {
    expectEqual(entries.filter((e) => e.method !== 8).map((e) => `${e.name} (method ${e.method})`), [], 'entries not deflated');
  });
  check('entries hold the extension sources byte for byte', () => {
    for (const [entry, file] of ENTRIES) {
      const packed = entries.find((e) => e.name === entry);
      if (packed && !packed.data.equals(readFileSync(join(sourceDir, file)))) fail(`${entry} differs from ${file}`);
    }
  });
  check('packing twice gives identical bytes', () => {
    expectTrue(repeatBytes, 'no second package given');
    expectTrue(vsixBytes.equals(repeatBytes), `packages differ (${vsixBytes.length} and ${repeatBytes.length} bytes)`);
  });
  check('extension sources hold only the packed files', () => {
    const present = listFiles(sourceDir).map((p) => relative(sourceDir, p).split('\\').join('/')).sort();
    expectEqual(present, ENTRIES.map((e) => e[1]).sort(), 'files under the extension folder');
  });

  group('package: manifests');
  const manifest = JSON.parse(text('extension/package.json'));
  check('package.json valid against VS Code extension manifest schema', () => {
    expectTrue(schemas.extensionManifest, 'schema not registered by the editor sources');
    const contributes = schemas.extensionManifest.properties.contributes.properties;
    expectTrue(contributes.languages && contributes.grammars, 'schema lacks the languages or grammars point');
    schemaValidator(schemas.extensionManifest)(manifest);
  });
  check(`publisher.name is ${EXTENSION_ID}`, () => {
    expectEqual(`${manifest.publisher}.${manifest.name}`, EXTENSION_ID, 'publisher.name');
  });
  check('setup program uninstalls the identifier the package declares', () => {
    const source = readFileSync(join(repoRoot, 'src/editor/editor.cpp'), 'utf8');
    const named = [...source.matchAll(/--uninstall-extension\s+([\w.-]+)/g)].map((m) => m[1]);
    expectTrue(named.length > 0, 'src/editor/editor.cpp names no --uninstall-extension target');
    expectEqual([...new Set(named)], [`${manifest.publisher}.${manifest.name}`], 'uninstall target');
  });
  check('package.json fields', () => {
    const { contributes, repository, ...fields } = manifest;
    expectEqual(fields, {
      name: 'palvex-lang',
      displayName: 'Palvex Language',
      description: DESCRIPTION,
      version: '0.5.0',
      publisher: 'palvex',
      license: 'MIT',
      engines: { vscode: '^1.60.0' },
      categories: ['Programming Languages'],
      keywords: ['palvex', 'pvx'],
    }, 'fields');
    expectEqual(repository?.type, 'git', 'repository.type');
    expectTrue(/^https:\/\/\S+$/.test(repository?.url ?? ''), `repository.url is ${repository?.url}`);
  });
  check('contributions name files that are in the package', () => {
    expectEqual(manifest.contributes, {
      languages: [{
        id: 'palvex', aliases: ['Palvex', 'palvex'], extensions: ['.palvex', '.pvx'],
        configuration: './language-configuration.json',
      }],
      grammars: [{ language: 'palvex', scopeName: 'source.palvex', path: './syntaxes/palvex.tmLanguage.json' }],
      snippets: [{ language: 'palvex', path: './snippets/palvex.json' }],
    }, 'contributes');
    const paths = [
      manifest.contributes.languages[0].configuration,
      manifest.contributes.grammars[0].path,
      manifest.contributes.snippets[0].path,
    ];
    for (const p of paths) expectTrue(byName.has(`extension/${p.replace(/^\.\//, '')}`), `${p} is not packed`);
    const grammar = JSON.parse(text('extension/syntaxes/palvex.tmLanguage.json'));
    expectEqual(grammar.scopeName, manifest.contributes.grammars[0].scopeName, 'grammar file scopeName');
  });

  check('extension.vsixmanifest', () => {
    const root = parseXml(text('extension.vsixmanifest'), 'extension.vsixmanifest').documentElement;
    expectEqual([root.localName, root.namespaceURI, root.getAttribute('Version')], ['PackageManifest', VSX, '2.0.0'], 'root');
    expectEqual(root.getAttribute('xmlns:d'), VSX_DESIGN, 'design namespace');
    const metadata = only(root, 'Metadata');
    expectEqual(attributes(only(metadata, 'Identity')), {
      Language: 'en-US', Id: manifest.name, Version: manifest.version, Publisher: manifest.publisher,
    }, 'Identity');
    expectEqual(only(metadata, 'DisplayName').textContent, manifest.displayName, 'DisplayName');
    expectEqual(only(metadata, 'Description').textContent, manifest.description, 'Description');
    expectEqual(only(metadata, 'Tags').textContent, manifest.keywords.join(','), 'Tags');
    expectEqual(only(metadata, 'Categories').textContent, manifest.categories.join(','), 'Categories');
    expectEqual(only(metadata, 'GalleryFlags').textContent, 'Public', 'GalleryFlags');
    expectEqual(children(only(metadata, 'Properties')).map(attributes), [
      { Id: 'Microsoft.VisualStudio.Code.Engine', Value: manifest.engines.vscode },
      { Id: 'Microsoft.VisualStudio.Code.ExtensionDependencies', Value: '' },
      { Id: 'Microsoft.VisualStudio.Code.ExtensionPack', Value: '' },
    ], 'Properties');
    expectEqual(children(only(root, 'Installation')).map((e) => [e.localName, attributes(e)]),
      [['InstallationTarget', { Id: 'Microsoft.VisualStudio.Code' }]], 'Installation');
    expectEqual(children(only(root, 'Dependencies')).length, 0, 'Dependencies');
    const assets = children(only(root, 'Assets')).map(attributes);
    expectEqual(assets, [{ Type: 'Microsoft.VisualStudio.Code.Manifest', Path: 'extension/package.json', Addressable: 'true' }], 'Assets');
    expectTrue(byName.has(assets[0].Path), `asset ${assets[0].Path} is not packed`);
  });

  check('[Content_Types].xml', () => {
    const root = parseXml(text('[Content_Types].xml'), '[Content_Types].xml').documentElement;
    expectEqual([root.localName, root.namespaceURI], ['Types', CONTENT_TYPES], 'root');
    const defaults = children(root).map((e) => [e.localName, e.namespaceURI, attributes(e)]);
    expectEqual(defaults, [
      ['.json', 'application/json'], ['.md', 'text/markdown'],
      ['.vsixmanifest', 'text/xml'], ['.xml', 'text/xml'],
    ].map(([Extension, ContentType]) => ['Default', CONTENT_TYPES, { Extension, ContentType }]), 'defaults');
    // Every packed file must have a content type, or the package is not a valid OPC package.
    const known = new Set(defaults.map((d) => d[2].Extension));
    const untyped = entries.map((e) => e.name).filter((n) => !known.has(n.slice(n.lastIndexOf('.'))));
    expectEqual(untyped, [], 'entries without a content type');
  });

  check('README covers features, installing and rebuilding', () => {
    const readme = text('extension/README.md');
    const snippets = JSON.parse(text('extension/snippets/palvex.json'));
    const wanted = [
      ...Object.values(snippets).map((s) => `\`${s.prefix}\``),
      '--install-extension', '--force', 'pack_vsix.py', EXTENSION_ID, 'interpreter',
      'highlighting', 'Comment', 'Bracket matching', 'Auto-closing', 'surrounding', 'indentation',
    ];
    expectEqual(wanted.filter((w) => !readme.includes(w)), [], 'missing from README');
  });
}
