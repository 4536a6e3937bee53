#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Halvern console developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs a built tree into a temporary prefix and checks what lands there,
# then checks the contents and dependencies of the two Debian packages that
# tests/debian_packages.sh built into PACKAGE_DIR.
# Usage: install_tree.sh BUILD_DIR PACKAGE_DIR   (CMAKE may name the tool)
set -euo pipefail

build=${1:?usage: install_tree.sh BUILD_DIR PACKAGE_DIR}
packages=${2:?usage: install_tree.sh BUILD_DIR PACKAGE_DIR}
cmake=${CMAKE:-cmake}
for tool in desktop-file-validate dpkg-deb man; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps installs it)"; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The files of each package, relative to the prefix (the station's
# configuration file is not under the prefix in the package: see below).
# Every install holds both.
station_files=(bin/halvern-station
               lib/systemd/system/halvern-station.service
               share/man/man1/halvern-station.1.gz
               share/doc/halvern-station/copyright
               share/doc/halvern-station/changelog.gz)
console_files=(bin/halvern-console bin/halvern-receiver-sim
               share/man/man1/halvern-console.1.gz share/man/man1/halvern-receiver-sim.1.gz
               share/applications/halvern-console.desktop
               share/icons/hicolor/32x32/apps/halvern-console.png
               share/icons/hicolor/scalable/apps/halvern-console.svg
               share/metainfo/invalid.halvern.console.metainfo.xml
               share/doc/halvern-console/copyright
               share/doc/halvern-console/changelog.gz)
programs=(halvern-console halvern-station halvern-receiver-sim)
expected=("${station_files[@]}" "${console_files[@]}")

# The version the tree was configured with, as the packages carry it.
project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

# --- cmake --install into a temporary prefix ---
prefix=$tmp/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for file in "${expected[@]}" etc/halvern/station.conf; do
  [ -f "$prefix/$file" ] || fail "install lacks $file"
done
licence='License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.'
for program in "${programs[@]}"; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
  # The installed program runs on its own (no build tree beside it, no
  # display): --version names it, its version and its licence.
  version=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/$program" --version 2>/dev/null) \
    || fail "installed $program --version failed"
  [ "$(head -1 <<<"$version")" = "$program $project_version" ] || fail "$program --version printed '$version'"
  grep -qxF "$licence" <<<"$version" || fail "$program --version does not name the licence: $version"
  # Each man page renders without complaint, its name line from the program's
  # --help, its header from its --version, the licence in its COPYRIGHT.
  page=$prefix/share/man/man1/$program.1.gz
  [ -f "$page" ] || continue
  gzip -t "$page" || fail "$program.1.gz is not gzip"
  text=$(MANWIDTH=200 man -l "$page" 2>"$tmp/man.err") || fail "man -l $program.1.gz failed"
  [ -s "$tmp/man.err" ] && fail "man -l $program.1.gz complains: $(cat "$tmp/man.err")"
  grep -Eq "^ +$program +- " <<<"$text" || fail "$program.1.gz has no NAME line for $program"
  zcat "$page" | head -1 | grep -q help2man && zcat "$page" | sed -n 2p | grep -q "\"$program $project_version\"" \
    || fail "$program.1.gz does not carry $program's version: $(zcat "$page" | sed -n 2p)"
  grep -qF "${licence#License }" <<<"$text" || fail "$program.1.gz does not name the licence"
done

# The shipped configuration: the port left out (an unconfigured service stops
# with exit status 2 and a reason), the service's log folder set, every other
# key shown commented out in the station's own section.
conf=$prefix/etc/halvern/station.conf
if [ -f "$conf" ]; then
  [ "$(grep -v '^;' "$conf" | grep -v '^ *$')" = $'[station]\nlog-folder = /var/log/halvern/' ] \
    || fail "station.conf sets more than log-folder: $(grep -v '^;' "$conf")"
  for key in port baud log base-name filter json; do
    grep -q "^;$key = " "$conf" || fail "station.conf does not show the key $key"
  done
fi

desktop=$prefix/share/applications/halvern-console.desktop
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" || fail "desktop entry does not validate"
  # The entry must start the installed program and name the installed icon.
  grep -qx 'Exec=halvern-console' "$desktop" || fail "desktop entry Exec is not halvern-console"
  grep -qx 'Icon=halvern-console' "$desktop" || fail "desktop entry Icon is not halvern-console"
  grep -qx 'Name=Halvern VHF Receiver' "$desktop" || fail "desktop entry Name is wrong"
fi

png=$prefix/share/icons/hicolor/32x32/apps/halvern-console.png
if [ -f "$png" ]; then
  # Width and height are the two big-endian words at bytes 16 to 23 of a PNG.
  size=$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')
  [ "$size" = "0000002000000020" ] || fail "icon is not 32 x 32 (IHDR $size)"
fi

# --- the Debian packages ---
# Each package's control field FIELD, file list, control file.
field() { dpkg-deb -f "$packages/$1_${project_version}_"*.deb "$2"; }
# A package field names PACKAGE as a relation of its own ("a (>= 1), b | c").
names() { grep -Eq "(^|, |\| )$2( |,|$)" <<<"$1"; }

declare -A contents
for package in halvern-station halvern-console; do
  debs=("$packages/${package}_${project_version}_"*.deb)
  [ -f "${debs[0]}" ] || { fail "no ${package}_${project_version}_*.deb in $packages"; continue; }
  [ "$(field "$package" Package)" = "$package" ] || fail "${debs[0]} is not the package $package"
  contents[$package]=$(dpkg-deb -c "${debs[0]}" | awk '$1 !~ /^d/ {print $6}' | sort)
  # The machine-readable copyright file and the Debian changelog made from
  # CHANGELOG.md, its newest entry this version.
  copyright=$(dpkg-deb --fsys-tarfile "${debs[0]}" | tar -xO "./usr/share/doc/$package/copyright" 2>/dev/null || true)
  [ "$(head -1 <<<"$copyright")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] \
    || fail "$package's copyright file is not in Debian's machine-readable format"
  grep -qx 'License: GPL-3+' <<<"$copyright" || fail "$package's copyright file names no GPL-3+"
  changelog=$(dpkg-deb --fsys-tarfile "${debs[0]}" | tar -xO "./usr/share/doc/$package/changelog.gz" 2>/dev/null \
              | zcat 2>/dev/null | head -1 || true)
  [ "$changelog" = "halvern ($project_version) stable; urgency=medium" ] \
    || fail "$package's changelog begins '$changelog'"
  [ "$(field "$package" Maintainer)" != "" ] && ! field "$package" Maintainer | grep -q '@localhost' \
    || fail "$package's maintainer is '$(field "$package" Maintainer)'"
done
expect_files() { # PACKAGE FILE...
  local package=$1 file
  shift
  for file in "$@"; do
    grep -qx "./$file" <<<"${contents[$package]:-}" || fail "$package lacks /$file"
  done
}
expect_files halvern-station "${station_files[@]/#/usr/}" etc/halvern/station.conf
expect_files halvern-console "${console_files[@]/#/usr/}"
# dpkg refuses to install two packages that hold one file.
both=$(comm -12 <(echo "${contents[halvern-station]:-}") <(echo "${contents[halvern-console]:-}"))
[ -z "$both" ] || fail "both packages hold $both"

station_deb=("$packages/halvern-station_${project_version}_"*.deb)
if [ -f "${station_deb[0]}" ]; then
  conffiles=$(dpkg-deb -I "${station_deb[0]}" conffiles 2>/dev/null || true)
  [ "$conffiles" = /etc/halvern/station.conf ] || fail "halvern-station conffiles are '$conffiles'"
  for script in postinst prerm postrm; do
    dpkg-deb --ctrl-tarfile "${station_deb[0]}" | tar -tv "./$script" 2>/dev/null | grep -q '^-rwxr-xr-x' \
      || fail "halvern-station lacks an executable $script"
  done
  # The unit names the packaged program and configuration, not the build's prefix.
  execstart=$(dpkg-deb --fsys-tarfile "${station_deb[0]}" | tar -xO ./usr/lib/systemd/system/halvern-station.service \
              | grep '^ExecStart=' || true)
  [ "$execstart" = "ExecStart=/usr/bin/halvern-station --config /etc/halvern/station.conf" ] \
    || fail "packaged unit has '$execstart'"
  # The files moved here from the single package of 13.0.0 (Debian policy 7.6.1).
  for relation in Replaces Breaks; do
    [ "$(field halvern-station "$relation")" = "halvern-console (<< 14.0.0)" ] \
      || fail "halvern-station $relation '$(field halvern-station "$relation")'"
  done
fi
console_deb=("$packages/halvern-console_${project_version}_"*.deb)
if [ -f "${console_deb[0]}" ]; then
  # The console has no configuration file and no service to tell systemd of.
  control=$(dpkg-deb --ctrl-tarfile "${console_deb[0]}" | tar -t | sed 's|^\./||' | grep -v -x -e '' -e control -e md5sums || true)
  [ -z "$control" ] || fail "halvern-console has control files $control"
  names "$(field halvern-console Recommends)" halvern-station || fail "halvern-console does not recommend halvern-station"
fi

# Each package depends on what its own programs link. libqt6gui6 also brings
# the xcb platform plugin the console opens its windows with; the station
# installs on a machine without a desktop: no Qt Gui, Widgets or DBus, no X
# or GL library, and no Qt Network (the system's resolver finds the broker).
depends_table=(
  # package          wants (w) or refuses (r)  packages
  "halvern-console   w  libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6"
  "halvern-station   w  libqt6core6 libqt6serialport6 libmosquitto1"
  "halvern-station   r  libqt6gui6 libqt6widgets6 libqt6dbus6 libqt6network6 libx11-.* libxcb.* libegl.* libgl.* libopengl.*"
)
for row in "${depends_table[@]}"; do
  read -r package wants relations <<<"$row"
  depends=$(field "$package" Depends 2>/dev/null) || continue
  for relation in $relations; do
    if [ "$wants" = w ]; then
      names "$depends" "$relation" || fail "$package does not depend on $relation: $depends"
    else
      ! names "$depends" "$relation" || fail "$package depends on $relation: $depends"
    fi
  done
done

if [ "$failures" -ne 0 ]; then
  echo "install_tree: $failures check(s) failed"
  exit 1
fi
echo "install_tree: installed tree and Debian packages hold what they should"
