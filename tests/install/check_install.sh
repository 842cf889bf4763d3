#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch DESTDIR as a package would (prefix /usr), checks that every
# file is there, validates the desktop entry and the AppStream metadata, runs the installed
# program's --version without a display, and builds the Debian package for lintian to check.
# Arguments: the build folder, the version the program must report.
set -eu
build=$1
version=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null

id=io.github.meshthin.meshthin
for file in bin/meshthin share/applications/$id.desktop \
            share/icons/hicolor/scalable/apps/$id.svg share/metainfo/$id.metainfo.xml \
            share/man/man1/meshthin.1.gz; do
    if [ ! -s "$stage/usr/$file" ]; then
        echo "missing after install: /usr/$file" >&2
        exit 1
    fi
done
[ -x "$stage/usr/bin/meshthin" ] || { echo "/usr/bin/meshthin is not executable" >&2; exit 1; }

desktop-file-validate "$stage/usr/share/applications/$id.desktop"
grep -qx 'Exec=meshthin %f' "$stage/usr/share/applications/$id.desktop" ||
    { echo "the desktop entry does not start 'meshthin %f'" >&2; exit 1; }
# Only the registered types of the formats read that desktops know: OBJ and STL.
if [ "$(grep '^MimeType=' "$stage/usr/share/applications/$id.desktop")" != \
     'MimeType=model/obj;model/stl;' ]; then
    echo "the desktop entry claims other MIME types than model/obj and model/stl" >&2
    exit 1
fi
appstreamcli validate --no-net "$stage/usr/share/metainfo/$id.metainfo.xml"
# The manual page reads as one: its name line is there once decompressed.
gzip -dc "$stage/usr/share/man/man1/meshthin.1.gz" | grep -q '^meshthin \\- thin out a polygon mesh$' ||
    { echo "the manual page does not decompress to meshthin(1)" >&2; exit 1; }

reported=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$stage/usr/bin/meshthin" --version)
if [ "$reported" != "meshthin $version" ]; then
    echo "the installed program reports '$reported', not 'meshthin $version'" >&2
    exit 1
fi
# The Debian package: its copyright and changelog where Debian keeps them, and lintian finds no
# error and no warning in it.
for file in share/doc/meshthin/copyright share/doc/meshthin/changelog.gz; do
    [ -s "$stage/usr/$file" ] || { echo "missing after install: /usr/$file" >&2; exit 1; }
done
grep -q '^License: GPL-3+$' "$stage/usr/share/doc/meshthin/copyright" ||
    { echo "the copyright file names no GPL-3+ licence" >&2; exit 1; }
(cd "$build" && cpack -G DEB -B "$stage/package" >/dev/null)
if ! report=$(lintian --fail-on error,warning "$stage"/package/meshthin_*.deb 2>&1); then
    echo "$report" >&2
    echo "lintian reports errors or warnings on the package" >&2
    exit 1
fi

echo "installed files present and valid; $reported; the package passes lintian"
