#!/usr/bin/env bash
# tarball-test.sh PACKAGES VERSION, inside scripts/with-desktop: the release archive as a user
# installs it in their own folder. Its install.sh lays out what the updater upgrades, the program
# runs from the desktop entry and knows itself as a user-folder installation, a newer release
# installed over it takes over the running Talvex, and uninstall.sh leaves nothing of the
# installation behind (the user's settings and history stay). Users' own files are never touched,
# and a release that cannot run, or a folder in use, is refused before anything changes.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/checks.bash"
out=$1
version=$2
machine=$(uname -m)
archive=$out/talvex-$version-$machine.tar.gz
deb=$out/talvex_${version}_$(dpkg --print-architecture).deb
[[ -f $archive ]] || die "no archive $archive"
work=${TALVEX_TEST_TMP:?run this under scripts/with-desktop}/archive-test
logs=$work/logs
mkdir -p -- "$work/downloads" "$logs"
export TALVEX_UPDATE_FEED=off

# --- The archive: one release folder, the Debian package's files and program, and the scripts.
tar -xzf "$archive" -C "$work/downloads" || die "the archive does not unpack"
expect_eq "the archive's top folder" "$(tar -tzf "$archive" | cut -d/ -f1 | sort -u)" "talvex-$version-$machine"
release=$work/downloads/talvex-$version-$machine
actual=$(cd "$release" && find . ! -type d | sed 's|^\./||' | sort)
expected=$({ expected_contents "$here/contents.txt"; printf '%s\n' install.sh uninstall.sh; } | sort)
[[ $actual == "$expected" ]] ||
    fail "the archive's files differ from contents.txt:"$'\n'"$(diff <(echo "$expected") <(echo "$actual"))"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/talvex | cmp -s - "$release/bin/talvex" ||
    fail "the archive's talvex is not the Debian package's"

# Every file and link under $1 with its target or checksum, to compare before and after.
snapshot() {
    [[ -d $1 ]] || return 0
    (
        cd "$1" || exit
        find . -mindepth 1 -printf '%y %p %l\n' | sort
        find . -type f -print0 | sort -z | xargs -0 -r md5sum
    )
}

# Sets HOME and the XDG folders to new folders under $work/$1, makes `case` that folder and `log`
# the start of its logs' names.
use_home() {
    case=$work/$1
    log=$logs/${1//\//-}
    export HOME=$case/home XDG_DATA_HOME=$case/data XDG_CONFIG_HOME=$case/config \
        XDG_CACHE_HOME=$case/cache XDG_STATE_HOME=$case/state
    mkdir -p -- "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
}

# A copy of the release that says it is $2, in folder $1: talvex keeps its version in one string.
forge_release() {
    local folder=$1 next=$2
    cp -a -- "$release" "$folder"
    OLD=$version NEW=$next perl -0777 -pi -e '
        my ($old, $new) = ("\0$ENV{OLD}\0", "\0$ENV{NEW}\0");
        my $count = () = /\Q$old\E/g;
        die "the version is in talvex $count times\n" unless $count == 1 && length($old) == length($new);
        s/\Q$old\E/$new/;' "$folder/bin/talvex"
}

# Waits up to $1 seconds for the command to succeed.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

running_from() {
    [[ $(readlink "/proc/$1/exe" 2>/dev/null) == "$2" ]]
}

next=$(perl -e '$_ = shift; s/([0-8])([^0-9]*)$/($1 + 1) . $2/e or exit 1; print' "$version") ||
    die "no next version for $version"
forge_release "$work/downloads/next" "$next" || die "could not forge release $next"

# --- Installed, run, upgraded while running, and uninstalled, under homes with plain and unusual names.
for name in plain "with space, quote' and 100% \$dollar"; do
    use_home "$name"
    before=$(snapshot "$case")
    bash "$release/install.sh" >"$log-install" 2>&1 || fail "[$name] install.sh failed: $(cat "$log-install")"

    root=$HOME/.local/opt/talvex
    expect_eq "[$name] current" "$(readlink "$root/current")" "versions/$version"
    expect_eq "[$name] talvex on PATH" "$(PATH=$HOME/.local/bin:$PATH talvex --version)" "Talvex $version"
    cmp -s "$HOME/.local/share/man/man1/talvex.1.gz" "$release/share/man/man1/talvex.1.gz" ||
        fail "[$name] the manual page is not installed"
    if [[ $name == plain ]]; then
        expect_eq "[$name] man talvex" "$(realpath -- "$(PATH=$HOME/.local/bin:$PATH man -w talvex 2>&1)")" \
            "$root/versions/$version/share/man/man1/talvex.1.gz"
    fi
    entry=$XDG_DATA_HOME/applications/com.quindlark.Talvex.desktop
    desktop-file-validate "$entry" || fail "[$name] the installed desktop entry is not valid"
    mapfile -t command < <(entry_command "$entry")
    expect_eq "[$name] the entry's program" "${command[0]:-}" "$root/current/bin/talvex"
    for icon in "$release"/share/icons/hicolor/*/apps/*; do
        installed=$XDG_DATA_HOME/icons/hicolor/${icon#"$release/share/icons/hicolor/"}
        cmp -s -- "$icon" "$installed" || fail "[$name] $installed is not the release's icon"
    done

    # Started as the desktop starts it, it finds itself in a user-folder installation: the entry it
    # writes to start at login goes through `current`.
    "${command[@]}" >"$log-talvex" 2>&1 &
    pid=$!
    autostart=$XDG_CONFIG_HOME/autostart/com.quindlark.Talvex.desktop
    if wait_for 60 test -f "$autostart"; then
        mapfile -t login < <(entry_command "$autostart")
        expect_eq "[$name] the login entry" "${login[*]}" "$root/current/bin/talvex --autostart"
    else
        fail "[$name] talvex wrote no login entry:"$'\n'"$(cat "$log-talvex")"
    fi

    # The next release's install.sh switches `current`, keeps this one, and the running Talvex
    # relaunches into the next.
    bash "$work/downloads/next/install.sh" >>"$log-install" 2>&1 || fail "[$name] installing $next failed"
    expect_eq "[$name] current after installing $next" "$(readlink "$root/current")" "versions/$next"
    [[ -x $root/versions/$version/bin/talvex ]] || fail "[$name] installing $next removed $version"
    wait_for 60 running_from "$pid" "$root/versions/$next/bin/talvex" ||
        fail "[$name] the running Talvex did not relaunch into $next:"$'\n'"$(cat "$log-talvex")"
    # Run again from the installation itself, it repairs in place.
    bash "$root/current/install.sh" >>"$log-install" 2>&1 || fail "[$name] install.sh from $root failed"
    expect_eq "[$name] current after a repair" "$(readlink "$root/current")" "versions/$next"

    # uninstall.sh asks the running Talvex to quit and removes everything but the user's own data.
    userdata=$(snapshot "$XDG_DATA_HOME/Talvex"; snapshot "$XDG_CONFIG_HOME/Talvex")
    bash "$root/current/uninstall.sh" >"$log-uninstall" 2>&1 ||
        fail "[$name] uninstall.sh failed: $(cat "$log-uninstall")"
    if kill -0 "$pid" 2>/dev/null && [[ $(cut -d' ' -f3 "/proc/$pid/stat") != Z ]]; then
        fail "[$name] Talvex still runs after uninstall.sh"
        kill "$pid"
    fi
    wait "$pid"
    expect_eq "[$name] the user's settings and history" \
        "$(snapshot "$XDG_DATA_HOME/Talvex"; snapshot "$XDG_CONFIG_HOME/Talvex")" "$userdata"
    # Besides those, only what running a program leaves anyway (the sound server's cookie, caches).
    rm -rf -- "$XDG_DATA_HOME/Talvex" "$XDG_CONFIG_HOME/Talvex" "$XDG_CONFIG_HOME/pulse" "${XDG_CACHE_HOME:?}"/* \
        "${XDG_STATE_HOME:?}"/*
    left=$(diff <(echo "$before") <(snapshot "$case"))
    [[ -z $left ]] || fail "[$name] uninstall.sh left this behind:"$'\n'"$left"
done

# --- What is not the installer's to change. Each row prepares a home and runs one script; the
# home must afterwards be as the row expects (unchanged, unless it installs and uninstalls).
own_files() {
    mkdir -p -- "$XDG_DATA_HOME/applications" "$HOME/.local/bin" "$XDG_CONFIG_HOME/autostart"
    printf '[Desktop Entry]\nType=Application\nName=Mine\nExec=mine\n' \
        >"$XDG_DATA_HOME/applications/com.quindlark.Talvex.desktop"
    printf '#!/bin/sh\necho mine\n' >"$HOME/.local/bin/talvex"
    printf '[Desktop Entry]\nType=Application\nName=Talvex\nExec=/usr/bin/talvex --autostart\n' \
        >"$XDG_CONFIG_HOME/autostart/com.quindlark.Talvex.desktop"
}
folder_in_use() {
    mkdir -p -- "$HOME/.local/opt/talvex"
    echo "notes" >"$HOME/.local/opt/talvex/notes.txt"
}
not_an_installation() {
    mkdir -p -- "$HOME/.local/opt/talvex/bin"
    echo "keep" >"$HOME/.local/opt/talvex/bin/keep"
}
broken_release() {
    cp -a -- "$release" "$case/broken"
    head -c 4096 "$release/bin/talvex" >"$case/broken/bin/talvex"
}
other_program() {
    cp -a -- "$release" "$case/broken"
    printf '#!/bin/sh\necho "Something 1.0"\n' >"$case/broken/bin/talvex"
}
under_sudo() {
    export SUDO_USER=somebody
}

# name | preparation | command | status
rows=(
    "own files|own_files|bash '$release/install.sh' && bash \"\$HOME/.local/opt/talvex/current/uninstall.sh\"|0"
    "folder in use|folder_in_use|bash '$release/install.sh'|1"
    "not an installation|not_an_installation|bash '$release/uninstall.sh' \"\$HOME/.local/opt/talvex\"|1"
    "release that does not start|broken_release|bash \"\$case/broken/install.sh\"|1"
    "release that is another program|other_program|bash \"\$case/broken/install.sh\"|1"
)
if [[ $(id -u) -eq 0 ]]; then
    rows+=("run with sudo|under_sudo|bash '$release/install.sh'|1")
fi
for row in "${rows[@]}"; do
    IFS='|' read -r name prepare run status <<<"$row"
    use_home "refused/$name"
    (
        $prepare
        before=$(snapshot "$HOME"; snapshot "$XDG_DATA_HOME"; snapshot "$XDG_CONFIG_HOME")
        eval "$run" >"$log-run" 2>&1
        got=$?
        after=$(snapshot "$HOME"; snapshot "$XDG_DATA_HOME"; snapshot "$XDG_CONFIG_HOME")
        [[ $got == "$status" ]] || { echo "[$name] exit status $got, not $status: $(cat "$log-run")"; }
        [[ $before == "$after" ]] || echo "[$name] changed the home:"$'\n'"$(diff <(echo "$before") <(echo "$after"))"
        ((status == 0)) || [[ -s $log-run ]] || echo "[$name] refused without saying why"
    ) >"$log-problems"
    [[ ! -s $log-problems ]] || fail "$(cat "$log-problems")"
done

finish
