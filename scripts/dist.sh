#!/usr/bin/env bash
# Builds the 32-bit Windows DLL and writes, in dist/:
#   Corvane-<version>.zip          the release archive (Data-rooted, for mod managers)
#   Corvane-<version>-source.zip   the corresponding source: Corvane at the committed
#                                  HEAD plus the libcsv source the DLL was built from
#                                  (third_party/libcsv-*), to publish beside the archive
#   Corvane-<version>-tools.zip    for mod authors: corvane-sim.exe in its game folder,
#                                  corvane-savedata.exe, the examples and the guides
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --windows
bash scripts/fetch-deps.sh build/_deps
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 -j2 --target dist

# The mod authors' tools archive (cmake/make_tools_dist.cmake lays it out; the
# mingw pass's dist.tools tests unzip it and run the quick start with it).
tools_archive() {
  cmake --build --preset mingw-i686 -j2 --target dist-tools
}
tools_archive

version=$(sed -n 's/^project(corvane VERSION \([0-9]*\).*/\1/p' CMakeLists.txt)
libcsv=$(find build/_deps -maxdepth 1 -type d -name 'libcsv-*' | head -n 1)
[ -n "$libcsv" ] || { echo "dist: no libcsv source below build/_deps" >&2; exit 1; }
source_zip="$PWD/dist/Corvane-$version-source.zip"
stage=build/dist-source
rm -rf "$stage" "$source_zip"
mkdir -p "$stage/Corvane-$version-source/third_party"
git archive --format=tar --prefix="Corvane-$version-source/" HEAD | tar -x -C "$stage"
cp -r "$libcsv" "$stage/Corvane-$version-source/third_party/"
cp build/_deps/libcsv_*.dsc "$stage/Corvane-$version-source/third_party/" 2>/dev/null || true
(cd "$stage" && zip -q -r -X "$source_zip" "Corvane-$version-source")
git diff --quiet HEAD || echo "dist: note: uncommitted changes are not in $(basename "$source_zip")" >&2
ls -l dist/Corvane-*.zip
