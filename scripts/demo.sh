#!/usr/bin/env bash
# Installs what is missing, builds Quorvane and its demo, starts a local IMAP server with a demo
# mailbox on loopback and opens Quorvane signed in to nothing yet: the ID and password are printed.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
No display: DISPLAY is not set, so there is nowhere to show the window.
Run the demo from a desktop session, or on a virtual screen with Xvfb:
  xvfb-run -a scripts/demo.sh
or start one yourself and point DISPLAY at it:
  Xvfb :5 -screen 0 1280x1024x24 &  DISPLAY=:5 scripts/demo.sh
MSG
  exit 2
fi

bash scripts/setup-debian.sh runtime build demo
build_dir="${BUILD_DIR:-build-demo}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_DEMO=ON >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target quorvane quorvane-demo
exec "$build_dir/demo/quorvane-demo"
