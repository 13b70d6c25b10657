#!/usr/bin/env bash
# Checks the Debian package the way a new user meets it: builds the package, makes
# a fresh Debian 12 root with debootstrap, installs the package there with apt, then
# starts the tool from its desktop entry under a virtual X server and looks for its
# window. Not part of the tests: it needs root and the Debian package archive.
# Usage: packaging/check-fresh-install.sh [ROOT]   (default /tmp/halvo-fresh-bookworm)
set -euo pipefail
cd "$(dirname "$0")/.."
root="${1:-/tmp/halvo-fresh-bookworm}"

scripts/deps.sh
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap dpkg-dev > /dev/null
cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVO_BUILD_TESTS=OFF -DHALVO_BUILD_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr > /dev/null
cmake --build build-pkg > /dev/null
(cd build-pkg && cpack > /dev/null)
deb="$(ls build-pkg/halvo-config_*_amd64.deb)"

[ -x "$root/usr/bin/apt-get" ] || debootstrap --variant=minbase bookworm "$root" > /dev/null
mounted=()
cleanup() { for m in "${mounted[@]}"; do umount -l "$m" || true; done; }
trap cleanup EXIT
for m in proc dev/pts; do
  mkdir -p "$root/$m"
  mount --bind "/$m" "$root/$m"
  mounted+=("$root/$m")
done
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive "$@"; }
in_root apt-get update > /dev/null
in_root apt-get install -y --no-install-recommends "/tmp/$(basename "$deb")" xvfb xauth dex x11-utils > /dev/null
echo "installed: $(in_root dpkg-query -W -f='${Package} ${Version}' halvo-config)"

# Started from its desktop entry, the window must appear under its title.
in_root xvfb-run -a sh -c '
  dex /usr/share/applications/halvo-config.desktop &
  for i in $(seq 30); do
    if xwininfo -root -tree | grep -q "\"Halvo Configuration Tool\""; then
      echo "window shown: Halvo Configuration Tool"; kill $(pidof halvo-config); exit 0
    fi
    sleep 0.5
  done
  echo "no window after 15 s"; exit 1'
# And the command line against its own simulated unit.
in_root halvo-cli backup --demo /tmp/unit.csv
echo "fresh Debian 12: package installs and starts"
