#!/usr/bin/env bash
# deb-test.sh PACKAGES VERSION: the Debian package as Debian's tools, apt and a desktop take it, and
# the program inside it running from the package's files.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/checks.bash"
out=$1
version=$2
deb=$out/talvex_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || die "no package $deb"
work=$(mktemp -d "${TMPDIR:-/tmp}/talvex-deb.XXXXXX")
trap 'rm -rf -- "$work"' EXIT

# Debian's checks: errors fail, the rest is shown.
if ! lintian --fail-on error --display-level ">=warning" "$deb" >"$work/lintian" 2>&1; then
    fail "lintian reports errors:"$'\n'"$(cat "$work/lintian")"
fi
grep -v '^running with root privileges' "$work/lintian" || true

# Exactly the expected files, all under /usr.
actual=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort)
expected=$(expected_contents "$here/contents.txt" | sed 's|^|usr/|' | sort)
[[ $actual == "$expected" ]] || fail "the package's files differ from contents.txt:"$'\n'"$(diff <(echo "$expected") <(echo "$actual"))"
expect_eq "the package's version" "$(dpkg-deb --field "$deb" Version)" "$version"

# apt resolves every dependency here.
if ! apt-get --simulate install "$deb" >"$work/apt" 2>&1 || ! grep -q '^Inst talvex ' "$work/apt"; then
    fail "apt-get cannot install the package:"$'\n'"$(cat "$work/apt")"
fi

# What talvex loads or starts without linking it, and every library it links, comes from a
# package that the package depends on, so an installation by apt has all of it.
depends=$(dpkg-deb --field "$deb" Depends | tr ',|' '\n\n' | sed 's/([^)]*)//; s/^ *//; s/ *$//; s/:.*//')
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
tree=$work/tree
dpkg-deb --extract "$deb" "$tree"
program=$tree/usr/bin/talvex
needs=(
    "/usr/lib/$multiarch/qt6/plugins/platforms/libqxcb.so|Qt's X11 platform plugin"
    "/usr/lib/$multiarch/qt6/plugins/imageformats/libqsvg.so|Qt's SVG image plugin"
    "/usr/lib/$multiarch/qt6/plugins/iconengines/libqsvgicon.so|Qt's SVG icon plugin"
    "/usr/lib/$multiarch/qt6/plugins/tls/libqopensslbackend.so|Qt's TLS plugin, for update downloads"
    "/usr/share/pocketsphinx/model/en-us/en-us|the en-US speech model"
    "/usr/libexec/at-spi-bus-launcher|the accessibility bus"
)
while read -r library; do
    needs+=("$(ldconfig -p | awk -v name="$library" '$1 == name && /x86-64/ { print $NF; exit }')|$library, linked")
done < <(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }')
# dpkg knows a library by the path its package installed it at (/lib or /usr/lib), so both are asked.
paths=()
for need in "${needs[@]}"; do
    paths+=("${need%%|*}" "$(realpath -m -- "${need%%|*}")")
done
owners=$(dpkg --search "${paths[@]}" 2>/dev/null)
for need in "${needs[@]}"; do
    file=${need%%|*}
    owner=$(awk -v a="$file" -v b="$(realpath -m -- "$file")" \
        '{ path = $0; sub(/^[^ ]*: /, "", path) } path == a || path == b { sub(/[:,].*/, ""); print; exit }' <<<"$owners")
    if [[ -z $owner ]]; then
        fail "no installed package holds ${need#*|} ($file)"
    elif ! grep -qxF -- "$owner" <<<"$depends"; then
        fail "${need#*|} comes from $owner, which the package does not depend on"
    fi
done

# The program from the package's files: its version, and speech transcribed with the system's model.
expect_eq "talvex --version" "$("$program" --version)" "Talvex $version"
expect_eq "talvex transcribe" \
    "$("$program" transcribe /usr/share/pocketsphinx/test/data/cards/001.wav 2>"$work/transcribe")" "ten of clubs"

# What the desktop reads: a valid entry and AppStream description that name what is installed.
share=$tree/usr/share
entry=$share/applications/com.quindlark.Talvex.desktop
metainfo=$share/metainfo/com.quindlark.Talvex.metainfo.xml
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$metainfo" >"$work/appstream" 2>&1 ||
    fail "the AppStream description is not valid:"$'\n'"$(cat "$work/appstream")"
appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null 2>&1 ||
    fail "the AppStream description has pedantic issues:"$'\n'"$(appstreamcli validate --no-net --pedantic "$metainfo")"
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in scalable 48x48 64x64 128x128 256x256; do
    ls "$share/icons/hicolor/$size/apps/$icon".* >/dev/null 2>&1 || fail "the entry's icon $icon has no $size picture"
done
help=$("$program" --help)
for group in "Desktop Entry" $(sed -n 's/^\[\(Desktop Action .*\)\]$/\1/p' "$entry" | tr ' ' '\a'); do
    group=${group//$'\a'/ }
    mapfile -t command < <(entry_command "$entry" "$group")
    [[ -x $tree/usr/bin/${command[0]:-} ]] || fail "[$group] runs \"${command[0]:-}\", which the package does not install"
    # Every argument is one that talvex names in its help.
    for argument in "${command[@]:1}"; do
        grep -qw -- "$argument" <<<"$help" || fail "[$group] passes \"$argument\", which talvex does not know"
    done
done
grep -q "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" "$metainfo" ||
    fail "the AppStream launchable is not the installed desktop entry"
grep -q "<binary>talvex</binary>" "$metainfo" || fail "the AppStream description does not provide talvex"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
expect_eq "the newest AppStream release" "$newest" "$version"
changelog=$share/doc/talvex/changelog.gz
zcat -- "$changelog" >"$work/changelog"
expect_eq "the changelog's newest entry" "$(dpkg-parsechangelog --file "$work/changelog" --show-field Version)" "$version"

# The manual page documents every command, option and variable that --help lists, and man reads it
# without a warning.
manual=$(MANWIDTH=100 man --warnings -l "$share/man/man1/talvex.1.gz" 2>"$work/man-warnings" | col -b)
[[ ! -s $work/man-warnings ]] || fail "man warns about talvex.1:"$'\n'"$(cat "$work/man-warnings")"
grep -q "Talvex $version" <<<"$manual" || fail "the manual page does not name version $version"
listed=$(grep -oE -e '^  [a-z]+ ' -e '--[a-z-]+' -e '\bTALVEX_[A-Z_]+' <<<"$help" | sed 's/^ *//; s/ *$//' | sort -u)
[[ -n $listed ]] || fail "nothing read from talvex --help"
while read -r name; do
    grep -qF -- "$name" <<<"$manual" || fail "the manual page does not mention $name"
done <<<"$listed"

finish
