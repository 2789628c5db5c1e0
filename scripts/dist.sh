#!/usr/bin/env bash
# Builds the 32-bit Windows DLL and writes, in dist/:
#   Corvane-<version>.zip          the release archive (Data-rooted, for mod managers)
#   Corvane-<version>-source.zip   the corresponding source: Corvane's files plus the
#                                  libcsv source the programs were built from
#                                  (third_party/libcsv-*), to publish beside the archive
#   Corvane-<version>-tools.zip    for mod authors: corvane-sim.exe in its game folder,
#                                  corvane-savedata.exe, the examples and the guides
#
#   scripts/dist.sh                          all three archives
#   scripts/dist.sh --source-only DEPS OUT   only the source archive, into OUT, with
#                                            the libcsv source found below DEPS
#
# In a git checkout the source archive holds every file git tracks, as it
# stands in the working tree (the DLL is built from the same files). In an
# unpacked source archive, where there is no git, it holds the folder's files
# but build/, dist/ and third_party/, and the libcsv source in third_party/ is
# what the build uses when build/_deps has none: so the notices' relinking
# steps work there too.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(corvane VERSION \([0-9]*\).*/\1/p' CMakeLists.txt)

in_git_checkout() {
  [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]
}

# The files of the source archive, NUL-separated, relative to the top folder.
source_files() {
  if in_git_checkout; then
    git ls-files -z --cached | while IFS= read -r -d '' f; do
      [ -f "$f" ] && printf '%s\0' "$f"
    done
  else
    find . \( -path ./build -o -path ./dist -o -path ./third_party -o -path ./.git \) -prune \
      -o -type f -print0 | sed -z 's|^\./||' | sort -z
  fi
}

# Writes OUT/Corvane-<version>-source.zip with the libcsv source below DEPS.
write_source_zip() {
  local deps=$1 out=$2 libcsv stage
  libcsv=$(find "$deps" -maxdepth 1 -type d -name 'libcsv-*' | head -n 1)
  [ -n "$libcsv" ] || { echo "dist: no libcsv source below $deps" >&2; exit 1; }
  mkdir -p "$out"
  local source_zip
  source_zip="$(cd "$out" && pwd)/Corvane-$version-source.zip"
  stage=$(mktemp -d "${TMPDIR:-/tmp}/corvane-source.XXXXXX")
  local top="$stage/Corvane-$version-source"
  mkdir -p "$top/third_party"
  source_files | tar --null -T - -cf - | tar -x -C "$top"
  cp -r "$libcsv" "$top/third_party/"
  cp "$deps"/libcsv_*.dsc "$top/third_party/" 2>/dev/null || true
  rm -f "$source_zip"
  (cd "$stage" && zip -q -r -X "$source_zip" "Corvane-$version-source")
  rm -rf "$stage"
  if in_git_checkout && ! git diff --quiet HEAD; then
    echo "dist: note: $(basename "$source_zip") holds uncommitted changes" >&2
  fi
}

if [ "${1:-}" = "--source-only" ]; then
  [ $# -eq 3 ] || { echo "usage: scripts/dist.sh --source-only DEPS OUT" >&2; exit 2; }
  write_source_zip "$2" "$3"
  exit 0
fi

bash scripts/setup.sh --windows
# In an unpacked source archive, the libcsv source it carries is the one to
# build (and to modify before relinking).
if ! in_git_checkout && [ -z "$(find build/_deps -maxdepth 1 -type d -name 'libcsv-*' 2>/dev/null)" ]; then
  shipped=$(find third_party -maxdepth 1 -type d -name 'libcsv-*' 2>/dev/null | head -n 1)
  if [ -n "$shipped" ]; then
    mkdir -p build/_deps
    cp -r "$shipped" build/_deps/
    cp third_party/libcsv_*.dsc build/_deps/ 2>/dev/null || true
  fi
fi
bash scripts/fetch-deps.sh build/_deps
# CORVANE_HOME_PAGE=URL scripts/dist.sh writes the release's home page into
# the player's readme and the notices (kept in the build's cache after that).
cmake --preset mingw-i686 ${CORVANE_HOME_PAGE+"-DCORVANE_HOME_PAGE=$CORVANE_HOME_PAGE"} >/dev/null
cmake --build --preset mingw-i686 -j2 --target dist

# The mod authors' tools archive (cmake/make_tools_dist.cmake lays it out; the
# mingw pass's dist.tools tests unzip it and follow the Windows tutorial with it).
tools_archive() {
  cmake --build --preset mingw-i686 -j2 --target dist-tools
}
tools_archive

write_source_zip build/_deps dist
ls -l dist/Corvane-*.zip
