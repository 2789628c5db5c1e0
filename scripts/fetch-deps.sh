#!/bin/bash
# Fetches the third-party sources that the Windows cross build compiles:
#   - libcsv from Debian's source package (apt-get source),
#   - the SQLite amalgamation from the npm package better-sqlite3, which ships
#     deps/sqlite3/sqlite3.c and sqlite3.h.
# Nothing fetched here is committed; everything is cached below DEST
# (default: build/_deps in the source tree) and fetched again only when gone.
#
# Usage: scripts/fetch-deps.sh [DEST]
set -euo pipefail

SRC_DIR=$(cd "$(dirname "$0")/.." && pwd)
DEST=${1:-$SRC_DIR/build/_deps}
BETTER_SQLITE3_VERSION=12.11.1

mkdir -p "$DEST"
DEST=$(cd "$DEST" && pwd)

log() { echo "fetch-deps: $*"; }

# shellcheck source=scripts/deb-src.sh
source "$SRC_DIR/scripts/deb-src.sh"

fetch_libcsv() {
  local dir
  dir=$(find "$DEST" -maxdepth 1 -type d -name 'libcsv-*' | head -n 1)
  if [ -n "$dir" ] && [ -f "$dir/libcsv.c" ] && [ -f "$dir/csv.h" ]; then
    log "libcsv: cached in $dir"
    return
  fi
  if ensure_deb_src; then
    apt-get update -qq
  fi
  local work="$DEST/libcsv.download"
  rm -rf "$work"
  mkdir -p "$work"
  # apt-get drops privileges to _apt for downloads; let it write here.
  chmod 777 "$work" 2>/dev/null || true
  if ! (cd "$work" && apt-get source -qq libcsv >/dev/null 2>"$work/err.txt"); then
    # The package lists may predate the deb-src entry.
    apt-get update -qq
    (cd "$work" && apt-get source -qq libcsv)
  fi
  dir=$(find "$work" -maxdepth 1 -type d -name 'libcsv-*' | head -n 1)
  [ -n "$dir" ] && [ -f "$dir/libcsv.c" ] || { echo "fetch-deps: libcsv source not unpacked" >&2; exit 1; }
  local dsc
  dsc=$(basename "$(ls "$work"/*.dsc)")
  mv "$dir" "$DEST/"
  cp "$work"/*.dsc "$DEST/"
  rm -rf "$work"
  log "libcsv: Debian source package ($dsc) via apt-get source -> $DEST/$(basename "$dir")"
}

fetch_sqlite() {
  local dir="$DEST/sqlite3"
  local tgz="$DEST/better-sqlite3-$BETTER_SQLITE3_VERSION.tgz"
  if [ -f "$dir/sqlite3.c" ] && [ -f "$dir/sqlite3.h" ] &&
     [ "$(cat "$dir/SOURCE" 2>/dev/null)" = "better-sqlite3@$BETTER_SQLITE3_VERSION" ]; then
    log "sqlite3: cached in $dir (from npm package better-sqlite3@$BETTER_SQLITE3_VERSION)"
    return
  fi
  if [ ! -f "$tgz" ]; then
    command -v npm >/dev/null || { echo "fetch-deps: npm is needed (apt-get install npm)" >&2; exit 1; }
    (cd "$DEST" && npm pack --silent "better-sqlite3@$BETTER_SQLITE3_VERSION" >/dev/null)
  fi
  rm -rf "$dir" "$DEST/sqlite3.extract"
  mkdir -p "$DEST/sqlite3.extract"
  tar -xzf "$tgz" -C "$DEST/sqlite3.extract" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  mv "$DEST/sqlite3.extract/package/deps/sqlite3" "$dir"
  rm -rf "$DEST/sqlite3.extract"
  echo "better-sqlite3@$BETTER_SQLITE3_VERSION" > "$dir/SOURCE"
  local v
  v=$(sed -n 's/^#define SQLITE_VERSION *"\(.*\)"/\1/p' "$dir/sqlite3.h")
  log "sqlite3: SQLite $v amalgamation from npm package better-sqlite3@$BETTER_SQLITE3_VERSION ($(basename "$tgz")) -> $dir"
}

fetch_libcsv
fetch_sqlite
