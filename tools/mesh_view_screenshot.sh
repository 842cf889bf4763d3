#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Redraws docs/mesh-view.png: the mesh view on the self-similar sphere of a million points at the
# threshold 0.4, under Xvfb with Mesa's software renderer. Builds nothing: run it after building (make build), with
# the build folder as its argument when it is not build/.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
  "$build/meshthin_view_screenshot" --million 0.4 docs/mesh-view.png
echo "wrote docs/mesh-view.png"
