#!/usr/bin/env bash
# clang-tidy (the checks in .clang-tidy) over the program's sources, with the compile database
# the build wrote. Two at a time; any finding fails.
#   clang_tidy.sh SOURCE_DIR BUILD_DIR [mingw] FILE...
# With "mingw", the files are the Windows backend's, compiled by mingw-w64: clang-tidy parses
# them for that target with mingw's C++ and Windows headers (but clang's own built-in ones:
# GCC's intrinsics headers are not clang's).
set -euo pipefail
source_dir=$1 build_dir=$2
shift 2
extra=()
if [ "${1:-}" = mingw ]; then
  shift
  extra+=(--extra-arg=--target=x86_64-w64-mingw32)
  while read -r dir; do
    extra+=("--extra-arg=-isystem$dir")
  done < <(echo | x86_64-w64-mingw32-g++-posix -xc++ -E -v - 2>&1 |
    sed -n '/#include <...> search starts here:/,/End of search list./p' |
    grep -v 'search starts here\|End of search list\|/include$\|include-fixed' | sed 's/^ *//')
fi
cd "$source_dir"
printf '%s\n' "$@" | xargs -P 2 -n 2 clang-tidy --quiet -p "$build_dir" \
  --header-filter="^$source_dir/(shell|tools|tests)/" "${extra[@]}"
