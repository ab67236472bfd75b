#!/usr/bin/env bash
# Installs what is needed, builds Planora and runs every test: the optimised build with all tests,
# the drawing reader under AddressSanitizer and UndefinedBehaviorSanitizer, and the replay of the
# loader's fuzz corpus built with clang.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash tools/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

# Services the tests need: an X server for the end-to-end tests and a CUPS print server with a
# cups-pdf queue for the print tests.
cleanup() {
  bash tools/cups-test-server.sh stop || true
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  # Xvfb picks a free display number and writes it to the file.
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp -noreset 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n 1 "$display_file")"
  rm -f "$display_file"
  echo "Xvfb on display $DISPLAY"
fi
bash tools/cups-test-server.sh start

status=0
echo "== Build and test (default)"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs" || status=1

# The Debian package: built, installed with apt-get, run from its installed path and removed.
# Only where packages can be installed (root, as in CI).
if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  echo "== Debian package"
  if bash tools/check-deb-package.sh build "$root/examples/haus-2500.akt"; then
    echo "Debian package ok"
  else
    echo "Debian package check failed"
    status=1
  fi
fi

echo "== Drawing reader under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" || status=1

echo "== Fuzz corpus replay (clang, sanitizers)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz || status=1

exit $status
