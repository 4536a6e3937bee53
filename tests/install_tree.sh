#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks what lands there,
# then builds the Debian package and checks its contents and dependencies.
# Usage: install_tree.sh BUILD_DIR   (CMAKE and CPACK may name the tools)
set -euo pipefail

build=${1:?usage: install_tree.sh BUILD_DIR}
cmake=${CMAKE:-cmake}
cpack=${CPACK:-cpack}
for tool in desktop-file-validate dpkg-deb dpkg-shlibdeps man; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps installs it)"; exit 1; }
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The files every install must hold, relative to the prefix (the station's
# configuration file is not under the prefix in the package: see below).
programs=(halvern-console halvern-station halvern-receiver-sim)
expected=(share/applications/halvern-console.desktop
          share/icons/hicolor/32x32/apps/halvern-console.png
          share/icons/hicolor/scalable/apps/halvern-console.svg
          lib/systemd/system/halvern-station.service
          share/metainfo/invalid.halvern.console.metainfo.xml)
for program in "${programs[@]}"; do
  expected+=("bin/$program" "share/man/man1/$program.1")
done

# --- cmake --install into a temporary prefix ---
prefix=$tmp/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for file in "${expected[@]}" etc/halvern/station.conf; do
  [ -f "$prefix/$file" ] || fail "install lacks $file"
done
for program in "${programs[@]}"; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
  # Each man page renders without complaint, its name line from the program's
  # --help, its header from its --version.
  page=$prefix/share/man/man1/$program.1
  [ -f "$page" ] || continue
  text=$(MANWIDTH=80 man -l "$page" 2>"$tmp/man.err") || fail "man -l $program.1 failed"
  [ -s "$tmp/man.err" ] && fail "man -l $program.1 complains: $(cat "$tmp/man.err")"
  grep -Eq "^ +$program +- " <<<"$text" || fail "$program.1 has no NAME line for $program"
  head -1 "$page" | grep -q help2man && sed -n 2p "$page" | grep -q "\"$program [0-9]" \
    || fail "$program.1 does not carry $program's version: $(sed -n 2p "$page")"
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

# The installed console runs on its own (no build tree beside it).
version=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/halvern-console" --version 2>/dev/null) \
  || fail "installed halvern-console --version failed"
[[ "$version" == "halvern-console "[0-9]* ]] || fail "--version printed '$version'"

# --- the Debian package ---
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/package" >"$tmp/cpack.log" 2>&1 \
  || { cat "$tmp/cpack.log"; fail "cpack -G DEB failed"; }
debs=("$tmp"/package/halvern-console_*.deb)
if [ -f "${debs[0]}" ]; then
  deb=${debs[0]}
  contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for file in "${expected[@]}"; do
    grep -qx "./usr/$file" <<<"$contents" || fail "package lacks /usr/$file"
  done
  grep -qx ./etc/halvern/station.conf <<<"$contents" || fail "package lacks /etc/halvern/station.conf"
  conffiles=$(dpkg-deb -I "$deb" conffiles 2>/dev/null || true)
  [ "$conffiles" = /etc/halvern/station.conf ] || fail "package conffiles are '$conffiles'"
  for script in postinst prerm postrm; do
    dpkg-deb --ctrl-tarfile "$deb" | tar -tv "./$script" 2>/dev/null | grep -q '^-rwxr-xr-x' \
      || fail "package lacks an executable $script"
  done
  # The unit names the packaged program and configuration, not the build's prefix.
  execstart=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/systemd/system/halvern-station.service \
              | grep '^ExecStart=' || true)
  [ "$execstart" = "ExecStart=/usr/bin/halvern-station --config /etc/halvern/station.conf" ] \
    || fail "packaged unit has '$execstart'"
  [ "$(dpkg-deb -f "$deb" Package)" = halvern-console ] || fail "package is not named halvern-console"
  depends=$(dpkg-deb -f "$deb" Depends)
  # libqt6gui6 also brings the xcb platform plugin the console opens its windows with.
  for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6; do
    grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "package does not depend on $package: $depends"
  done
else
  fail "cpack made no halvern-console_*.deb"
fi

if [ "$failures" -ne 0 ]; then
  echo "install_tree: $failures check(s) failed"
  exit 1
fi
echo "install_tree: installed tree and Debian package hold what they should"
