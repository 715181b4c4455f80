#!/usr/bin/env bash
# same_bytes.sh SOURCE SCRATCH: builds the win32 exes, one after the other,
# in two copies of the source whose paths differ in length, packs each zip
# as scripts/release does, and fails on each exe or zip that differs.
set -euo pipefail
source=$1 scratch=$2
SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
rm -rf "$scratch"
copies=("$scratch/a" "$scratch/second/copy-at-a-longer-path")
for copy in "${copies[@]}"; do
    mkdir -p "$copy"
    git -C "$source" ls-files -z | tar -C "$source" --null -T - -cf - | tar -C "$copy" -xf -
    (cd "$copy" && cmake --preset win32 -DLAUNCHER_TEST_PROGRAMS=OFF >/dev/null &&
        nice -n 5 cmake --build --preset win32 >build.log &&
        cmake --install build/win32 --prefix stage >/dev/null &&
        scripts/pack_zip stage launcher.zip) || { cat "$copy/build.log"; exit 1; }
done
failed=0
for file in stage/bin/{launcher,launcherw,launcher-wait,shim,shimw}.exe launcher.zip; do
    cmp "${copies[0]}/$file" "${copies[1]}/$file" && echo "same bytes: $file" || failed=1
done
[ "$failed" -eq 0 ] && rm -rf "$scratch"
[ "$failed" -eq 0 ]
