// The test command must run on Debian 12's own Node too, older than the one CI may have: fails when
// a package in a lock file declares that it needs a newer one. node node-engines.mjs LOCKFILE...
import { readFileSync } from 'node:fs';
import semver from 'semver';

const DEBIAN_12_NODE = '18.20.4';
let failed = 0;
for (const lockfile of process.argv.slice(2)) {
  const { packages } = JSON.parse(readFileSync(lockfile, 'utf8'));
  for (const [path, { version, engines }] of Object.entries(packages)) {
    // A range that semver cannot read fails too, to be looked at by hand.
    if (engines?.node && !semver.satisfies(DEBIAN_12_NODE, engines.node)) {
      console.log(`FAIL ${lockfile}: ${path} ${version} needs Node ${engines.node}`);
      failed++;
    }
  }
}
if (!failed) console.log(`Node ${DEBIAN_12_NODE} (Debian 12) runs every package in the lock files`);
process.exit(failed ? 1 : 0);
