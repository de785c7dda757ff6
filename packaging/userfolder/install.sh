#!/usr/bin/env bash
# install.sh [FOLDER]: installs this Talvex release for you alone, without root, into FOLDER
# (default ~/.local/opt/talvex), in the layout Talvex updates itself in:
#
#     FOLDER/versions/<version>/      a copy of this release folder
#     FOLDER/current -> versions/<version>
#
# and adds it to your desktop: the desktop entry (applications menu) and the icons under
# $XDG_DATA_HOME (~/.local/share), the command ~/.local/bin/talvex and its manual page, all reaching the
# program through `current`, so an update reaches them too. What it creates outside FOLDER is listed
# in FOLDER/installed-files, which uninstall.sh reads. Running it again repairs an installation;
# another release's install.sh switches `current` to that release and keeps the one before.
set -euo pipefail

usage() {
    sed -n '2,12s/^# \{0,1\}//p' "$0"
}

fail() {
    echo "install.sh: $*" >&2
    exit 1
}

# A path as a desktop-entry string value (the paths taken here hold no control characters).
entry_string() {
    local value=$1
    printf '%s' "${value//\\/\\\\}"
}

# A program path as the first argument of a desktop entry's Exec key: quoted when it holds a
# reserved character, with '%' doubled, then as a string value.
exec_argument() {
    local path=$1 quoted
    if [[ $path == *[[:space:]\"\'\\\>\<~\|\&\;\$\*\?\#\(\)\`]* ]]; then
        quoted=${path//\\/\\\\}
        quoted=${quoted//\"/\\\"}
        quoted=${quoted//\`/\\\`}
        quoted=${quoted//\$/\\\$}
        quoted="\"$quoted\""
    else
        quoted=$path
    fi
    quoted=${quoted//%/%%}
    entry_string "$quoted"
}

# Every folder from the top down to $1 that does not exist yet, so that uninstall.sh removes only
# the folders that this installation made.
created=()
make_folder() {
    local folder=$1 missing=()
    while [[ ! -e $folder && $folder != / ]]; do
        missing=("$folder" "${missing[@]}")
        folder=$(dirname -- "$folder")
    done
    [[ -d $folder ]] || fail "$folder is not a folder"
    if ((${#missing[@]})); then
        mkdir -p -- "${missing[-1]}" || fail "could not create ${missing[-1]}"
        created+=("${missing[@]}")
    fi
}

# A link that an install.sh made: into some installation's current release.
installer_link() {
    [[ -L $1 && $(readlink -- "$1") == */current/* ]]
}

# Points $1 at $2 unless $1 is a file of the user's own. Afterwards $1 is listed as created.
place_link() {
    local link=$1 target=$2
    if [[ -e $link || -L $link ]] && ! installer_link "$link"; then
        echo "install.sh: kept your own $link (it is not a link this installer made)" >&2
        return 0
    fi
    make_folder "$(dirname -- "$link")"
    ln -sfn -- "$target" "$link"
    created+=("$link")
}

# The copy being made, removed if the script ends before it is moved into place.
staging=

main() {
    if [[ ${1:-} == -h || ${1:-} == --help ]]; then
        usage
        exit 0
    fi
    (($# <= 1)) || {
        usage >&2
        exit 2
    }
    if [[ $(id -u) -eq 0 && -n ${SUDO_USER:-} ]]; then
        fail "run it as yourself, without sudo: it installs Talvex for one user, in that user's folders"
    fi
    [[ -n ${HOME:-} && $HOME == /* ]] || fail "HOME is not set to an absolute path"

    local release
    release=$(cd -- "$(dirname -- "$(readlink -f -- "${BASH_SOURCE[0]}")")" && pwd -P)
    [[ -f $release/bin/talvex && -x $release/bin/talvex ]] || fail "$release holds no bin/talvex"

    # The program must start here and say which release it is, as the updater checks before it
    # switches to a release.
    local said version
    if ! said=$("$release/bin/talvex" --version 2>/dev/null); then
        local missing
        # ldd itself fails on a file that is no program at all.
        missing=$(ldd "$release/bin/talvex" 2>/dev/null | awk '/not found/ { print "    " $1 }') || true
        fail "this talvex does not start on this computer:
$("$release/bin/talvex" --version 2>&1 >/dev/null | head -n 5)${missing:+
These libraries are missing:
$missing}
It needs Qt 6.4, PocketSphinx, libpulse, xcb and OpenSSL 3 as Debian 12 ships them; the Install
section of the README names the packages. Nothing was installed."
    fi
    said=${said%%$'\n'*}
    [[ $said =~ ^Talvex\ ([0-9A-Za-z][0-9A-Za-z.+~_-]*)$ ]] ||
        fail "bin/talvex says \"$said\" instead of \"Talvex <version>\". Nothing was installed."
    version=${BASH_REMATCH[1]}

    local root=${1:-$HOME/.local/opt/talvex}
    [[ $root == /* ]] || root=$PWD/$root
    [[ $root != *[[:cntrl:]]* ]] || fail "the folder name holds a control character"
    root=$(realpath -m -- "$root")
    if [[ -e $root || -L $root ]]; then
        [[ -d $root ]] || fail "$root is not a folder"
        if [[ ! -d $root/versions && -n $(ls -A -- "$root") ]]; then
            fail "$root holds other files and is not a Talvex installation; name an empty or new folder"
        fi
    fi

    local data=${XDG_DATA_HOME:-}
    [[ $data == /* ]] || data=$HOME/.local/share
    [[ $data != *[[:cntrl:]]* ]] || fail "XDG_DATA_HOME holds a control character"

    make_folder "$root/versions"
    local target=$root/versions/$version
    if [[ $(realpath -m -- "$target") != "$release" ]]; then
        # Copied aside first and moved into place in one rename; the updater clears such folders
        # when an install is cut off.
        staging=$(mktemp -d -- "$root/.staging-XXXXXX")
        trap 'rm -rf -- "$staging"' EXIT
        cp -a -- "$release" "$staging/release" || fail "could not copy the release into $root"
        if [[ -e $target ]]; then
            mv -- "$target" "$staging/replaced"
        fi
        mv -T -- "$staging/release" "$target"
        rm -rf -- "$staging"
        trap - EXIT
    fi
    local link=$root/.current-$$
    ln -sfn -- "versions/$version" "$link"
    mv -T -- "$link" "$root/current"
    local current=$root/current

    # The desktop entry runs the program through `current`; its marker says which installation
    # wrote it, so that neither script touches an entry of the user's own.
    local entry=$data/applications/com.quindlark.Talvex.desktop
    local marker
    marker="X-Talvex-Folder=$(entry_string "$root")"
    if [[ -e $entry ]] && ! grep -q '^X-Talvex-Folder=' -- "$entry"; then
        echo "install.sh: kept your own $entry (this installer did not write it)" >&2
    else
        make_folder "$(dirname -- "$entry")"
        local exec tryexec
        exec=$(exec_argument "$current/bin/talvex")
        tryexec=$(entry_string "$current/bin/talvex")
        EXEC=$exec TRYEXEC=$tryexec MARKER=$marker awk '
            /^Exec=talvex( |$)/ { sub(/^Exec=talvex/, ""); print "Exec=" ENVIRON["EXEC"] $0; next }
            /^TryExec=talvex$/ { print "TryExec=" ENVIRON["TRYEXEC"]; next }
            { print }
            /^\[Desktop Entry\]$/ { print ENVIRON["MARKER"] }
        ' "$current/share/applications/com.quindlark.Talvex.desktop" >"$entry.new-$$"
        mv -- "$entry.new-$$" "$entry"
        created+=("$entry")
    fi

    local icon relative
    while IFS= read -r -d '' icon; do
        relative=${icon#"$current/share/icons/hicolor/"}
        place_link "$data/icons/hicolor/$relative" "$current/share/icons/hicolor/$relative"
    done < <(find "$current/share/icons/hicolor" -type f -print0)
    # man finds pages beside the folders on PATH: ~/.local/bin's are in ~/.local/share/man.
    place_link "$HOME/.local/share/man/man1/talvex.1.gz" "$current/share/man/man1/talvex.1.gz"
    place_link "$HOME/.local/bin/talvex" "$current/bin/talvex"

    # One path a line; earlier installs' paths stay listed.
    local manifest=$root/installed-files
    {
        [[ ! -f $manifest ]] || cat -- "$manifest"
        printf '%s\n' "${created[@]}"
    } | sort -u >"$manifest.new-$$"
    mv -- "$manifest.new-$$" "$manifest"

    echo "Talvex $version is installed in $root."
    echo "Start it from your applications menu, or run: $current/bin/talvex"
    case ":${PATH:-}:" in
    *":$HOME/.local/bin:"*) ;;
    *) echo "(~/.local/bin is not on your PATH yet: it is added at your next login if your profile does so.)" ;;
    esac
    echo "To remove it again: $current/uninstall.sh"
}

main "$@"
exit
