#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every C++ file of the tree is laid out as .clang-format says:
#
#   check_format.sh SOURCE_DIR
# Mend a file with `clang-format -i FILE`.
set -euo pipefail
cd "$1"
files=$(find src tools tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) \
          -not -path '*/corpus/*' | sort)
bad=()
for f in $files; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ "${#bad[@]}" -gt 0 ]; then
  echo "FAILED: not laid out as .clang-format says (clang-format -i FILE mends it):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "ok: $(wc -w <<<"$files") C++ files laid out as .clang-format says"
