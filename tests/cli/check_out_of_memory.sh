#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Memory running out on the command line, under a lowered limit of the address space (ulimit -v):
# a file too large to load and a run that needs far more memory than its file end in one line
# "not enough memory to ...", the exit status 1 and no file written, never in a crash; with -O
# the file that ran out is reported and the others are written.
# Arguments: the built program, and the sanitizers it was built with (empty for none). The
# sanitizers reserve terabytes of address space for their shadow memory, which no limit that
# lets the test run out would leave them: there the test skips itself (status 77).
set -u
program=$1
helpers=$(cd "$(dirname "$0")" && pwd)
sanitizers=${2:-}
if [ -n "$sanitizers" ]; then
    echo "SKIP: ulimit -v leaves no room for the shadow memory of -fsanitize=$sanitizers"
    exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
failures=0
# The program with its libraries takes about 80 MB of address space; this leaves it some room,
# which a mesh of a few thousand points fits in and the meshes below do not.
limit_kb=160000

# Runs the program under the limit; status, out and err hold the outcome.
run_limited() {
    (ulimit -v "$limit_kb" &&
        exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LC_ALL=C.UTF-8 "$program" "$@") \
        >out 2>err
    status=$?
}

. "$helpers/expectations.sh"

# Nothing but the inputs is left in the folder: no result, no temporary file.
only_inputs() {  # description, then the files expected
    what=$1
    shift
    [ "$(ls -A . | grep -v -x -e out -e err | sort | tr '\n' ' ')" = "$(printf '%s\n' "$@" | sort | tr '\n' ' ')" ] ||
        { echo "  files: $(ls -A . | tr '\n' ' ')" >&2; fail "$what: a file was written"; }
}

# A flat grid of 700 x 700 points (490,000, two triangles a square) as OBJ: 27 MB of text.
awk 'BEGIN { n = 700
    for (y = 0; y < n; y++) for (x = 0; x < n; x++) printf "v %d %d 0\n", x, y
    for (y = 0; y < n - 1; y++) for (x = 0; x < n - 1; x++) {
        p = y * n + x + 1
        printf "f %d %d %d\nf %d %d %d\n", p, p + 1, p + n + 1, p, p + n + 1, p + n
    } }' > grid.obj
# A flat fan of 5,000 triangles round a centre: removing every point first connects every point
# of the ring with every other, 25 million connections, where loading it takes a few megabytes.
awk 'BEGIN { n = 5000; pi = atan2(0, -1)
    print "v 0 0 0"
    for (i = 0; i < n; i++) printf "v %.6f %.6f 0\n", 10 * cos(2 * pi * i / n), 10 * sin(2 * pi * i / n)
    for (i = 0; i < n; i++) printf "f 1 %d %d\n", i + 2, (i + 1) % n + 2 }' > fan.obj
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0.2\nf 1 2 4\nf 1 4 3\n' > small.obj

# The limit lets the program work: a small mesh is thinned under it.
run_limited -t 0.5 -o small-out.obj small.obj
expect 0 "" "a small mesh under the limit"
[ -s small-out.obj ] || fail "a small mesh under the limit: nothing written"
rm -f small-out.obj

run_limited -t 0.5 -o grid-out.obj grid.obj
expect 1 "meshthin: grid.obj: Error Occured: Not enough memory to load grid.obj
" "a file too large to load"
only_inputs "a file too large to load" fan.obj grid.obj small.obj

run_limited -t 1e300 -o fan-out.mesh fan.obj
expect 1 "meshthin: fan.obj: Error Occurred: Not enough memory to run at threshold 1e300
" "a run that needs too much memory"
[ ! -s out ] || fail "a run that ran out of memory printed its run line"
only_inputs "a run that needs too much memory" fan.obj grid.obj small.obj

# --in-place leaves the file as it was.
cp fan.obj fan-copy.obj
run_limited -t 1e300 --in-place fan-copy.obj
[ "$status" = 1 ] && cmp -s fan.obj fan-copy.obj || fail "--in-place of a run out of memory"
rm -f fan-copy.obj

# Many files: the one that runs out is reported as above, the others are written.
mkdir thin
run_limited -t 1e300 --jobs 1 -O thin fan.obj small.obj
expect 1 "meshthin: fan.obj: Error Occurred: Not enough memory to run at threshold 1e300
" "-O with a file that runs out of memory"
[ "$(ls -A thin)" = small.obj ] || fail "-O: the other file is written, nothing else"
grep -qx 'small.obj: threshold 1e+300: removed 4, 0 left' out || fail "-O: the other file's line"

[ "$failures" = 0 ] && echo "out of memory: all checks passed"
exit "$failures"
