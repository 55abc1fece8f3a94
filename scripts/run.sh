#!/usr/bin/env bash
# Builds Orvaine Mail and starts it from its program folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh" run
"$root/scripts/build.sh" "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DORVAINE_TESTS=OFF -DORVAINE_BENCH=OFF

program="$root/build/release/program/orvaine"
echo "Program folder: $root/build/release/program"

# Without a display (a server, a container) the window opens on a virtual screen.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the program on a virtual X display (Xvfb)."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$program"
fi
exec "$program"
