#!/usr/bin/env bash
# uninstall.sh [FOLDER]: removes the Talvex installation in FOLDER (default: the one this script
# belongs to, else ~/.local/opt/talvex) and what install.sh added to your desktop for it, and the
# entry that starts it at login. A Talvex running from FOLDER is asked to quit first (it finishes a
# dictation it is transcribing). Your settings and dictation history are kept: they are yours, not
# the installation's (~/.local/share/Talvex and ~/.config/Talvex).
set -euo pipefail

usage() {
    sed -n '2,6s/^# \{0,1\}//p' "$0"
}

fail() {
    echo "uninstall.sh: $*" >&2
    exit 1
}

inside() {
    [[ $1 == "$root"/* ]]
}

# The program a desktop entry's Exec key starts: its first argument, with the string escapes and
# the quoting undone.
entry_program() {
    local value
    value=$(sed -n '/^\[Desktop Entry\]/,/^\[/{s/^Exec[[:space:]]*=[[:space:]]*//p}' -- "$1" | head -n 1)
    local unescaped="" c i
    for ((i = 0; i < ${#value}; i++)); do
        c=${value:i:1}
        if [[ $c == \\ && $((i + 1)) -lt ${#value} ]]; then
            i=$((i + 1))
            case ${value:i:1} in
            s) c=" " ;;
            t) c=$'\t' ;;
            n) c=$'\n' ;;
            r) c=$'\r' ;;
            *) c=${value:i:1} ;;
            esac
        fi
        unescaped+=$c
    done
    local program=""
    if [[ $unescaped == \"* ]]; then
        for ((i = 1; i < ${#unescaped}; i++)); do
            c=${unescaped:i:1}
            if [[ $c == \\ ]]; then
                i=$((i + 1))
                c=${unescaped:i:1}
            elif [[ $c == \" ]]; then
                break
            fi
            program+=$c
        done
    else
        program=${unescaped%% *}
    fi
    printf '%s' "${program//%%/%}"
}

# Asks every talvex started from this installation to quit, and waits for them to end.
stop_running() {
    local pids=() exe dir pid
    for dir in /proc/[0-9]*; do
        exe=$(readlink -- "$dir/exe" 2>/dev/null) || continue
        exe=${exe% (deleted)}
        inside "$exe" && pids+=("${dir#/proc/}")
    done
    ((${#pids[@]})) || return 0
    echo "Asking Talvex (process ${pids[*]}) to quit."
    kill -TERM "${pids[@]}" 2>/dev/null || true
    local deadline=$((SECONDS + 20))
    for pid in "${pids[@]}"; do
        while kill -0 "$pid" 2>/dev/null && [[ $(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null) != Z ]]; do
            ((SECONDS < deadline)) ||
                fail "Talvex (process $pid) did not quit. Quit it from its menu, then run this again."
            sleep 0.2
        done
    done
}

# Removes $1 when install.sh made it for this installation: a link into it, or the desktop entry
# it marked as its own.
remove_ours() {
    local path=$1
    if [[ -L $path ]]; then
        inside "$(realpath -m -- "$(dirname -- "$path")/$(readlink -- "$path")")" || inside "$(readlink -- "$path")" ||
            return 0
    elif [[ -f $path ]]; then
        grep -qxF -- "$marker" "$path" || return 0
    else
        return 0
    fi
    rm -f -- "$path"
}

main() {
    if [[ ${1:-} == -h || ${1:-} == --help ]]; then
        usage
        exit 0
    fi
    (($# <= 1)) || {
        usage >&2
        exit 2
    }
    [[ -n ${HOME:-} && $HOME == /* ]] || fail "HOME is not set to an absolute path"

    local self
    self=$(readlink -f -- "${BASH_SOURCE[0]}")
    if (($#)); then
        root=$1
        [[ $root == /* ]] || root=$PWD/$root
    elif [[ $(basename -- "$(dirname -- "$(dirname -- "$self")")") == versions ]]; then
        root=$(dirname -- "$(dirname -- "$(dirname -- "$self")")")
    else
        root=$HOME/.local/opt/talvex
    fi
    root=$(realpath -m -- "$root")
    [[ -d $root/versions && ! -L $root/versions ]] || fail "$root is not a Talvex installation (it has no versions folder)"

    local data=${XDG_DATA_HOME:-} config=${XDG_CONFIG_HOME:-}
    [[ $data == /* ]] || data=$HOME/.local/share
    [[ $config == /* ]] || config=$HOME/.config
    marker="X-Talvex-Folder=${root//\\/\\\\}"

    stop_running

    # Talvex wrote the login entry itself; it goes when it starts this installation.
    local autostart=$config/autostart/com.quindlark.Talvex.desktop
    if [[ -f $autostart ]]; then
        local program
        program=$(entry_program "$autostart")
        if inside "$(realpath -m -- "$program")" || inside "$program"; then
            rm -f -- "$autostart"
            rmdir -- "$config/autostart" 2>/dev/null || true
        else
            echo "Kept $autostart: it starts $program."
        fi
    fi

    # What install.sh listed, and in case the list is gone, the places it uses.
    local listed=() path
    if [[ -f $root/installed-files ]]; then
        mapfile -t listed <"$root/installed-files"
    fi
    local icon
    for icon in "$data"/icons/hicolor/*/apps/com.quindlark.Talvex*; do
        [[ -L $icon ]] && listed+=("$icon")
    done
    listed+=("$data/applications/com.quindlark.Talvex.desktop" "$HOME/.local/share/man/man1/talvex.1.gz"
        "$HOME/.local/bin/talvex")
    for path in "${listed[@]}"; do
        [[ -n $path && ! ( -d $path && ! -L $path ) ]] || continue
        inside "$path" || remove_ours "$path"
    done

    rm -rf -- "$root/versions" "$root/current" "$root/installed-files" "$root"/.staging-* "$root"/.current-*

    # Then the folders the installation made, deepest first, where they are empty now.
    local folder
    while IFS= read -r folder; do
        if [[ -d $folder && ! -L $folder ]]; then
            rmdir -- "$folder" 2>/dev/null || true
        fi
    done < <(printf '%s\n' "${listed[@]}" "$root" | awk '{ print length($0) "\t" $0 }' | sort -rn | cut -f2-)

    if [[ -e $root ]]; then
        echo "Talvex is uninstalled; $root still holds files of yours, so it was left in place."
    else
        echo "Talvex is uninstalled."
    fi
    local kept=()
    [[ ! -d $data/Talvex ]] || kept+=("$data/Talvex")
    [[ ! -d $config/Talvex ]] || kept+=("$config/Talvex")
    if ((${#kept[@]})); then
        echo "Your settings and dictation history are kept in ${kept[*]}; delete them to remove them too."
    fi
}

root=
marker=
main "$@"
exit
