#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every C++ file of the tree is laid out as .clang-format says:
#
#   check_format.sh SOURCE_DIR
# Mend a file with `clang-format -i FILE`.
set -euo pipefail
cd "$1"
mapfile -t files < <(find src tools tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) \
                       -not -path '*/corpus/*' | sort)
# One run over every file; it names each line out of place.
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "FAILED: not laid out as .clang-format says (clang-format -i FILE mends it):"
  grep -o '^[^:]*:[0-9]*:[0-9]*: error' <<<"$report" | cut -d: -f1 | sort -u | sed 's/^/  /'
  exit 1
fi
echo "ok: ${#files[@]} C++ files laid out as .clang-format says"
