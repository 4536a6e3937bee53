#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Halvern console developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs a built tree into a temporary prefix and checks the station's
# systemd unit there with systemd-analyze verify (no running systemd needed):
# the unit must parse without a single complaint, name an installed program
# and man page, point --config at the installed configuration file, and load
# the credential that file names for the broker's password.
# Usage: station_unit.sh BUILD_DIR   (CMAKE may name the tool)
set -euo pipefail

build=${1:?usage: station_unit.sh BUILD_DIR}
command -v systemd-analyze >/dev/null || { echo "FAIL: systemd-analyze is missing (package systemd)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"${CMAKE:-cmake}" --install "$build" --prefix "$tmp/prefix" >/dev/null
unit=$(find "$tmp/prefix" -name halvern-station.service)
[ -f "$unit" ] || { echo "FAIL: no halvern-station.service installed"; exit 1; }

# verify exits 0 on unknown keys and bad values, so any output fails too.
# Documentation=man:halvern-station(1) is looked up among the installed pages.
report=$(MANPATH=$tmp/prefix/share/man systemd-analyze verify "$unit" 2>&1) && [ -z "$report" ] \
  || { echo "$report"; echo "FAIL: systemd-analyze verify $unit"; exit 1; }

conf=$(sed -n 's/^ExecStart=.* --config //p' "$unit")
[ "$conf" = "$tmp/prefix/etc/halvern/station.conf" ] && [ -f "$conf" ] \
  || { echo "FAIL: the unit's --config '$conf' is not the installed configuration file"; exit 1; }
echo "station_unit: the installed unit verifies"

# The shipped configuration's password-credential is the credential the unit
# loads; a name without a path, so that systemd skips it when its file is
# missing and a station without MQTT still starts.
credential=$(sed -n 's/^;password-credential = //p' "$conf")
[ -n "$credential" ] && grep -qx "LoadCredential=$credential" "$unit" \
  || { echo "FAIL: the unit does not load the credential '$credential' that station.conf names"; exit 1; }
echo "station_unit: the unit loads the credential the configuration names"
