#!/usr/bin/env bash
# Puts the test inputs of libcsv's Debian source package into
# BUILDDIR/seeds/savedata, as extra seeds for the save-data fuzzer: the files
# of its tests/ folder, and the input strings of its test_csv.c, one file each.
# Each seed starts with the fuzzer's two leading bytes for "read this file"
# (an even mode byte, then the chunk size). Nothing fetched here is committed.
#
# The source is taken from a copy already fetched (BUILDDIR/_deps or the
# Windows build's build/_deps), else fetched once with apt-get source into
# BUILDDIR/_deps.
#
# Usage: scripts/fetch-fuzz-seeds.sh BUILDDIR
set -euo pipefail

SRC_DIR=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:?usage: fetch-fuzz-seeds.sh BUILDDIR}
mkdir -p "$BUILD"
BUILD=$(cd "$BUILD" && pwd)
OUT="$BUILD/seeds/savedata"

log() { echo "fetch-fuzz-seeds: $*"; }

find_source() {
  local d
  for d in "$BUILD/_deps" "$SRC_DIR/build/_deps"; do
    [ -d "$d" ] || continue
    d=$(find "$d" -maxdepth 1 -type d -name 'libcsv-*' | head -n 1)
    if [ -n "$d" ] && [ -f "$d/test_csv.c" ]; then
      echo "$d"
      return
    fi
  done
}

src=$(find_source)
if [ -z "$src" ]; then
  work="$BUILD/_deps/libcsv.download"
  rm -rf "$work"
  mkdir -p "$work"
  # apt-get drops privileges to _apt for downloads; let it write here.
  chmod 777 "$work" 2>/dev/null || true
  if [ -f "$SRC_DIR/scripts/deb-src.sh" ]; then
    # shellcheck source=scripts/deb-src.sh
    source "$SRC_DIR/scripts/deb-src.sh"
    if ensure_deb_src; then apt-get update -qq; fi
  fi
  if ! (cd "$work" && apt-get source -qq libcsv >/dev/null 2>"$work/err.txt"); then
    log "apt-get source libcsv failed:" >&2
    cat "$work/err.txt" >&2
    exit 1
  fi
  d=$(find "$work" -maxdepth 1 -type d -name 'libcsv-*' | head -n 1)
  mv "$d" "$BUILD/_deps/"
  rm -rf "$work"
  src="$BUILD/_deps/$(basename "$d")"
  log "libcsv source fetched with apt-get source -> $src"
else
  log "libcsv source cached in $src"
fi

rm -rf "$OUT"
mkdir -p "$OUT"
n=0
for f in "$src"/tests/*.csv; do
  [ -f "$f" ] || continue
  { printf '\000'; printf "\\$(printf '%03o' $((n % 8)))"; cat "$f"; } >"$OUT/libcsv-$(basename "$f")"
  n=$((n + 1))
done

# The parser tests keep their inputs as C string literals (char testNN_data[]).
m=$(python3 - "$src/test_csv.c" "$OUT" <<'EOF'
import codecs, re, sys
text = open(sys.argv[1], encoding="latin-1").read()
pattern = re.compile(r'char\s+(\w+)_data\[\]\s*=\s*((?:\s*"(?:[^"\\]|\\.)*")+)\s*;')
count = 0
for name, literals in pattern.findall(text):
    body = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', literals))
    data = codecs.decode(body, "unicode_escape").encode("latin-1")
    with open(f"{sys.argv[2]}/libcsv-{name}", "wb") as out:
        out.write(bytes([0, count % 64]) + data)
    count += 1
print(count)
EOF
)
log "$n test files and $m parser-test inputs -> $OUT"
