#!/usr/bin/env bash
# Fails when any C or C++ source of the project differs from what the
# project's .clang-format makes of it, and prints the command that fixes it.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' '*.hpp')
if [ ${#files[@]} -eq 0 ]; then
  exit 0
fi

mapfile -t differing < <(clang-format --dry-run "${files[@]}" 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
if [ ${#differing[@]} -ne 0 ]; then
  echo "check-format: ${#differing[@]} file(s) differ from .clang-format:"
  printf '  %s\n' "${differing[@]}"
  echo "fix with: clang-format -i ${differing[*]}"
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
