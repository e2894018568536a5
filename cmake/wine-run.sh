#!/bin/sh
# Runs a cross-built Windows program under Wine: wine-run.sh program.exe [arguments...]
# Every program of one build tree shares that tree's own throwaway prefix (<build>/wine-prefix, or
# $PLQ_WINEPREFIX), made here on first use, so nothing in the user's ~/.wine is read or changed.
set -eu

if [ -n "${PLQ_WINEPREFIX:-}" ]; then
  prefix=$PLQ_WINEPREFIX
else
  # The build tree is the nearest folder above the program that holds a CMakeCache.txt.
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ ! -f "$dir/CMakeCache.txt" ]; do
    if [ "$dir" = / ]; then
      echo "wine-run.sh: $1 is not inside a CMake build tree; set PLQ_WINEPREFIX" >&2
      exit 2
    fi
    dir=$(dirname "$dir")
  done
  prefix=$dir/wine-prefix
fi

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# Debian's Wine has no Gecko or Mono: without this, upstream Wine offers to download them and
# waits for an answer. A caller's own overrides come after these.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# The program's captions and menu are Chinese; Wine draws them only in a Chinese locale.
export LC_ALL=zh_CN.UTF-8

if [ ! -f "$prefix/.plq-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/.plq-ready" ]; then
      rm -rf "$prefix"
      wine wineboot -i >/dev/null 2>&1
      wineserver -w
      # Without Wine's own fonts in the prefix, caption buttons are drawn as letters.
      cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
      touch "$prefix/.plq-ready"
    fi
  ) 9>"$prefix.lock"
fi

# Start the prefix's wineserver and Wine's own background programs (services, devices) apart from
# our output: started by a program whose output is a pipe, as under CTest, they would hold the
# pipe open and the caller would wait seconds for them to go. They stay 5 s after the last
# program ends, so a series of test programs shares one warm session.
wineserver -p5 </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

exec wine "$@"
