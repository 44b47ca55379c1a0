// The test command must run on Debian 12's own Node too, older than the one CI may have: fails when
// a package in a lock file declares that it needs a newer one. node node-engines.mjs LOCKFILE...
import { readFileSync } from 'node:fs';
import semver from 'semver';

const DEBIAN_12_NODE = '18.20.4';
const failures = process.argv.slice(2).flatMap((lockfile) =>
  Object.entries(JSON.parse(readFileSync(lockfile, 'utf8')).packages)
    // A range that semver cannot read fails too, to be looked at by hand.
    .filter(([, { engines }]) => engines?.node && !semver.satisfies(DEBIAN_12_NODE, engines.node))
    .map(([path, { version, engines }]) => `${lockfile}: ${path} ${version} needs Node ${engines.node}`));
for (const failure of failures) console.log(`FAIL ${failure}`);
if (!failures.length) console.log(`Node ${DEBIAN_12_NODE} (Debian 12) runs every package in the lock files`);
process.exit(failures.length ? 1 : 0);
