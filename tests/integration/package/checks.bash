# Sourced by the package tests. Checks go on after a failure, so one run shows every problem; the
# test fails at the end if any did.
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Stops at once, for a problem that leaves nothing else to check.
die() {
    echo "FAIL: $*" >&2
    exit 1
}

# expect_eq WHAT ACTUAL EXPECTED
expect_eq() {
    [[ $2 == "$3" ]] || fail "$1: expected \"$3\", got \"$2\""
}

finish() {
    if ((failures)); then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "passed"
}

# The files a package must hold, relative to its prefix.
expected_contents() {
    grep -v -e '^#' -e '^$' -- "$1" | sort
}

# The program a desktop entry's Exec line starts and its arguments, one per line, as a desktop
# launches it (GLib's key-file and argument parsing, with the %% field code undone).
entry_command() {
    /usr/bin/python3 - "$1" "${2:-Desktop Entry}" <<'PYTHON'
import sys
from gi.repository import GLib
entry = GLib.KeyFile()
entry.load_from_file(sys.argv[1], GLib.KeyFileFlags.NONE)
ok, argv = GLib.shell_parse_argv(entry.get_string(sys.argv[2], "Exec"))
for argument in argv:
    print(argument.replace("%%", "%"))
PYTHON
}
