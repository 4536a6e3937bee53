#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Halvern console developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Upgrades the single package halvern-console 13.0.0, which held the station,
# to the two packages halvern-console and halvern-station in PACKAGE_DIR, with
# the real dpkg and deb-systemd-helper in a throwaway root (dpkg --root: the
# maintainer scripts run chrooted there; the host's packages are not touched).
# The administrator's edited /etc/halvern/station.conf must be kept without a
# question, an enabled station must stay enabled, an unconfigured one must
# not become enabled, and a purge must take both away.
# Usage: package_upgrade.sh PACKAGE_DIR   (as root: dpkg --root chroots)
set -euo pipefail

packages=${1:?usage: package_upgrade.sh PACKAGE_DIR}
[ "$(id -u)" -eq 0 ] || { echo "SKIP: dpkg --root needs root for its chroot"; exit 77; }
for tool in dpkg dpkg-deb deb-systemd-helper perl; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing"; exit 1; }
done
station_deb=$(ls "$packages"/halvern-station_*.deb)
console_deb=$(ls "$packages"/halvern-console_*.deb)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $case: $*"; failures=$((failures + 1)); }

# --- A root the maintainer scripts can run in: sh, perl and deb-systemd-helper ---
base=$tmp/base
mkdir -p "$base"/usr/{bin,sbin,lib,lib64} "$base"/var/lib/dpkg/{info,updates} "$base"/etc/systemd/system
for dir in bin sbin lib lib64; do ln -s "usr/$dir" "$base/$dir"; done
copy() { local file; for file; do mkdir -p "$base$(dirname "$file")"; cp -L "$file" "$base$file"; done; }
programs=(/bin/sh "$(command -v perl)" "$(command -v deb-systemd-helper)" "$(command -v deb-systemd-invoke)")
copy "${programs[@]}" $(ldd "${programs[@]}" 2>/dev/null | awk '$2 == "=>" && $3 ~ /^\// {print $3} $1 ~ /^\/.*[^:]$/ {print $1}' | sort -u)
perl_base=$(perl -e 'print grep { m{/perl-base$} } @INC')
mkdir -p "$base$(dirname "$perl_base")" && cp -a "$perl_base" "$base$perl_base"
touch "$base/var/lib/dpkg/status"
mkdir "$base/dev" && mknod -m 666 "$base/dev/null" c 1 3

# --- The packages: what the new ones depend on, and 13.0.0 as it shipped ---
field() { dpkg-deb -f "$1" "$2"; }
arch=$(field "$station_deb" Architecture)
# One package provides every library the new packages depend on (the first of
# each set of alternatives), so dpkg checks every relation without forcing.
provides=$( { field "$station_deb" Depends; echo ,; field "$console_deb" Depends; } | tr ',' '\n' \
  | sed -E 's/\|.*//; s/\(.*\)//; s/ //g' | grep -v '^$' | sort -u | sed 's/$/ (= 9999)/' | paste -sd, | sed 's/,/, /g')
mkdir -p "$tmp/runtime/DEBIAN"
printf 'Package: runtime-libraries\nVersion: 1\nArchitecture: %s\nMaintainer: Tests <tests@halvern.invalid>\nProvides: %s\nDescription: libraries\n the libraries the packages link\n' \
  "$arch" "$provides" >"$tmp/runtime/DEBIAN/control"
dpkg-deb --build --root-owner-group "$tmp/runtime" "$tmp/runtime.deb" >/dev/null

# 13.0.0: the files of both new packages in one (no documentation folder
# yet), and the configuration file and maintainer scripts it shipped. A new
# station.conf that differs would make dpkg ask everyone who edited theirs.
shipped=$(dirname "$0")/data/halvern-console-13.0.0
old=$tmp/old
dpkg-deb -x "$station_deb" "$old"
dpkg-deb -x "$console_deb" "$old"
rm -rf "$old/usr/share/doc"
cp "$shipped/station.conf" "$old/etc/halvern/station.conf"
mkdir -p "$old/DEBIAN"
cp "$shipped"/{postinst,prerm,postrm} "$old/DEBIAN/"
echo /etc/halvern/station.conf >"$old/DEBIAN/conffiles"
cat >"$old/DEBIAN/control" <<EOF
Package: halvern-console
Version: 13.0.0
Architecture: $arch
Maintainer: Halvern console developers <halvern-console@localhost>
Depends: $(field "$station_deb" Depends), $(field "$console_deb" Depends)
Section: electronics
Priority: optional
Description: Desktop console for the Halvern VHF telemetry receiver
 Includes halvern-station, the station as a systemd service.
EOF
dpkg-deb --build --root-owner-group "$old" "$tmp/old.deb" >/dev/null

# --- Each case: a fresh root, what was there before, the new packages ---
conf=/etc/halvern/station.conf
link=/etc/systemd/system/multi-user.target.wants/halvern-station.service
state=/var/lib/systemd/deb-systemd-helper-enabled/halvern-station.service.dsh-also
shipped_md5=$(dpkg-deb --fsys-tarfile "$station_deb" | tar -xO ".$conf" | md5sum | cut -d' ' -f1)
edit='port = /dev/ttyUSB0'

cases=(
  # name                      before     enabled  install order
  "upgrade_console_first      13.0.0     yes      console station"
  "upgrade_station_first      13.0.0     yes      station console"
  "upgrade_never_enabled      13.0.0     no       console station"
  "fresh_install              none       no       station console"
)
for row in "${cases[@]}"; do
  read -r case before enabled first second <<<"$row"
  root=$tmp/$case
  cp -a "$base" "$root"
  dpkgr() { dpkg --root="$root" "$@" </dev/null >>"$tmp/$case.log" 2>&1; }
  dpkgr -i "$tmp/runtime.deb" || { cat "$tmp/$case.log"; fail "the runtime package did not install"; continue; }
  if [ "$before" = 13.0.0 ]; then
    dpkgr -i "$tmp/old.deb" || { cat "$tmp/$case.log"; fail "13.0.0 did not install"; continue; }
    echo "$edit" >>"$root$conf"
    if [ "$enabled" = yes ]; then # as systemctl enable leaves it
      mkdir -p "$(dirname "$root$link")"
      ln -s /lib/systemd/system/halvern-station.service "$root$link"
    fi
  fi
  declare -A deb=([station]=$station_deb [console]=$console_deb)
  # Both at once, as apt hands them over (with --auto-deconfigure), in
  # either order; standard input closed, so a question fails the run.
  if ! dpkgr --auto-deconfigure -i "${deb[$first]}" "${deb[$second]}"; then
    cat "$tmp/$case.log"
    fail "installing $first and $second failed"
    grep -q "Configuration file '$conf'" "$tmp/$case.log" && fail "dpkg asked about $conf (does it differ from 13.0.0's?)"
    continue
  fi
  grep -q "Configuration file '$conf'" "$tmp/$case.log" && fail "dpkg asked about $conf (does it differ from 13.0.0's?)"
  for package in halvern-station halvern-console; do
    status=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status} ${Version}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed $(field "$station_deb" Version)" ] || fail "$package is '$status'"
  done
  [ "$(dpkg-query --admindir="$root/var/lib/dpkg" -S "$conf" 2>/dev/null)" = "halvern-station: $conf" ] \
    || fail "$conf belongs to '$(dpkg-query --admindir="$root/var/lib/dpkg" -S "$conf" 2>&1)'"
  # The hash dpkg keeps is the shipped file's: the next upgrade still sees the
  # edit. (Unpacked first, halvern-console 14.0.0 keeps the file as an obsolete
  # conffile of its own, which dpkg leaves alone while halvern-station holds it.)
  conffiles=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Conffiles}' halvern-station)
  [ "$(echo $conffiles)" = "$conf $shipped_md5" ] || fail "halvern-station's conffiles recorded: $conffiles"
  cmp -s "$root/usr/bin/halvern-station" <(dpkg-deb --fsys-tarfile "$station_deb" | tar -xO ./usr/bin/halvern-station) \
    || fail "/usr/bin/halvern-station is not the new program"
  if [ "$before" = 13.0.0 ]; then
    [ "$(tail -1 "$root$conf")" = "$edit" ] || fail "the edited $conf was not kept: $(tail -1 "$root$conf")"
    [ ! -e "$root$conf.dpkg-new" ] && [ ! -e "$root$conf.dpkg-dist" ] || fail "dpkg left $conf.dpkg-*"
  else
    cmp -s "$root$conf" <(dpkg-deb --fsys-tarfile "$station_deb" | tar -xO ".$conf") || fail "$conf is not the shipped one"
  fi
  if [ "$enabled" = yes ]; then
    [ "$(readlink "$root$link")" = /lib/systemd/system/halvern-station.service ] \
      || fail "the station is no longer enabled"
  else
    [ ! -L "$root$link" ] || fail "installing enabled the station"
  fi
  grep -qx "$link" "$root$state" 2>/dev/null || fail "deb-systemd-helper recorded no link to drop on purge"
  conf_md5=$(md5sum <"$root$conf")
  enablement=$(readlink "$root$link" || true)

  # Purging the console leaves the station as it was; purging the station
  # takes its configuration file and its enablement away.
  dpkgr --purge halvern-console || { cat "$tmp/$case.log"; fail "purging halvern-console failed"; continue; }
  [ "$(md5sum <"$root$conf")" = "$conf_md5" ] || fail "purging halvern-console changed $conf"
  [ "$(readlink "$root$link" || true)" = "$enablement" ] || fail "purging halvern-console changed the enablement"
  dpkgr --purge halvern-station || { cat "$tmp/$case.log"; fail "purging halvern-station failed"; continue; }
  [ ! -e "$root$conf" ] || fail "$conf outlived the purge"
  [ ! -L "$root$link" ] || fail "the enablement outlived the purge"
done

if [ "$failures" -ne 0 ]; then
  echo "package_upgrade: $failures check(s) failed"
  exit 1
fi
echo "package_upgrade: ${#cases[@]} cases: edited configuration kept without a question, enablement kept, purge clean"
