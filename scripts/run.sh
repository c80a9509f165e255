#!/usr/bin/env bash
# Installs what is needed, builds Kestrana, stages the runtime tree and opens
# the main window: on the bridge when one is plugged in, else on the
# simulated bridge (KESTRANA_DEVICE=sim). Set KESTRANA_DEVICE=hidraw or =sim
# to choose yourself.
# Usage: scripts/run.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD=${1:-build}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" --parallel "$(nproc)" --target kestrana kestrana_simdemo

# The staged tree: bin/kestrana next to System/, test/ and doc/. Shipped files
# never replace staged ones, so settings changed in the program survive.
STAGE="$BUILD/stage"
mkdir -p "$STAGE/bin"
cp -f "$BUILD/app/kestrana" "$STAGE/bin/kestrana"
cp -rn resources/runtime/. "$STAGE/"
# The operator's guide is built from its text source.
mkdir -p "$STAGE/doc"
cp -f "$BUILD"/doc/*.pdf "$STAGE/doc/"

# A bridge shows up as a hidraw node on USB interface 1 of a bridge vendor.
# The vendors are the program's own list (scripts/bridge-vendors.sh).
bridge_present() {
  local vendors node hid vendor iface
  vendors=$(bash scripts/bridge-vendors.sh) || return 1
  for node in /sys/class/hidraw/hidraw*; do
    [ -e "$node/device/uevent" ] || continue
    hid=$(sed -n 's/^HID_ID=//p' "$node/device/uevent")
    vendor=$(echo "$hid" | cut -d: -f2 | tail -c 5 | tr 'a-f' 'A-F')
    iface=$(basename "$(dirname "$(readlink -f "$node/device")")" | sed -n 's/.*\.\([0-9]*\)$/\1/p')
    if [ "$iface" = "1" ] && echo "$vendors" | grep -qx "$vendor"; then return 0; fi
  done
  return 1
}

if [ -z "${KESTRANA_DEVICE:-}" ]; then
  if bridge_present; then KESTRANA_DEVICE=hidraw; else KESTRANA_DEVICE=sim; fi
fi
export KESTRANA_DEVICE

# The chip's open/short program (System/ShortFw.bin, 5848 bytes) is not part
# of Kestrana. The simulated module takes any image of that size, so the
# simulated run stages a placeholder of zeros; on a real bridge the
# placeholder is removed again, so that it can never reach a real chip.
SHORT_FW="$STAGE/System/ShortFw.bin"
if [ "$KESTRANA_DEVICE" = sim ]; then
  [ -e "$SHORT_FW" ] || head -c 5848 /dev/zero > "$SHORT_FW"
elif [ -e "$SHORT_FW" ] && cmp -s "$SHORT_FW" <(head -c 5848 /dev/zero); then
  rm -f "$SHORT_FW"
fi
# The demonstration files for the simulated bridge (touch firmware, bridge
# images, configurations; see the README) are made afresh for it into
# sim-demo/; on a real bridge the folder is removed, since its patterns would
# leave a real bridge or chip without working firmware.
DEMO="$STAGE/sim-demo"
if [ "$KESTRANA_DEVICE" = sim ]; then
  "$BUILD/tools/simdemo/kestrana_simdemo" "$DEMO" > /dev/null
else
  rm -rf "$DEMO"
fi
echo "run: starting $STAGE/bin/kestrana on the $([ "$KESTRANA_DEVICE" = sim ] && echo simulated || echo real) bridge"
exec "$STAGE/bin/kestrana"
