#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Halvern console developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the Debian packages of a built tree afresh into OUT_DIR, for the
# tests that check them (install_tree, package_upgrade) and for lintian in
# scripts/test. Usage: debian_packages.sh BUILD_DIR OUT_DIR   (CPACK may name the tool)
set -euo pipefail

build=${1:?usage: debian_packages.sh BUILD_DIR OUT_DIR}
out=${2:?usage: debian_packages.sh BUILD_DIR OUT_DIR}
rm -rf "$out"
"${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$build/debian_packages.log" 2>&1 \
  || { cat "$build/debian_packages.log"; echo "FAIL: cpack -G DEB failed"; exit 1; }
rm -rf "$out/_CPack_Packages" # what cpack worked in, not a package
ls "$out"/*.deb
