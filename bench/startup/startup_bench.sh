#!/bin/sh
# Runs planora_startup_bench RUNS times (default 9) on DRAWING under a private Xvfb (display :57,
# or PLANORA_BENCH_DISPLAY) and prints each time and the median. A first run that is not timed
# writes the settings of a program that has run before and brings the program, its libraries
# and the drawing into the page cache, as for any start but the very first after booting.
#
#   bench/startup/startup_bench.sh BUILD_DIR [DRAWING [RUNS]]
set -eu
build=$1
drawing=${2:-}
runs=${3:-9}
bench="$build/bench/startup/planora_startup_bench"
display=${PLANORA_BENCH_DISPLAY:-:57}
number=${display#:}
# A server of an earlier run may still be going away.
i=0
while [ -e "/tmp/.X$number-lock" ] && [ "$i" -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
settings=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$settings"' EXIT INT TERM
i=0
while [ ! -e "/tmp/.X11-unix/X$number" ] && [ "$i" -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
sleep 0.5
export PLANORA_BENCH_SETTINGS="$settings/Planora.conf"
DISPLAY=$display "$bench" ${drawing:+"$drawing"} >/dev/null 2>&1
times=""
i=0
while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    line=$(DISPLAY=$display PLANORA_START_NS=$start "$bench" ${drawing:+"$drawing"} 2>/dev/null)
    echo "$line"
    times="$times $(echo "$line" | sed -n 's/.*picture: \([0-9.]*\) ms.*/\1/p')"
    i=$((i + 1))
done
echo "$times" | tr ' ' '\n' | sed '/^$/d' | sort -n |
    awk '{ t[NR] = $1 } END { printf "median of %d: %.1f ms\n", NR, t[int((NR + 1) / 2)] }'
