#!/usr/bin/env bash
# Builds the .deb from a finished build folder, installs it with apt-get, runs planora-cli from the
# installed path and removes the package again, checking that nothing of it stays behind.
# Needs root. Usage: check-deb-package.sh BUILD_DIR EXAMPLE.akt
set -euo pipefail
build=$(cd "$1" && pwd)
example=$2
export DEBIAN_FRONTEND=noninteractive

if dpkg-query -W -f='${Status}' planora 2>/dev/null | grep -q 'install ok installed'; then
  echo "planora is installed already; not touching it" >&2
  exit 1
fi
rm -f "$build"/planora_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/planora_*.deb)
echo "built $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

apt-get install -y -q --no-install-recommends "$deb" >/dev/null
trap 'apt-get remove -y -q --purge planora >/dev/null 2>&1 || true' EXIT
/usr/bin/planora-cli info "$example" | grep -q '^Format: Version 2500'
out=$(mktemp -d)
/usr/bin/planora-cli thumbnail -s 64 "$example" "$out/p.png"
file "$out/p.png" | grep -q 'PNG image data, 64 x 64'
rm -rf "$out"
mimetype=$(xdg-mime query filetype "$example" 2>/dev/null || true)
echo "installed; $example is $mimetype"

files=$(dpkg -L planora | grep -E '^/usr/(bin|share)/.+\.|/usr/bin/' || true)
apt-get remove -y -q --purge planora >/dev/null
trap - EXIT
left=0
while read -r f; do
  if [ -n "$f" ] && [ -f "$f" ]; then
    echo "left behind: $f" >&2
    left=1
  fi
done <<<"$files"
[ $left -eq 0 ]
echo "removed cleanly"
