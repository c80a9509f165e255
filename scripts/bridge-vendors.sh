#!/usr/bin/env bash
# Prints the bridge vendor ids the program knows (upper-case hex, one a line),
# read from the program's own list so that scripts and program cannot drift
# apart. Fails when the list cannot be found.
set -euo pipefail
cd "$(dirname "$0")/.."
VENDORS_H=platform/hid/BridgeVendors.h
vendors=$(sed -n '/kBridgeVendorIds = {/,/};/p' "$VENDORS_H" |
  grep -o '0x[0-9A-Fa-f]\{4\}' | cut -c3- | tr 'a-f' 'A-F' || true)
if [ -z "$vendors" ]; then
  echo "bridge-vendors: no bridge vendors found in $VENDORS_H" >&2
  exit 1
fi
echo "$vendors"
