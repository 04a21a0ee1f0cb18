#!/usr/bin/env bash
# Takes screenshots of the desktop program under a virtual X server (Xvfb)
# and writes them to docs/screenshots/: the About box, splash window, help
# viewer and percentage bar, and the wizard's dialogs (main dialog, analysis,
# preview, saving, completion) from a real run on archives made on the spot,
# and the password dialog.
# Each program run starts on a fresh, empty screen.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build test
build=build/shots
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target tessaly-ui-shots tessaly-wizard-shots

mkdir -p docs/screenshots
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
for shot in about splash progress help; do
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/bin/tessaly-ui-shots" "$build/data" docs/screenshots "$shot"
done
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/bin/tessaly-wizard-shots" "$build/data" docs/screenshots
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/bin/tessaly-wizard-shots" "$build/data" docs/screenshots password
