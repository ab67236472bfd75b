#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what the desktop reads from it.
# Usage: install_check.sh BUILD_DIR EXAMPLE.akt
set -euo pipefail
build=$1
example=$2
for tool in desktop-file-validate appstreamcli xmllint update-mime-database xdg-mime mimetype; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/usr" >/dev/null
share=$work/usr/share

desktop-file-validate "$share/applications/planora.desktop"
appstreamcli validate --no-net "$share/metainfo/de.quellmark.planora.metainfo.xml"
xmllint --noout "$share/mime/packages/planora.xml"
grep -qx 'Exec=planora-cli thumbnail -s %s %i %o' "$share/thumbnailers/planora.thumbnailer"
for size in 16 32 48 256; do
  file "$share/icons/hicolor/${size}x${size}/apps/planora.png" | grep -q "PNG image data, $size x $size"
done
test -x "$work/usr/bin/planora" && test -x "$work/usr/bin/planora-cli"

# The drawing type by content (magic "KVN"), without the extension, and the archive type by name.
update-mime-database "$share/mime"
cp "$example" "$work/zeichnung"
: >"$work/liste.ad"
export XDG_DATA_HOME=$work/empty XDG_DATA_DIRS=$share
type=$(xdg-mime query filetype "$work/zeichnung")
[ "$type" = application/x-kvn-cad-drawing ] || { echo "drawing without extension: $type"; exit 1; }
type=$(xdg-mime query filetype "$work/liste.ad")
[ "$type" = application/x-planora-archive ] || { echo "archive: $type"; exit 1; }
echo "installed tree ok"
