#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Halvern console developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The Mosquitto ACL of docs/fleet.md, as printed there, on a real broker on a
# free loopback port: a station may publish under its own name only and read
# only its own commands; the control room may send commands to any station
# and read everything, but publish nothing else.
# Usage: mosquitto_acl.sh FLEET_MD
set -euo pipefail

fleet=${1:?usage: mosquitto_acl.sh FLEET_MD}
for tool in mosquitto mosquitto_pub mosquitto_sub mosquitto_passwd python3 stdbuf; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing"; exit 1; }
done
tmp=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# The block that follows the line naming halvern.acl.
awk '/halvern\.acl`:/ { found = 1; next } found && /^```/ { if (inside) exit; inside = 1; next } inside' \
  "$fleet" >"$tmp/acl"
grep -q '^pattern write halvern/%u/#' "$tmp/acl" || { echo "FAIL: no ACL found in $fleet"; exit 1; }

touch "$tmp/passwd"
for user in control pumphouse north; do
  mosquitto_passwd -b "$tmp/passwd" "$user" "pw-$user"
done
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
{
  echo "listener $port 127.0.0.1"
  echo "allow_anonymous false"
  echo "password_file $tmp/passwd"
  echo "acl_file $tmp/acl"
  echo "log_dest stderr"
  if [ "$(id -u)" = 0 ]; then echo "user root"; fi
} >"$tmp/mosquitto.conf"
mosquitto -c "$tmp/mosquitto.conf" 2>"$tmp/broker.log" &
pids+=($!)

# Waits up to 10 s for a line matching the regular expression in a file.
waitFor() {
  local i
  for ((i = 0; i < 200; i++)); do
    grep -qE "$2" "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "FAIL: '$2' never appeared in $1:"; cat "$1"; echo "broker:"; cat "$tmp/broker.log"
  exit 1
}
waitFor "$tmp/broker.log" 'running'

pub() { # USER TOPIC PAYLOAD [retain]
  mosquitto_pub -p "$port" -u "$1" -P "pw-$1" -q 1 -t "$2" -m "$3" ${4:+-r}
}
sub() { # USER FILE TOPIC
  stdbuf -oL mosquitto_sub -p "$port" -u "$1" -P "pw-$1" -q 1 -F '%t %p' -t "$3" >"$2" &
  pids+=($!)
}

# A retained message tells each subscriber is in place.
pub pumphouse halvern/pumphouse/ready yes retain
pub control halvern/north/commands ready retain
pub control halvern/pumphouse/commands ready retain
sub control "$tmp/control" 'halvern/#'
sub north "$tmp/north" 'halvern/+/commands'
sub pumphouse "$tmp/pumphouse" 'halvern/+/commands'
waitFor "$tmp/control" '^halvern/pumphouse/ready yes$'
waitFor "$tmp/north" '^halvern/north/commands ready$'
waitFor "$tmp/pumphouse" '^halvern/pumphouse/commands ready$'

# Refused by the broker: a station writing under another's name, its
# commands among them, and the control room writing anything but commands.
pub pumphouse halvern/north/tx/1 spoofed
pub pumphouse halvern/north/commands spoofed
pub pumphouse halvern/north/status offline
pub control halvern/pumphouse/tx/1 spoofed
# Taken, in this order; each subscriber waits for the last it may see.
pub control halvern/pumphouse/commands for-pumphouse
pub control halvern/north/commands for-north
pub pumphouse halvern/pumphouse/tx/1 reading
pub control halvern/pumphouse/commands last
waitFor "$tmp/north" '^halvern/north/commands for-north$'
waitFor "$tmp/control" '^halvern/pumphouse/tx/1 reading$'
waitFor "$tmp/pumphouse" '^halvern/pumphouse/commands last$'
waitFor "$tmp/control" '^halvern/pumphouse/commands last$'

fail=0
check() { # FILE WHAT EXPECTED
  local got
  got=$(grep -vE ' (ready|yes)$' "$1" | tr '\n' ';')
  if [ "$got" != "$3" ]; then
    echo "FAIL: $2: got '$got', expected '$3'"
    fail=1
  fi
}
check "$tmp/north" "station north reads its own commands only" "halvern/north/commands for-north;"
check "$tmp/pumphouse" "station pumphouse reads its own commands only" \
  "halvern/pumphouse/commands for-pumphouse;halvern/pumphouse/commands last;"
check "$tmp/control" "the control room reads everything, nothing spoofed" \
  "halvern/pumphouse/commands for-pumphouse;halvern/north/commands for-north;halvern/pumphouse/tx/1 reading;halvern/pumphouse/commands last;"
[ "$fail" = 0 ] && echo "PASS: the ACL of docs/fleet.md"
exit "$fail"
