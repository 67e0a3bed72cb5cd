#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The layers below the windows use the standard library only and leave the
# ending of the process to the program: no source file of src/db, src/fields
# (its library part: every file but the windows, which have a form beside
# them), src/reorder, src/gedcom, src/cli or src/trace includes a Qt header,
# a generated form or a header of the Qt layers, nor calls exit, _exit,
# quick_exit or abort.
#
#   check_layers.sh SOURCE_DIR
set -euo pipefail
cd "$1"

# Headers of the layers that need Qt.
qt_headers=$(find src/app src/seams src/records -name '*.h' -printf '%f\n')
for form in src/fields/*.ui; do qt_headers+=$'\n'"$(basename "${form%.ui}").h"; done

files=()
for f in $(find src/db src/fields src/reorder src/gedcom src/cli src/trace -type f \
             \( -name '*.cpp' -o -name '*.h' \) | sort); do
  base="${f%.*}"
  [ -e "$base.ui" ] && continue  # a window of the fields: Qt on purpose
  files+=("$f")
done

failures=()
for f in "${files[@]}"; do
  # Code only: // comments and string literals dropped.
  code=$(sed -e 's://.*$::' -e 's/"[^"]*"/""/g' "$f")
  while IFS= read -r include; do
    name=$(sed -E 's/^#\s*include\s*[<"]([^>"]+)[>"].*/\1/' <<<"$include")
    if [[ "$name" =~ ^Q[A-Za-z]*(/|$) || "$name" =~ ^Qt || "$name" == ui_* ]] ||
       grep -qxF "$(basename "$name")" <<<"$qt_headers"; then
      failures+=("$f: includes <$name>")
    fi
  done < <(grep -E '^\s*#\s*include' "$f" || true)
  # The calls, in the code without its includes and /* */ comments.
  while IFS= read -r call; do
    failures+=("$f:${call%%:*}: calls ${call#*:}")
  done < <(sed -E -e 's:/\*.*\*/::g' -e 's/^\s*#\s*include.*//' <<<"$code" |
             grep -noE '(^|[^.>[:alnum:]_])(std::)?(_?exit|_Exit|quick_exit|abort)\s*\(' || true)
done

if [ "${#failures[@]}" -gt 0 ]; then
  echo "FAILED: a layer below the windows uses Qt or ends the process:"
  printf '  %s\n' "${failures[@]}"
  exit 1
fi
echo "ok: ${#files[@]} files of the Qt-free layers use no Qt and leave the process alone"
