#!/usr/bin/env bash
# Checks a built Kestrana .deb: the files a line PC needs are in it, nothing
# of the simulated bridge is, and the control fields name what the program
# needs beside its libraries.
# Usage: .ci/check-deb.sh <package.deb>
set -euo pipefail
deb=$1
fail=0
problem() { echo "check-deb: $*" >&2; fail=1; }

files=$(dpkg-deb -c "$deb" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }')
for wanted in \
    ./usr/bin/kestrana \
    ./usr/share/kestrana/System/AppConfigInit.ini \
    ./usr/share/kestrana/System/ChipIni/RO9110V.ini \
    ./usr/share/kestrana/System/CfgItem/RO9110V_demo.sc \
    "./usr/share/kestrana/doc/Zudazivir使用说明v1.20.pdf" \
    ./usr/share/applications/kestrana.desktop \
    ./usr/share/icons/hicolor/scalable/apps/kestrana.svg \
    ./usr/lib/udev/rules.d/70-kestrana.rules; do
  grep -qxF "$wanted" <<<"$files" || problem "missing $wanted"
done
# The simulated bridge's demonstration files and the open/short placeholder
# would leave a real bridge or chip without working firmware.
for unwanted in sim-demo ShortFw.bin; do
  if grep -F "$unwanted" <<<"$files"; then problem "ships $unwanted"; fi
done

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kestrana ] || problem "Package is '$(field Package)'"
[ -n "$(field Maintainer)" ] || problem "no Maintainer"
depends=$(field Depends)
for dep in fonts-noto-cjk libqt6svg6 libqt6widgets6 libudev1 libusb-1.0-0; do
  grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || problem "Depends lacks $dep: $depends"
done
grep -qE "(^|, )xdg-utils( |,|$)" <<<"$(field Recommends)" ||
  problem "Recommends lacks xdg-utils: $(field Recommends)"

control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
for script in postinst postrm; do
  grep -qx "./$script" <<<"$control" || problem "no $script"
done

[ "$fail" -eq 0 ] && echo "check-deb: $deb is complete"
exit "$fail"
