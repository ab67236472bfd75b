#!/usr/bin/env bash
# Installs what is needed, builds Planora and shows an example drawing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)"
drawing=${1:-examples/haus-2500.akt}
if [ -x build/src/app/planora ]; then
  exec build/src/app/planora "$drawing"
fi
exec build/src/cli/planora-cli info "$drawing"
