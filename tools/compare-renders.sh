#!/bin/sh
# Renders the example drawings (and, when given, the benchmark drawing) with a planora-cli and
# compares every PNG pixel by pixel with reference images: either a folder of PNGs named
# NAME-WxH.png, or images made on the spot by another planora-cli (for example one built from an
# earlier commit).
#
#   tools/compare-renders.sh NEW_CLI REFERENCE_DIR_OR_CLI [BENCH_DRAWING]
#
# Prints one line per image with the number of differing pixels; exits 1 when any differ.
# Needs ImageMagick's "compare".
set -u
new_cli=$1
reference=$2
bench=${3:-}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

jobs=""
for f in "$here"/examples/*.akt; do
    for size in 800x600 1600x1200 3000x2000; do
        jobs="$jobs $f:$size"
    done
done
if [ -n "$bench" ]; then
    jobs="$jobs $bench:800x600 $bench:1600x1200"
fi

status=0
for job in $jobs; do
    file=${job%:*}
    size=${job##*:}
    name=$(basename "$file" .akt)-$size.png
    "$new_cli" render "$file" -o "$work/new-$name" --size "$size" >/dev/null || {
        echo "$name: render failed"; status=1; continue; }
    if [ -d "$reference" ]; then
        ref="$reference/$name"
    else
        ref="$work/ref-$name"
        "$reference" render "$file" -o "$ref" --size "$size" >/dev/null || {
            echo "$name: reference render failed"; status=1; continue; }
    fi
    if [ ! -f "$ref" ]; then
        echo "$name: no reference image"; status=1; continue
    fi
    diff=$(compare -metric AE "$ref" "$work/new-$name" null: 2>&1)
    echo "$name: $diff differing pixels"
    [ "$diff" = "0" ] || status=1
done
exit $status
