#!/usr/bin/env bash
# Builds the release artefacts twice, from two copies of this checkout in folders of different
# names and depths, one after the other with different clocks, time zones, locales and umasks, and
# compares palvex-setup.exe, the palvex.exe it embeds and palvex-extension.vsix byte for byte.
# On a difference it names the file, the first differing offset and, for a PE file, the header
# field or section of every differing byte; for the package, the entries that differ. Exits 1 then.
#
#   scripts/check-reproducible.sh         the checkout's files as git sees them: the current
#                                         commit plus uncommitted edits and new unignored files
#   scripts/check-reproducible.sh REV     commit REV alone (git archive)
#
# The copies and their builds are in build/repro/, removed again when the check passes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rev=${1:-}
work=$root/build/repro
first=$work/a/palvex
second=$work/second-checkout/nested/palvex-setup

copy_checkout() {
  mkdir -p "$1"
  if [[ -n $rev ]]; then
    git archive "$rev" | tar -x -C "$1"
  else
    # A tracked file deleted in the work tree is still listed; tar would stop on it.
    git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' file; do
        if [[ -e $file || -L $file ]]; then printf '%s\0' "$file"; fi
      done |
      tar --null -T - -cf - | tar -x -C "$1"
  fi
}

# GCC takes __DATE__ and __TIME__ from SOURCE_DATE_EPOCH when set; the two builds get dates more
# than a year apart, so any use of them shows up whatever the time between the builds.
build_copy() {
  local dir=$1 epoch=$2 zone=$3 locale=$4 mask=$5
  echo "== Building in $dir (SOURCE_DATE_EPOCH=$epoch TZ=$zone LC_ALL=$locale umask $mask)"
  if ! (cd "$dir" && umask "$mask" &&
        env -u PALVEX_SIGN_PFX -u PALVEX_SIGN_PASSWORD SOURCE_DATE_EPOCH="$epoch" TZ="$zone" \
          LC_ALL="$locale" scripts/release.sh) >"$dir.log" 2>&1; then
    echo "release build failed in $dir:" >&2
    cat "$dir.log" >&2
    exit 2
  fi
}

# Prints where two PE files differ: each differing byte is put in its section, or for the
# headers in the field that holds it (a change anywhere also changes the checksum).
describe_pe() {
  local a=$1 b=$2
  local pe
  pe=$(od -An -t u4 -j 60 -N 4 "$a" | tr -d ' ')
  # Sizes in the table are the sections' virtual sizes; each section's file data runs on, padded,
  # to the start of the next. Sections with no file data (.bss) have offset 0.
  x86_64-w64-mingw32-objdump -h "$a" |
    while read -r index name size _ _ offset _; do
      if [[ $index =~ ^[0-9]+$ && $((16#$offset)) -gt 0 ]]; then
        echo "$((16#$offset)) $((16#$size)) $name"
      fi
    done | sort -n >"$work/sections"
  { cmp -l "$a" "$b" 2>/dev/null || true; } | awk -v pe="$pe" -v sections="$work/sections" '
    BEGIN {
      while ((getline line < sections) > 0) {
        split(line, f, " ")
        n++; start[n] = f[1]; end[n] = f[1] + f[2]; name[n] = f[3]
        if (n > 1) end[n - 1] = start[n]
      }
      end[n] = start[n] + int((end[n] - start[n] + 511) / 512) * 512
    }
    {
      offset = $1 - 1; where = ""
      if (offset >= pe + 88 && offset < pe + 92) where = "PE header: CheckSum"
      else if (offset >= pe + 8 && offset < pe + 12) where = "COFF header: TimeDateStamp"
      else if (n == 0 || offset < start[1]) where = "headers"
      else {
        for (i = 1; i <= n; i++)
          if (offset >= start[i] && offset < end[i]) { where = "section " name[i]; break }
        if (where == "") where = "past the sections"
      }
      if (!(where in count)) order[++kinds] = where
      count[where]++
    }
    END { for (k = 1; k <= kinds; k++) printf "    %-30s %d bytes differ\n", order[k], count[order[k]] }'
}

describe_zip() {
  python3 - "$1" "$2" <<'EOF'
import sys, zipfile
def entries(path):
    with zipfile.ZipFile(path) as z:
        return [(i.filename, i.CRC, i.compress_size, i.date_time, i.external_attr, i.create_system)
                for i in z.infolist()]
a, b = entries(sys.argv[1]), entries(sys.argv[2])
if [e[0] for e in a] != [e[0] for e in b]:
    print("    entry order or names differ:", [e[0] for e in a], "vs", [e[0] for e in b])
for ea, eb in zip(a, b):
    if ea != eb:
        print(f"    entry {ea[0]}: (crc, size, time, attributes, system) {ea[1:]} vs {eb[1:]}")
EOF
}

rm -rf "$work"
copy_checkout "$first"
copy_checkout "$second"
now=$(date +%s)
build_copy "$first" "$now" UTC C 022
sleep 2
build_copy "$second" $((now - 400 * 86400 - 3661)) Pacific/Kiritimati C.UTF-8 002

status=0
for file in dist/palvex-setup.exe build/release/payload/embedded/palvex.exe \
            dist/palvex-extension.vsix; do
  a=$first/$file b=$second/$file
  if cmp -s "$a" "$b"; then
    printf 'same       %s  %s\n' "$(sha256sum "$a" | cut -d' ' -f1)" "$file"
    continue
  fi
  status=1
  printf 'DIFFERENT  %s (%d vs %d bytes)\n' "$file" "$(stat -c %s "$a")" "$(stat -c %s "$b")"
  report=$(cmp "$a" "$b" 2>&1 || true)
  if [[ $report =~ differ:\ byte\ ([0-9]+) ]]; then
    offset=$((BASH_REMATCH[1] - 1))
  else
    # One file is the start of the other: the first difference is just past the shorter one.
    [[ $report =~ after\ byte\ ([0-9]+) ]]
    offset=${BASH_REMATCH[1]}
  fi
  printf '    first difference at offset %d (0x%x)\n' "$offset" "$offset"
  case $file in
    *.exe) describe_pe "$a" "$b" ;;
    *.vsix) describe_zip "$a" "$b" ;;
  esac
done

if [[ $status -ne 0 ]]; then
  echo "NOT reproducible: the builds are kept in $work"
  echo "  (a difference in the setup's .rsrc section alone comes from a differing payload)"
  exit 1
fi
rm -rf "$work"
echo "Reproducible: both builds gave the same bytes"
