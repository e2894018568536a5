#!/usr/bin/env bash
# Installs what building, running or testing needs on Debian 12: missing Debian packages (with apt
# when run as root, otherwise it prints the exact command and stops) and the npm tools.
# Idempotent and quick when everything is there.
#   scripts/setup.sh run    what building and running the program needs
#   scripts/setup.sh test   what building and running every test needs
set -euo pipefail
cd "$(dirname "$0")/.."

purpose=${1:-test}

run_packages=(
  build-essential cmake pkg-config python3
  libgtk-3-dev libwebkit2gtk-4.1-dev
  fonts-noto-cjk xdg-utils
  xvfb xauth x11-utils imagemagick
  librsvg2-bin icoutils
)
test_packages=(
  "${run_packages[@]}"
  clang-format clang-tidy googletest libgtest-dev libx11-dev
  chromium
  xdotool dbus metacity xfwm4 openbox at-spi2-core python3-gi gir1.2-atspi-2.0
  sway grim gsettings-desktop-schemas
  lintian appstream desktop-file-utils file
  g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 fonts-wine locales
  nsis osslsigncode icoutils openssl
)
case "$purpose" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
# Node.js may come from another package source than Debian's; any node with npm will do.
if [ "$purpose" = test ] && ! { command -v node && command -v npm; } >/dev/null; then
  missing+=(nodejs npm)
fi
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # With recommends: WebKitGTK needs Mesa's EGL, which libegl1 only recommends.
  apt-get install -y -q "${missing[@]}"
fi

# The Windows program's captions are Chinese: Wine needs a Chinese locale to draw them.
if [ "$purpose" = test ] && ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  if [ "$(id -u)" -eq 0 ]; then
    sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    locale-gen >/dev/null
  else
    echo "The zh_CN.UTF-8 locale is missing. Add it with:" >&2
    echo "  sudo sed -i 's/^# *\\(zh_CN.UTF-8 UTF-8\\)/\\1/' /etc/locale.gen && sudo locale-gen" >&2
    exit 1
  fi
fi

# npm tools (ESLint, playwright-core) for the page checks and tests, only when the lock changed.
if [ "$purpose" = test ]; then
  stamp=node_modules/.package-lock.sha256
  want=$(sha256sum package-lock.json | cut -d' ' -f1)
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
    npm ci --no-audit --no-fund --loglevel=error
    echo "$want" > "$stamp"
  fi
fi
