#!/usr/bin/env bash
# Packs and unpacks 20 drawing-sized files of 70 MB with planora_zip_bench and with Debian's
# zip/unzip on the same files, in the same run, and prints wall time and peak memory of each.
#   bench/zip/zip_bench.sh BUILD_DIR [WORK_DIR]
# The files mix random bytes with repeated records, so that they compress about as well as
# drawings do; WORK_DIR needs about 6 GB and is removed at the end.
set -euo pipefail
build=${1:?BUILD_DIR}
bench=$(realpath "$build")/bench/zip/planora_zip_bench
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/planora-zipbench.XXXXXX")}
count=${COUNT:-20}
size_mb=${SIZE_MB:-70}
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/ours" "$work/theirs"
for tool in zip unzip /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (tools/install-deps.sh)"; exit 1; }
done

python3 - "$work/in" "$count" "$size_mb" <<'PY'
import os, random, struct, sys
folder, count, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]) << 20
rng = random.Random(13)
for n in range(count):
    with open(os.path.join(folder, f"plan{n:02}.akt"), "wb") as out:
        written = 0
        while written < size:
            records = b"".join(struct.pack("<hhd4d", 1, n % 7, i * 0.5, 1.0, 2.0, 3.0, 4.0)
                               for i in range(1024))
            block = rng.randbytes(16384) + records[:49152]
            out.write(block)
            written += len(block)
PY
files=("$work"/in/*.akt)

measure() {  # label, command...: prints "label  seconds  peak KB"
  local label=$1; shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
  read -r secs kb <"$work/time"
  printf '%-22s %8.2f s %9d KB\n' "$label" "$secs" "$kb"
  echo "$secs" >"$work/$label.secs"
}

sync
measure "zip (Debian)" zip -q -j "$work/theirs.zip" "${files[@]}"
measure "planora pack" "$bench" pack "$work/ours.zip" "${files[@]}"
measure "unzip (Debian)" unzip -q "$work/theirs.zip" -d "$work/theirs"
measure "planora unpack" "$bench" unpack "$work/theirs.zip" "$work/ours"
unzip -tq "$work/ours.zip" >/dev/null && echo "unzip -t on planora's zip: ok"
for f in "${files[@]}"; do cmp -s "$f" "$work/ours/$(basename "$f")" || { echo "differs: $f"; exit 1; }; done
echo "unpacked files equal the originals"
ls -l "$work/theirs.zip" "$work/ours.zip" | awk '{print $5, $9}'
python3 - "$work" <<'PY'
import sys
w = sys.argv[1]
t = {k: float(open(f"{w}/{k}.secs").read()) for k in
     ("zip (Debian)", "planora pack", "unzip (Debian)", "planora unpack")}
print(f"pack ratio   {t['planora pack'] / t['zip (Debian)']:.2f} x Debian's zip")
print(f"unpack ratio {t['planora unpack'] / t['unzip (Debian)']:.2f} x Debian's unzip")
PY
