#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Halvern console developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Validates the console's AppStream metainfo offline and checks that it
# describes the desktop entry it launches.
# Usage: metainfo.sh METAINFO DESKTOP_ENTRY
set -euo pipefail

metainfo=${1:?usage: metainfo.sh METAINFO DESKTOP_ENTRY}
desktop=${2:?usage: metainfo.sh METAINFO DESKTOP_ENTRY}
command -v appstreamcli >/dev/null || { echo "FAIL: appstreamcli is missing (package appstream)"; exit 1; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Errors fail the validator; warnings and infos (a missing content rating is
# only an info) fail here. The one accepted: the id's first part "invalid" is
# no known top-level domain, as the project has no domain of its own.
report=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli validate failed"
issues=$(grep -E '^[EWI]: ' <<<"$report" | grep -v ': cid-maybe-not-rdns ' || true)
[ -z "$issues" ] || fail "validator issues:"$'\n'"$issues"

launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ "$launchable" = "$(basename "$desktop")" ] || fail "launchable '$launchable' is not $(basename "$desktop")"
categories=$(sed -n 's|.*<category>\(.*\)</category>.*|\1;|p' "$metainfo" | tr -d '\n')
[ "Categories=$categories" = "$(grep '^Categories=' "$desktop")" ] \
  || fail "metainfo categories '$categories' differ from the desktop entry's"

[ "$failures" -eq 0 ] || exit 1
echo "metainfo: valid, and matches $(basename "$desktop")"
