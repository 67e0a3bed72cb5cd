#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file of the tree names its licence in one of its first lines:
#
#   check_spdx.sh SOURCE_DIR
set -euo pipefail
cd "$1"
missing=$(find src tools tests bench fuzz scripts cmake .ci -type f \
            \( -name '*.cpp' -o -name '*.h' -o -name '*.ui' -o -name '*.sh' -o -name '*.cmake' \
               -o -name CMakeLists.txt -o -path 'scripts/*' -o -path '.ci/*' \) \
            -not -path '*/corpus/*' -not -path '*/golden/*' -print0 |
          xargs -0 -r grep -L -m1 'SPDX-License-Identifier: GPL-3.0-or-later' || true)
missing+=$'\n'$(grep -L 'SPDX-License-Identifier: GPL-3.0-or-later' CMakeLists.txt || true)
missing=$(sed '/^$/d' <<<"$missing")
if [ -n "$missing" ]; then
  echo "FAILED: no SPDX-License-Identifier line in:"
  echo "$missing"
  exit 1
fi
echo "ok: every source file names GPL-3.0-or-later"
