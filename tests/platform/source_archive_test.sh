#!/usr/bin/env bash
# The source archive is enough to rebuild the release, as the third-party
# notices promise: it is written from the checkout, unpacked in a fresh
# folder with no git around it, and scripts/dist.sh run there must build the
# DLL and the save-data tool from the libcsv source it carries and write the
# release archive, and a source archive of the same files.
#
#   source_archive_test.sh SOURCE_DIR DEPS_DIR SCRATCH
#
# DEPS_DIR is the checkout's build/_deps (libcsv and the SQLite amalgamation);
# the SQLite amalgamation is copied from it so that the build needs no
# network. Every fault found is listed; any fault fails the test.
set -uo pipefail
source_dir=$1 deps=$2 scratch=$3

rm -rf "$scratch"
mkdir -p "$scratch/first" "$scratch/unpacked"
scratch=$(cd "$scratch" && pwd)
version=$(sed -n 's/^project(corvane VERSION \([0-9]*\).*/\1/p' "$source_dir/CMakeLists.txt")
name="Corvane-$version-source"

faults=()
fault() { faults+=("$*"); }
listing() { unzip -Z1 "$1" | grep -v '/$' | sort; }

bash "$source_dir/scripts/dist.sh" --source-only "$deps" "$scratch/first" ||
  { echo "dist.sh --source-only failed" >&2; exit 1; }
first="$scratch/first/$name.zip"
unzip -q "$first" -d "$scratch/unpacked" || { echo "cannot unpack $first" >&2; exit 1; }
tree="$scratch/unpacked/$name"
[ ! -e "$tree/.git" ] || fault "the source archive holds .git"
grep -q "^$name/third_party/libcsv-[^/]*/libcsv.c$" <<< "$(listing "$first")" ||
  fault "the source archive holds no libcsv source in third_party/"

# Only SQLite is handed in; libcsv must come from the archive's third_party/.
mkdir -p "$tree/build/_deps"
cp -r "$deps/sqlite3" "$tree/build/_deps/"
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$source_dir} CCACHE_NOHASHDIR=1
fi
# Nothing from the checkout's environment may steer the build to its files.
unset GIT_DIR GIT_WORK_TREE
if ! (cd "$tree" && bash scripts/dist.sh) > "$scratch/dist.log" 2>&1; then
  tail -n 40 "$scratch/dist.log"
  fault "scripts/dist.sh failed in the unpacked source archive (log: $scratch/dist.log)"
fi

release="$tree/dist/Corvane-$version.zip"
if [ -f "$release" ]; then
  entries=$(unzip -Z1 "$release")
  for entry in NVSE/Plugins/corvane.dll NVSE/Plugins/Corvane/corvane-savedata.exe Corvane-THIRD-PARTY-NOTICES.md; do
    grep -qx "$entry" <<< "$entries" || fault "the release archive lacks $entry"
  done
else
  fault "no release archive $release"
fi
[ -f "$tree/build/mingw-i686/game/Data/NVSE/Plugins/corvane.dll" ] || fault "no corvane.dll was built"

shipped=$(find "$tree/third_party" -maxdepth 2 -name libcsv.c | head -n 1)
built=$(find "$tree/build/_deps" -maxdepth 2 -name libcsv.c | head -n 1)
if [ -z "$built" ] || ! cmp -s "$shipped" "$built"; then
  fault "the build did not take libcsv from the archive's third_party/"
fi

second="$tree/dist/$name.zip"
if [ -f "$second" ]; then
  if ! diff <(listing "$first") <(listing "$second") > "$scratch/listing.diff"; then
    head -n 20 "$scratch/listing.diff"
    fault "the source archive written without git holds other files than the first"
  fi
else
  fault "no source archive was written in the unpacked source archive"
fi

for f in "${faults[@]}"; do echo "FAIL: $f"; done
echo "source archive: ${#faults[@]} faults"
[ ${#faults[@]} -eq 0 ]
