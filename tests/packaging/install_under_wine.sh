#!/usr/bin/env bash
# install_under_wine.sh X86_BUILD X64_BUILD VERSION SCRATCH
#
# Builds the installers from the x86 and x64 builds' files as the release
# does (scripts/build_installers).  Then for each row below: installs the
# row's installer silently into a fresh Wine prefix of the row's width (a
# 32-bit prefix stands for 32-bit Windows), checks the architecture of what
# it installed, starts the shortcut it made the way the shell does, reads the
# demo application's report, removes the installation silently and checks
# that nothing of it is left.  Prints what happened when a step fails.
set -euo pipefail

if [ $# -ne 4 ]; then
    echo "usage: $0 X86_BUILD X64_BUILD VERSION SCRATCH" >&2
    exit 2
fi
x86_build=$1 x64_build=$2 version=$3 scratch_root=$4
# Ends every process of a prefix, those of a crashed server too.
stop_wine=$(cd "$(dirname "$0")/../../scripts" && pwd)/stop_wine_prefix

# installer | prefix | architecture of the files it must install |
# silent install | silent removal
# The commands run in the row's scratch directory, beside the installer.
# The NSIS installer is one for both widths and picks the files itself.
recipes=(
    "launcher-demo-setup.exe|win64|x64|wine launcher-demo-setup.exe /S|wine 'C:\\Program Files\\Launcher Demo\\uninstall.exe' /S"
    "launcher-demo-setup.exe|win32|x86|wine launcher-demo-setup.exe /S|wine 'C:\\Program Files\\Launcher Demo\\uninstall.exe' /S"
    "launcher-demo-x64.msi|win64|x64|wine msiexec /i launcher-demo-x64.msi /qn|wine msiexec /x launcher-demo-x64.msi /qn"
    "launcher-demo-x86.msi|win32|x86|wine msiexec /i launcher-demo-x86.msi /qn|wine msiexec /x launcher-demo-x86.msi /qn"
)

install_dir='C:\Program Files\Launcher Demo'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# What the demo application reports when the shortcut started it through
# MyApp.exe: the DLL from lib\, and data\ as its current directory.
expected_report="app: hello from the library in lib/
app: loaded $install_dir\\lib\\greeting.dll
app: current directory $install_dir\\data"
# The machine field of a PE header, as od prints it, per architecture.
declare -A machine_of_architecture=([x86]=014c [x64]=8664)

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=C.UTF-8

# The machine field of a PE file's header (at the offset held at 0x3c, + 4).
get_machine() {
    local header
    header=$(od -An -tu4 -j60 -N4 "$1")
    od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' '
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

# The registry as a native program sees it: Debian's wine starts the 32-bit
# reg.exe, which sees WoW64's view on a 64-bit prefix, not the one that
# lists the programs installed.
registry_view=()

# A fresh prefix has no entry at all, so no match is no failure.
list_uninstall_entries() {
    wine reg query "$uninstall_key" "${registry_view[@]}" </dev/null 2>&1 | tr -d '\r' |
        { grep '^HKEY_LOCAL_MACHINE\\.*\\Uninstall\\' || true; } | sort
}

get_registry_value() {
    wine reg query "$1" /v "$2" "${registry_view[@]}" </dev/null 2>/dev/null | tr -d '\r' |
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
    local installer width architecture install remove
    IFS='|' read -r installer width architecture install remove <<<"$1"
    echo "== $installer, $width prefix, $architecture files"

    local scratch=$scratch_root/${installer//./_}-$width
    export WINEPREFIX=$scratch/prefix WINEARCH=$width
    [ "$width" = win32 ] || registry_view=(/reg:64)
    [ ! -d "$WINEPREFIX" ] || "$stop_wine" "$WINEPREFIX" >/dev/null || true
    rm -rf "$scratch"
    mkdir -p "$scratch"
    cd "$scratch"
    trap '"$stop_wine" "$WINEPREFIX" || true' EXIT

    cp "$scratch_root/installers/$installer" .
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
    # The row's architecture, in the 64-bit Program Files on a 64-bit prefix
    # (WoW64's would be "Program Files (x86)").
    local file machine
    for file in MyApp.exe bin/app.exe lib/greeting.dll; do
        machine=$(get_machine "$WINEPREFIX/drive_c/Program Files/Launcher Demo/$file")
        if [ "$machine" != "${machine_of_architecture[$architecture]}" ]; then
            echo "installed $file has machine $machine, expected $architecture's" >&2
            return 1
        fi
    done
    echo "installed: the $architecture files in $install_dir"
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

mkdir -p "$scratch_root"
"${stop_wine%/*}/build_installers" "$x86_build" "$x64_build" "$version" "$scratch_root/installers" \
    >"$scratch_root/build_installers.log" 2>&1 || { cat "$scratch_root/build_installers.log" >&2; exit 1; }
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
