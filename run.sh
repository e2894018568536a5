#!/usr/bin/env bash
# Builds the Linux program and starts it. With no display it runs on a virtual one (Xvfb), waits
# until the calculator is drawn, saves a screenshot, closes the window and says where the picture is.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh run
# The tests need more than running does (GoogleTest...); ./test.sh builds them in its own tree.
cmake --preset linux -DPLQ_BUILD_TESTS=OFF
cmake --build --preset linux
program=build/linux/shell/gtk/plqcalc
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi
echo "No display: starting the program on a virtual display."
DBUS_SESSION_BUS_ADDRESS=disabled: exec python3 scripts/plqsession.py "$program" \
  --screenshot build/linux/screenshot.png
