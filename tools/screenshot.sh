#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Redraws docs/screenshot.png: the window after examples/sphere.mesh was loaded, a point was
# selected and the preview was drawn. Builds nothing: run it after building (make build), with
# the build folder as its argument when it is not build/.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/meshthin_screenshot" examples/sphere.mesh 120 docs/screenshot.png
echo "wrote docs/screenshot.png"
