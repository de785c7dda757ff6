#!/usr/bin/env bash
# install-test.sh BUILD_DIR: installs the build into a temporary prefix and checks what a desktop
# needs from it. Prints what is wrong and fails on the first problem.
set -euo pipefail
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/talvex-install.XXXXXX")
trap 'rm -rf -- "$prefix"' EXIT

fail() {
    echo "install-test: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
entry=$prefix/share/applications/com.quindlark.Talvex.desktop
metainfo=$prefix/share/metainfo/com.quindlark.Talvex.metainfo.xml
for file in "$prefix/bin/talvex" "$entry" "$metainfo" \
    "$prefix/share/icons/hicolor/scalable/apps/com.quindlark.Talvex.svg" \
    "$prefix/share/icons/hicolor/symbolic/apps/com.quindlark.Talvex-symbolic.svg"; do
    [[ -f $file ]] || fail "missing $file"
done

desktop-file-validate "$entry" || fail "the desktop entry is not valid"
appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null || {
    appstreamcli validate --no-net --pedantic "$metainfo" >&2
    fail "the AppStream description is not valid"
}

# The entry names what was installed: the icon, the program, and the commands of its actions.
icon=$(sed -n 's/^Icon=//p' "$entry")
[[ -f $prefix/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "the entry's icon $icon is not installed"
while read -r exec; do
    program=${exec%% *}
    [[ -x $prefix/bin/$program ]] || fail "the entry runs $program, which is not installed"
    arguments=${exec#"$program"}
    arguments=${arguments# }
    # Every action's command line is one the program accepts.
    if [[ -n $arguments ]]; then
        "$prefix/bin/talvex" --help | grep -q -- "${arguments%% *}" || fail "talvex does not know \"$arguments\""
    fi
done < <(sed -n 's/^Exec=//p' "$entry")
grep -q "<release version=\"$("$prefix/bin/talvex" --version | sed 's/^Talvex //')\"" "$metainfo" ||
    fail "the AppStream release is not the program's version"
echo "installed and valid: $prefix"
