#!/usr/bin/env bash
# same_bytes.sh SOURCE SCRATCH: copies the source tree twice, to folders
# whose paths differ in length, builds the win32 exes in each one after the
# other, packs each build's zip as scripts/release does, and fails on every
# exe or zip whose bytes differ between the two.
set -euo pipefail
source=$1 scratch=$2
SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
rm -rf "$scratch"
copies=("$scratch/a" "$scratch/second/copy-at-a-longer-path")
for copy in "${copies[@]}"; do
    mkdir -p "$copy"
    git -C "$source" ls-files -z | tar -C "$source" --null -T - -cf - | tar -C "$copy" -xf -
    (cd "$copy" &&
        cmake --preset win32 -DLAUNCHER_TEST_PROGRAMS=OFF >/dev/null &&
        nice -n 5 cmake --build --preset win32 >build.log &&
        cmake --install build/win32 --prefix stage >/dev/null &&
        scripts/pack_zip stage launcher.zip) || { cat "$copy/build.log"; exit 1; }
done
failed=0
for file in stage/bin/launcher.exe stage/bin/launcherw.exe stage/bin/launcher-wait.exe \
            stage/bin/shim.exe stage/bin/shimw.exe launcher.zip; do
    if cmp "${copies[0]}/$file" "${copies[1]}/$file"; then
        echo "same bytes: $file"
    else
        failed=$((failed + 1))
    fi
done
[ "$failed" -eq 0 ] && rm -rf "$scratch"
[ "$failed" -eq 0 ]
