#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program's code is the same on every system and compiler: a platform
# or compiler conditional, or a compiler's builtin, is found only in the
# platform layer (src/db/PlatformFile*.cpp) and the console files
# (src/cli/Console*.cpp).
#
#   check_platform.sh SOURCE_DIR
set -euo pipefail
cd "$1"
found=$(grep -rnE --include='*.cpp' --include='*.h' \
          -e '^[[:space:]]*#[[:space:]]*(if|ifdef|ifndef|elif)\b.*\b(_?WIN32|_WIN64|__MINGW[0-9]*__|_MSC_VER|__linux__|__unix__|__APPLE__|__GNUC__|__clang__|__BYTE_ORDER__)\b' \
          -e '__builtin_|__attribute__|__declspec' src |
        grep -vE '^src/db/PlatformFile[A-Za-z0-9]*\.cpp:|^src/cli/Console[A-Za-z0-9]*\.cpp:' || true)
if [ -n "$found" ]; then
  echo "FAILED: platform conditionals outside the platform layer and the console files:"
  echo "$found"
  exit 1
fi
echo "ok: no platform conditional outside src/db/PlatformFile*.cpp and src/cli/Console*.cpp"
