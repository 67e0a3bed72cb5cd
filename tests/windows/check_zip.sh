#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows package: cpack makes kinscope-dump-VERSION-win64.zip holding
# README.txt (Windows line ends) and kinscope-dump.exe, which runs from the
# unpacked folder under Wine with nothing beside it.
#   check_zip.sh BUILD_DIR VERSION
set -euo pipefail
build="$1" version="$2"
wine_run="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-run"
zip="$build/kinscope-dump-$version-win64.zip"
rm -f "$zip"
(cd "$build" && cpack -G ZIP >/dev/null)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cd "$work"
unzip -q "$zip"
top="kinscope-dump-$version-win64"
listing="$(cd "$top" && find . -type f | sort | tr '\n' ' ')"
[ "$listing" = "./README.txt ./kinscope-dump.exe " ] || { echo "zip holds: $listing"; exit 1; }
grep -q $'^kinscope-dump '"$version"$' for 64-bit Windows\r$' "$top/README.txt" ||
  { echo "README.txt: no title line with CRLF"; exit 1; }
out="$("$wine_run" "$top/kinscope-dump.exe" --version 2>&1)"
[ "$out" = "kinscope-dump $version" ] || { echo "the zipped .exe says: $out"; exit 1; }
echo "$(basename "$zip"): $(stat -c %s "$zip") bytes, $listing"
