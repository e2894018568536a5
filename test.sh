#!/usr/bin/env bash
# Builds and runs every test: the Linux build (with AddressSanitizer and UndefinedBehaviorSanitizer),
# the Linux package (an optimised build: the .deb under lintian, the desktop files under their
# validators) and the Windows build under Wine. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh test
cmake --workflow --preset linux-asan
cmake --workflow --preset package
cmake --workflow --preset windows
