#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The program on the command line, as a user runs it, with no display at all: exit statuses,
# what goes to standard output and standard error, and files left alone by failures.
# Argument: the built program.
set -u
program=$1
helpers=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
failures=0

# Runs the program without any display variable; status, out and err hold the outcome.
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LC_ALL=C.UTF-8 "$program" "$@" \
        >out 2>err
    status=$?
}

. "$helpers/expectations.sh"

# A square of four triangles around a raised centre (point 4), and a far point 5 in no face.
cat > 'flat mesh ä.mesh' <<'MESH'
a test mesh
points {
(0 0 0)
(2 0 0)
(2 2 0)
(0 2 0)
(1 1 0.1)
(9 9 9)
}
faces {
3 ( (0) (1) (4) )
3 ( (1) (2) (4) )
3 ( (2) (3) (4) )
3 ( (3) (0) (4) )
}
}
MESH
input='flat mesh ä.mesh'
cp "$input" original

run --version
[ "$status" = 0 ] && [ "$(cat out)" = "meshthin 1.0" ] || fail "--version"
run --help
[ "$status" = 0 ] && grep -q '^Usage: meshthin ' out && [ ! -s err ] || fail "--help"

hint="Try 'meshthin --help' for more information."
# Usage errors come before the file is looked at, so the cases name a plain m.mesh.
for usage in "--bogus m.mesh" "--threshold 0.5 m.mesh" "--output x.mesh --values m.mesh" \
             "--threshold 0.5 --output x.mesh --in-place m.mesh" "--values" \
             "--threshold" "a.mesh b.mesh" "--threshold 0.5 --values a.mesh b.mesh" \
             "-O out m.mesh" "-t 0.5 -O out" "-t 0.5 -O out -o x.mesh m.mesh" \
             "-t 0.5 -O out --in-place m.mesh" "-t 0.5 -O out --values m.mesh" \
             "-t 0.5 -O out -O out m.mesh" "-t 0.5 -O out --jobs 0 m.mesh" \
             "-t 0.5 -O out --jobs two m.mesh" "-t 0.5 -O out --jobs 1 --jobs 2 m.mesh" \
             "-t 0.5 -o x.mesh --jobs 2 m.mesh" "-t 0.5 -q -o x.mesh m.mesh" \
             "-t abc -O out m.mesh" "--keep 5 -t 0.5 -o x.mesh m.mesh" \
             "--keep 5 --keep 4 -o x.mesh m.mesh" "--keep 5 m.mesh" "--keep 1.5 -o x.mesh m.mesh" \
             "--keep 101% -O out m.mesh" "--keep 5 -O out -t 1 m.mesh"; do
    set -- $usage
    run "$@"
    [ "$status" = 2 ] && [ ! -s out ] && [ "$(wc -l < err)" = 2 ] &&
        [ "$(head -c 10 err)" = "meshthin: " ] && [ "$(tail -n 1 err)" = "$hint" ] ||
        fail "usage error: $usage"
done
[ ! -e x.mesh ] || fail "a usage error wrote a file"

# Two runs: the first takes the centre, the second nothing more; the far point stays.
run --threshold 0.5 --threshold 0.5 --output result.mesh "$input"
expect 0 "" "two runs"
printf 'threshold 0.5: removed 1, 5 left\nthreshold 0.5: removed 0, 5 left\n' | cmp -s - out ||
    fail "the run lines"
# The short options are the long ones.
run -t 0.5 -t 0.5 -o short.mesh "$input"
expect 0 "" "-t and -o"
cmp -s result.mesh short.mesh || fail "-t and -o wrote other bytes than --threshold and --output"
head -n 1 result.mesh | grep -q '^object { "object01"' || fail "the written file"
cmp -s original "$input" || fail "--output changed the input"

# --keep finds the threshold whose run keeps the count closest to it, says it and runs it: the
# centre (value 0.28) goes first, the far point (1) next, then the corners (2.41) together.
run --keep 5 -o keep.mesh "$input"
expect 0 "" "--keep"
found=$(sed -n 's/^keep 5: threshold \([0-9.]*\)$/\1/p' out)
[ -n "$found" ] && [ "$(wc -l < out)" = 2 ] &&
    [ "$(tail -n 1 out)" = "threshold $found: removed 1, 5 left" ] || fail "--keep: lines"
run -t "$found" -o threshold.mesh "$input"
cmp -s keep.mesh threshold.mesh || fail "--keep wrote other bytes than its threshold"
run --keep 50% -o keep.mesh "$input"
grep -qx 'keep 3: threshold [0-9.]*' out && grep -qx 'threshold [0-9.]*: removed 2, 4 left' out ||
    fail "--keep 50%: 4 left is the closest to 3, and keeps more than 0"
run --keep 7 -o keep.mesh "$input"
expect 1 "meshthin: $input: Cannot keep 7 points: the mesh has 6
" "--keep beyond the points"
run --keep 5x --in-place "$input"
expect 2 "meshthin: --keep: \"5x\" is not a number of points or a percentage
$hint
" "--keep that is no number"

# The values: CSV only, "." whatever the locale, the isolated point with 0 connections.
run --values "$input"
expect 0 "" "--values"
[ "$(head -n 1 out)" = "point,x,y,z,value,connections" ] || fail "CSV header"
[ "$(wc -l < out)" = 7 ] || fail "one CSV line per point"
grep -qx '4,1,1,0.1,[0-9.e-]*,4' out || fail "CSV line of the centre"
grep -qx '5,9,9,9,[0-9.e-]*,0' out || fail "CSV line of the isolated point"
run --values --threshold 0.5 "$input"
expect 0 "" "--values after a run"
[ "$(wc -l < out)" = 6 ] && ! grep -q '^4,' out || fail "the removed point is left out"

# A number reads with its own decimal mark under any locale, in the file and in --threshold;
# the files written use the locale's separator, and every file written opens again.
run --values --threshold 0.5 "$input"
cp out values-dot
LC_ALL=de_DE.UTF-8 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" \
    --threshold 0,5 --values "$input" >out 2>err
status=$?
expect 0 "" "a file with \".\" under a \",\" locale"
cmp -s out values-dot || fail "the values under a \",\" locale differ"
run --threshold 0,5 --values "$input"
expect 0 "" "a threshold with \",\" under a \".\" locale"
cmp -s out values-dot || fail "the values with a threshold written with \",\" differ"
# A threshold that is not a number is a mistake in the command: a usage error, before any file
# is read; one with both decimal marks is not a number.
run -t abc --in-place "$input"
expect 2 "meshthin: --threshold: \"abc\" is not a number
$hint
" "a threshold that is not a number"
# Every threshold counts, in order: a bad one before a good one is the same mistake, and two
# different ones are two runs, each with its own line.
run -t abc -t 0.5 -o not-written.mesh "$input"
expect 2 "meshthin: --threshold: \"abc\" is not a number
$hint
" "a threshold that is not a number before one that is"
[ ! -e not-written.mesh ] || fail "a threshold that is not a number before one that is wrote a file"
run -t 0 -t 0.5 -o two.mesh "$input"
expect 0 "" "two different thresholds"
printf 'threshold 0: removed 0, 6 left\nthreshold 0.5: removed 1, 5 left\n' | cmp -s - out ||
    fail "the run lines of two different thresholds"
run --threshold 0,5. --in-place "$input"
expect 2 "meshthin: --threshold: \"0,5.\" is not a number
$hint
" "a threshold with both decimal marks"
cmp -s original "$input" || fail "a threshold that is not a number changed the input"
LC_ALL=de_DE.UTF-8 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" \
    --threshold 0 --output comma.mesh "$input" >out 2>err
status=$?
expect 0 "" "writing under a \",\" locale"
grep -q '^(1 1 0,1)' comma.mesh || fail "the \",\" locale's separator in the written file"
run --threshold 0 --output again.mesh comma.mesh
expect 0 "" "a file written under \",\" opened under \".\""
run --threshold 0 --output dot.mesh "$input"
cmp -s again.mesh dot.mesh || fail "a written file read back does not write the same bytes"
run --threshold 0 --output twice.mesh dot.mesh
cmp -s twice.mesh dot.mesh || fail "a file written and read back twice changed"

# Failures leave the input alone and name the line.
sed 's/(2 2 0)/(2 2,5. 0)/' original > broken.mesh
cp broken.mesh broken-original
run --threshold 0.5 --in-place broken.mesh
expect 1 'meshthin: broken.mesh: Error Occured: Not a number: "2,5." (line 5)
' "a bad number"
cmp -s broken.mesh broken-original || fail "a failed run changed the input"
run --threshold 0.5 --output missing/folder.mesh "$input"
expect 1 "meshthin: $input: Error Occurred: Path not found: missing
" "a target in a missing folder"
run --values does-not-exist.mesh
expect 1 "meshthin: does-not-exist.mesh: Error Occured: Cannot open file: does-not-exist.mesh (No such file or directory)
" "a missing file"

# Without options the window is wanted: with no display, say so instead of failing in Qt.
run "$input"
expect 1 "meshthin: there is no display to open the window on; --threshold and --values work without one (see 'meshthin --help')
" "the window without a display"

# --in-place replaces the input with what --output writes.
run --threshold 0.5 --in-place "$input"
expect 0 "" "--in-place"
cmp -s result.mesh "$input" || fail "--in-place wrote other bytes than --output"

# Ctrl+C and SIGTERM stop a long run: the program ends by the signal, with the input as it was
# and no temporary file beside it. Removing every point of a fan of 6000 triangles takes far
# longer than the second the signal waits.
awk 'BEGIN {
    n = 6000; print "fan"; print "points {"; print "(0 0 0)"
    for (i = 0; i < n; i++) printf "(%.5f %.5f 0)\n", 100 * cos(6.283185307179586 * i / n), 100 * sin(6.283185307179586 * i / n)
    print "}"; print "faces {"
    for (i = 1; i <= n; i++) printf "3 ( (0) (%d) (%d) )\n", i, i % n + 1
    print "}" }' > fan.mesh
cp fan.mesh fan-original
# A shell reports a program ended by a signal with 128 plus the signal's number.
for ending in "INT 130" "TERM 143"; do
    signal=${ending% *}
    expected=${ending#* }
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --threshold 1E+300 \
        --in-place fan.mesh >out 2>err &
    sleep 1
    kill -s "$signal" $!
    wait $!
    status=$?
    [ "$status" = "$expected" ] || fail "SIG$signal: status $status, not $expected"
    cmp -s fan.mesh fan-original || fail "SIG$signal changed the input"
    ls -A | grep -q '\.tmp$' && fail "SIG$signal left a temporary file"
done

# Many files at once: a folder of generated grids, the examples' sort of mesh and one file that
# fails to load. Each result holds the bytes that a run on that file alone writes, each run line
# is that run's line after the file's name, in the order the files were named, and the failing
# file is named with its reason while the others go on.
mkdir many thin single
for size in "3 4 1" "12 9 2" "25 20 3" "7 30 4" "40 40 5"; do
    set -- $size
    awk -v columns="$1" -v rows="$2" -v seed="$3" 'BEGIN {
        srand(seed); print "grid"; print "points {"
        for (y = 0; y < rows; y++) for (x = 0; x < columns; x++)
            printf "(%d %d %.4f)\n", x, y, rand() * rand()
        print "}"; print "faces {"
        for (y = 0; y + 1 < rows; y++) for (x = 0; x + 1 < columns; x++) {
            p = y * columns + x
            printf "3 ( (%d) (%d) (%d) )\n", p, p + 1, p + columns + 1
            printf "3 ( (%d) (%d) (%d) )\n", p, p + columns + 1, p + columns
        }
        print "}" }' > "many/grid $1x$2.mesh"
done
cp "$input" many/flat.mesh
sed 's/(2 2 0)/(2 2,5. 0)/' original > many/broken.mesh
set -- many/grid\ 3x4.mesh many/flat.mesh "many/grid 12x9.mesh" many/broken.mesh \
       "many/grid 25x20.mesh" "many/grid 7x30.mesh" "many/grid 40x40.mesh"
: > expected-out
: > expected-err
for file in "$@"; do
    run -t 0.3 -t 0.45 -o "single/${file#many/}" "$file"
    sed "s|^|$file: |" out >> expected-out
    cat err >> expected-err
done
[ "$(wc -l < expected-err)" = 1 ] && [ "$(ls single | wc -l)" = 6 ] || fail "the single runs"
for jobs in "" "--jobs 1" "--jobs 2" "--jobs 5"; do
    rm -f thin/*
    run -t 0.3 -t 0.45 -O thin $jobs "$@"
    expect 1 "$(cat expected-err)
" "many files $jobs"
    cmp -s out expected-out || fail "many files $jobs: the run lines"
    [ "$(ls thin | wc -l)" = 6 ] || fail "many files $jobs: the files written"
    for written in single/*; do
        cmp -s "$written" "thin/${written#single/}" ||
            fail "many files $jobs: ${written#single/} differs from its single run"
    done
done
grep -q '^meshthin: many/broken.mesh: Error Occured: Not a number: "2,5." (line 5)$' err ||
    fail "many files: the failing file and its reason"
rm -f thin/*
run --threshold 0.3 --threshold 0.45 --output-dir thin --quiet "$@"
expect 1 "$(cat expected-err)
" "many files, quiet"
[ ! -s out ] && [ "$(ls thin | wc -l)" = 6 ] || fail "many files, quiet: printed or wrote"
run -t 0.3 -O thin "many/grid 3x4.mesh" "many/grid 12x9.mesh"
expect 0 "" "many files without a failure"
# --keep on many files: each file at the threshold found for it, as alone.
: > expected-out
for file in many/flat.mesh "many/grid 12x9.mesh" "many/grid 40x40.mesh"; do
    run --keep 40% -o "single/${file#many/}" "$file"
    sed "s|^|$file: |" out >> expected-out
done
rm -f thin/*
run --keep 40% -O thin --jobs 2 many/flat.mesh "many/grid 12x9.mesh" "many/grid 40x40.mesh"
expect 0 "" "--keep on many files"
cmp -s out expected-out && [ "$(grep -c ': keep [0-9]*: threshold ' out)" = 3 ] ||
    fail "--keep on many files: the lines"
for written in thin/*; do
    cmp -s "$written" "single/${written#thin/}" || fail "--keep on many files: $written"
done
# Refused before any file is read: a folder that is not there, two files of one name, a result
# over its own input.
mkdir other
cp many/flat.mesh other/flat.mesh
rm -f thin/*
for usage in "-t 0.3 -O nowhere many/flat.mesh" "-t 0.3 -O thin many/flat.mesh other/flat.mesh" \
             "-t 0.3 -O many many/flat.mesh"; do
    set -- $usage
    run "$@"
    [ "$status" = 2 ] && [ ! -s out ] && [ "$(wc -l < err)" = 2 ] &&
        [ "$(tail -n 1 err)" = "$hint" ] || fail "usage error: $usage"
done
[ -z "$(ls thin)" ] && cmp -s many/flat.mesh "$input" || fail "a refused call wrote a file"

# Ctrl+C stops every file: the program ends by the signal, no result and no temporary file.
mkdir fans fans-thin
for n in 1 2 3; do cp fan-original "fans/fan$n.mesh"; done
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --threshold 1E+300 \
    -O fans-thin --jobs 2 fans/fan1.mesh fans/fan2.mesh fans/fan3.mesh >out 2>err &
sleep 1
kill -s INT $!
wait $!
status=$?
[ "$status" = 130 ] || fail "SIGINT on many files: status $status, not 130"
[ -z "$(ls -A fans-thin)" ] || fail "SIGINT on many files left a file"
for n in 1 2 3; do cmp -s "fans/fan$n.mesh" fan-original || fail "SIGINT changed fan$n.mesh"; done

# Other formats in and out, chosen by the names: the square as PLY, thinned into OBJ, holds the
# mesh of the same run on the brace file (read back and written as brace text, unchanged).
cat > in.ply <<'PLY'
ply
format ascii 1.0
element vertex 6
property double x
property double y
property double z
element face 4
property list uchar int vertex_indices
end_header
0 0 0
2 0 0
2 2 0
0 2 0
1 1 0.1
9 9 9
3 0 1 4
3 1 2 4
3 2 3 4
3 3 0 4
PLY
run -t 0.3 -o out.obj in.ply
expect 0 "" "PLY in, OBJ out"
grep -q '^threshold 0.3: removed 1, 5 left$' out || fail "PLY in, OBJ out: run line"
[ "$(grep -c '^v ' out.obj)" = 5 ] && [ "$(grep -c '^f ' out.obj)" -ge 1 ] ||
    fail "PLY in, OBJ out: the points and faces"
run -t 0.3 -o brace-run.mesh "$input"
run -t -1 -o back.mesh out.obj
expect 0 "" "OBJ back to the brace format"
cmp -s back.mesh brace-run.mesh || fail "the OBJ run differs from the brace run"
# Texture coordinates are mentioned once on standard error, and the result is written.
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/1\n' > textured.obj
run -t -1 -o textured.off textured.obj
[ "$status" = 0 ] && [ "$(grep -c 'texture coordinates' err)" = 1 ] &&
    [ "$(head -n 1 textured.off)" = OFF ] || fail "corner data note"

[ "$failures" = 0 ] && echo "command line: all checks passed"
exit "$failures"
