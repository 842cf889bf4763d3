# SPDX-License-Identifier: GPL-3.0-or-later
# What the command-line scripts share, sourced by them after they have run the program into the
# files out and err and its status into $status: fail says what went wrong and counts it, expect
# compares the status and the whole of standard error.

fail() {
    echo "FAILED: $*" >&2
    echo "  status $status; stdout:" >&2; sed 's/^/    /' out >&2
    echo "  stderr:" >&2; sed 's/^/    /' err >&2
    failures=$((failures + 1))
}

expect() {  # status, expected stderr (exact), description
    [ "$status" = "$1" ] || fail "$3: status $status, not $1"
    printf '%s' "$2" | cmp -s - err || fail "$3: stderr"
}
