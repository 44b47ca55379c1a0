#!/usr/bin/env bash
# The README's two commands on a plain Debian release with its own tool versions, which CI, on a
# machine with newer ones, does not show. Builds a fresh minimal root of RELEASE (bookworm, Debian
# 12, or trixie, Debian 13, each with its -updates and -security sources) in DIR (a new folder),
# clones the committed HEAD into it and runs there, as root, scripts/run.sh (answering its menu
# with 3, Exit) and then scripts/test.sh. Ends with the Debian versions of the tools they installed
# and how each did; the logs stay in DIR/root. Nothing stays mounted in DIR afterwards: rm -rf
# removes it. Not part of the test command: it takes minutes, most of them apt's.
usage='usage: .ci/debian-root.sh bookworm|trixie DIR'
set -euo pipefail
# In a mount namespace of its own, nothing mounted into the root reaches the machine's own /dev,
# and the mounts go away with this script however it ends.
[[ -n ${PALVEX_OWN_MOUNTS:-} ]] ||
  PALVEX_OWN_MOUNTS=1 exec unshare --mount --propagation private "$0" "$@"
release=${1:?$usage}
root=$(realpath -m "${2:?$usage}")
cd "$(dirname "$0")/.."
[[ $release == bookworm || $release == trixie ]] ||
  { echo "debian-root: $release is no release it knows; $usage" >&2 && exit 2; }
[[ ! -e $root ]] || { echo "debian-root: $root exists; name a new folder" >&2 && exit 2; }

scripts/install-deps.sh debootstrap
debootstrap --variant=minbase --include=git,ca-certificates "$release" "$root" \
  http://deb.debian.org/debian 2>&1 | tail -1
# A minimal root has neither, and a user's Debian gets its fixes from both.
cat >>"$root/etc/apt/sources.list" <<EOF
deb http://deb.debian.org/debian $release-updates main
deb http://deb.debian.org/debian-security $release-security main
EOF
# This machine's own authorities (an egress proxy's, say), without which npm in the root reaches no
# registry. They belong to the machine, not to the project, which ships none.
cp -r /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
git clone -q --no-hardlinks . "$root/root/palvex"

# Wine needs /proc, /dev and /dev/pts; Chromium needs /dev/shm.
trap 'umount -R -l "$root/dev" "$root/proc" 2>/dev/null || true' EXIT
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount -t tmpfs shm "$root/dev/shm"
# None of this machine's variables (its NODE_EXTRA_CA_CERTS, say) reach the commands.
in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}
in_root update-ca-certificates >/dev/null 2>&1

echo "== scripts/run.sh in the root"
start=$SECONDS
run=passed
printf '3\n' | in_root bash -c 'cd /root/palvex && scripts/run.sh' 2>&1 |
  tee "$root/root/run.log" || run="failed (exit code $?)"
run_time=$((SECONDS - start))
# The menu as the README shows it, with the version of the project() line for its <version>, each
# line in what the setup printed (with CR LF under Wine); the first fault found is the one reported.
version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\) .*/\1/p' "$root/root/palvex/CMakeLists.txt")
menu=$(awk '/shows a menu:/ { menu = 1 } menu && /^```/ { if (++fence == 2) exit; next }
            fence == 1' "$root/root/palvex/README.md" | sed "s/<version>/$version/")
[[ -n $menu || $run != passed ]] || run="failed (no menu found in README.md)"
while IFS= read -r line; do
  [[ -z $line || $run != passed ]] || tr -d '\r' <"$root/root/run.log" | grep -qF -- "$line" ||
    run="failed (the menu line '$line' not shown)"
done <<<"$menu"

echo "== scripts/test.sh in the root"
start=$SECONDS
test=passed
in_root bash -c 'cd /root/palvex && scripts/test.sh' </dev/null 2>&1 | tee "$root/root/test.log" ||
  test="failed (exit code $?)"
test_time=$((SECONDS - start))

echo "== Debian $(cat "$root/etc/debian_version") ($release) root $root"
in_root dpkg-query -W -f '${Package} ${Version}\n' nodejs npm osslsigncode openssl chromium wine \
  cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 || true
echo "scripts/run.sh: $run, ${run_time} s"
echo "scripts/test.sh: $test, ${test_time} s"
[[ $run == passed && $test == passed ]]
