#!/usr/bin/env bash
# install_under_wine.sh WIN32_BUILD VERSION RECIPE_DIR SCRATCH
#
# For each installer recipe of packaging/: builds the installer from the
# win32 build's files, installs it silently into a fresh 32-bit Wine prefix,
# starts the Start-menu shortcut it made the way the shell does, reads the
# demo application's report, removes the installation silently and checks
# that nothing of it is left.  Prints what happened when a step fails.
set -euo pipefail

if [ $# -ne 4 ]; then
    echo "usage: $0 WIN32_BUILD VERSION RECIPE_DIR SCRATCH" >&2
    exit 2
fi
win32_build=$1 version=$2 recipe_dir=$3 scratch_root=$4
# Ends every process of a prefix, those of a crashed server too.
stop_wine=$(cd "$(dirname "$0")/../../scripts" && pwd)/stop_wine_prefix

# recipe | builder | installer it makes | silent install | silent removal
# The commands run in the recipe's scratch directory, beside the installer.
recipes=(
    "launcher-demo.nsi|build_with_makensis|launcher-demo-setup.exe|wine launcher-demo-setup.exe /S|wine 'C:\\Program Files\\Launcher Demo\\uninstall.exe' /S"
    "launcher-demo.wxs|build_with_wixl|launcher-demo.msi|wine msiexec /i launcher-demo.msi /qn|wine msiexec /x launcher-demo.msi /qn"
)

install_dir='C:\Program Files\Launcher Demo'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# What the demo application reports when the shortcut started it through
# MyApp.exe: the DLL from lib\, and data\ as its current directory.
expected_report="app: hello from the library in lib/
app: loaded $install_dir\\lib\\greeting.dll
app: current directory $install_dir\\data"

export WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=C.UTF-8

# Both builders take the files relative to the directory they run in:
# wixl rejects absolute paths, and makensis does so with -NOCD.
defines=()
set_defines() {
    local scratch=$1
    defines=("VERSION=$version")
    local name file
    for name in "SHIMW_EXE=$win32_build/shimw.exe" "SHIM_FILE=$recipe_dir/MyApp.shim" \
        "APP_EXE=$win32_build/tests/demo/app.exe" "APP_DLL=$win32_build/tests/demo/greeting.dll"; do
        file=${name#*=}
        [ -f "$file" ] || { echo "no $file: build the win32 preset first" >&2; return 1; }
        defines+=("${name%%=*}=$(realpath --relative-to="$scratch" "$file")")
    done
}

build_with_makensis() {
    makensis -V2 -NOCD "${defines[@]/#/-D}" "-DOUTFILE=$1" "$2"
}

build_with_wixl() {
    local options=() define
    for define in "${defines[@]}"; do
        options+=(-D "$define")
    done
    wixl "${options[@]}" -o "$1" "$2"
}

# Waits for every process of the prefix, as an NSIS uninstaller goes on in
# a copy of itself after the one started has ended.  A process still running
# after 90 s is waiting for someone, a message box for instance.
wait_for_wine() {
    if ! timeout 90 wineserver -w; then
        echo "Wine processes still running after 90 s; ended" >&2
        wineserver -k || true
        return 1
    fi
}

list_shortcuts() {
    find "$WINEPREFIX/drive_c" -name '*.lnk' | sort
}

# A fresh prefix has no entry at all, so no match is no failure.
list_uninstall_entries() {
    wine reg query "$uninstall_key" </dev/null 2>&1 | tr -d '\r' |
        { grep '^HKEY_LOCAL_MACHINE\\.*\\Uninstall\\' || true; } | sort
}

get_registry_value() {
    wine reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

windows_path() {
    printf 'Z:%s' "${1//\//\\}"
}

# Runs a step's command with its output in STEP.log; shows the log when it fails.
run_step() {
    local step=$1
    shift
    if ! "$@" </dev/null >"$step.log" 2>&1; then
        echo "$step failed: $*" >&2
        cat "$step.log" >&2
        return 1
    fi
}

show_difference() {
    echo "$1" >&2
    diff "$2" "$3" | sed 's/^/    /' >&2 || true
}

test_recipe() {
    local recipe builder installer install remove
    IFS='|' read -r recipe builder installer install remove <<<"$1"
    echo "== $recipe"

    local scratch=$scratch_root/${recipe//./_}
    export WINEPREFIX=$scratch/prefix
    [ ! -d "$WINEPREFIX" ] || "$stop_wine" "$WINEPREFIX" >/dev/null || true
    rm -rf "$scratch"
    mkdir -p "$scratch"
    cd "$scratch"
    trap '"$stop_wine" "$WINEPREFIX" || true' EXIT

    set_defines "$scratch"
    run_step build "$builder" "$installer" "$recipe_dir/$recipe"
    run_step prefix wineboot -i
    wait_for_wine

    list_shortcuts >shortcuts.before
    list_uninstall_entries >entries.before

    run_step install eval "$install"
    wait_for_wine

    list_shortcuts >shortcuts.installed
    list_uninstall_entries >entries.installed
    local shortcut entry
    shortcut=$(comm -13 shortcuts.before shortcuts.installed)
    entry=$(comm -13 entries.before entries.installed)
    if [ -z "$shortcut" ] || [ "$(wc -l <<<"$shortcut")" -ne 1 ]; then
        show_difference "expected one new shortcut, found:" shortcuts.before shortcuts.installed
        return 1
    fi
    if [ -z "$entry" ] || [ "$(wc -l <<<"$entry")" -ne 1 ]; then
        show_difference "expected one new uninstall entry, found:" entries.before entries.installed
        return 1
    fi
    echo "shortcut: ${shortcut#"$WINEPREFIX/"}"
    echo "uninstall entry: $entry"
    local name shown_version
    name=$(get_registry_value "$entry" DisplayName)
    shown_version=$(get_registry_value "$entry" DisplayVersion)
    if [ "$name" != "Launcher Demo" ] || [ "$shown_version" != "$version" ]; then
        echo "uninstall entry shows \"$name\" \"$shown_version\", expected \"Launcher Demo\" \"$version\"" >&2
        return 1
    fi

    # Started from here, Z:\...\scratch, MyApp.exe finds lib\ and data\
    # only from its own folder, as MyApp.shim names them.  Wine's trace of
    # the shell's starts shows what it made of the shortcut (program,
    # arguments, directory), should no report come.
    run_step start env DEMO_REPORT="$(windows_path "$scratch/report.txt")" \
        WINEDEBUG=trace+exec wine start /unix "$shortcut"
    wait_for_wine
    if [ ! -f report.txt ]; then
        echo "the demo application wrote no report; what the shell started:" >&2
        grep 'SHELL_execute mask' start.log | sed 's/^/    /' >&2
        return 1
    fi
    local report
    report=$(tr -d '\r' <report.txt)
    if [ "$report" != "$expected_report" ]; then
        echo "the demo application reported:" >&2
        sed 's/^/    /' <<<"$report" >&2
        echo "expected:" >&2
        sed 's/^/    /' <<<"$expected_report" >&2
        return 1
    fi
    echo "started through the shortcut: DLL from lib\\, data\\ the current directory"

    run_step remove eval "$remove"
    wait_for_wine

    list_shortcuts >shortcuts.removed
    list_uninstall_entries >entries.removed
    local left=0
    if [ -e "$WINEPREFIX/drive_c/Program Files/Launcher Demo" ]; then
        echo "left after removal: $install_dir" >&2
        (cd "$WINEPREFIX/drive_c/Program Files" && find "Launcher Demo" | sed 's/^/    /') >&2
        left=1
    fi
    if ! cmp -s shortcuts.before shortcuts.removed; then
        show_difference "shortcuts after removal differ from before installation:" shortcuts.before shortcuts.removed
        left=1
    fi
    if ! cmp -s entries.before entries.removed; then
        show_difference "uninstall entries after removal differ from before installation:" entries.before entries.removed
        left=1
    fi
    [ "$left" -eq 0 ] || return 1
    echo "removed: no install folder, shortcut or uninstall entry left"

    trap - EXIT
    "$stop_wine" "$WINEPREFIX"
}

# Each recipe runs in a subshell of its own that ends at its first failed
# step; set -e holds in it only when the subshell is not itself a condition.
passed=0 failed=0
for row in "${recipes[@]}"; do
    set +e
    (set -e; test_recipe "$row")
    status=$?
    set -e
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
    else
        echo "FAILED: ${row%%|*}" >&2
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
