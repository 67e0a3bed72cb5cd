#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# kinscope-dump.exe under Wine against the build machine's kinscope-dump:
# for every row of the table, the same files give byte-identical standard
# output, the same messages (line ends aside) and the expected exit status on
# both. Also checks that the .exe needs no DLL beyond those of Windows itself.
#   same_output.sh HOST_DUMP WINDOWS_DUMP SAMPLE_DB
# Runs in the WINEPREFIX of the caller (scripts/test-windows), through its
# wine-run.
set -uo pipefail
host_dump="$1" win_dump="$2" sample="$3"
wine_run="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-run"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The DLLs the program imports: only those every Windows has.
dlls="$(x86_64-w64-mingw32-objdump -p "$win_dump" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u)"
for dll in $dlls; do
  case "$dll" in
    kernel32.dll | msvcrt.dll | shell32.dll | user32.dll | advapi32.dll | api-ms-win-*) ;;
    *) fail "kinscope-dump.exe needs $dll beside it" ;;
  esac
done
echo "imports: ${dlls//$'\n'/ }"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # wine-run may run the program as another user
cd "$work" || exit 1
cp "$sample" family.tev
cp "$sample" "Müller Γενεαλογία 家谱.tev"
cp "$sample" damaged.tev
printf '\x28' | dd of=damaged.tev bs=1 seek=20288 conv=notrunc status=none  # a page of table 40
cp "$sample" counted.tev  # region 0 counts 8191 pages of individuals, more than its map gives
printf '\xff\x1f' | dd of=counted.tev bs=1 seek=4098 conv=notrunc status=none
head -c 5000 "$sample" > short.tev

# expected status | arguments (one shell word list; files relative to $work).
# The GEDCOM export's header holds the day of the export: its DATE line
# is left out of the comparison.
rows=(
  "0|family.tev header"
  "0|family.tev header --json"
  "0|family.tev --json header"
  "0|family.tev record individual 1"
  "0|family.tev record individual 1 --bytes --json"
  "0|family.tev record marriage 1 --json"
  "0|family.tev record family 1"
  "0|family.tev record name 20480 --json"
  "0|family.tev record indivname 20991"
  "0|family.tev record note 1 --json"
  "0|family.tev record citation 1"
  "0|family.tev record media 1 --json"
  "0|family.tev record 12 3"
  "0|family.tev index"
  "0|family.tev index --json"
  "0|family.tev find Whitc"
  "0|family.tev find 'Thomas /Whitcombe/' --json"
  "0|family.tev find 'WHITCÖMBE, Thomas'"
  "0|family.tev find witkam --like --json"
  "2|family.tev find 'Łukasz'"
  "0|family.tev check"
  "0|family.tev check --json"
  "0|'Müller Γενεαλογία 家谱.tev' record individual 7 --json"
  "0|damaged.tev check"
  "0|damaged.tev check --json"
  "1|counted.tev check"
  "1|counted.tev check --json"
  "0|family.tev gedcom"
  "0|counted.tev gedcom"
  "3|family.tev record individual 9999"
  "3|family.tev record name -5 --json"
  "2|family.tev record source 1"
  "2|family.tev frobnicate"
  "2|short.tev header"
  "2|absent.tev header"
  "0|--version"
  "0|--help"
)
for row in "${rows[@]}"; do
  want="${row%%|*}"
  args=()
  eval "args=(${row#*|})"
  "$host_dump" "${args[@]}" >host.out 2>host.err
  host_status=$?
  "$wine_run" "$win_dump" "${args[@]}" >win.out 2>win.err
  win_status=$?
  tr -d '\r' <win.err >win.err.lf
  if [ "${args[1]:-}" = gedcom ]; then
    for out in host.out win.out; do
      sed -i '/^1 DATE /d' "$out"
    done
  fi
  [ "$host_status" = "$want" ] || fail "${row#*|}: Linux status $host_status, expected $want"
  [ "$win_status" = "$want" ] || fail "${row#*|}: Windows status $win_status, expected $want"
  if ! cmp -s host.out win.out; then
    fail "${row#*|}: standard output differs"
    diff <(od -c host.out) <(od -c win.out) | head -10
  fi
  if ! cmp -s host.err win.err.lf; then
    fail "${row#*|}: messages differ"
    diff host.err win.err.lf | head -6
  fi
  [ -s host.out ] || [ -s host.err ] || fail "${row#*|}: no output at all"
done
# Nothing wrote to the files the rows read.
cmp -s family.tev "$sample" || fail "family.tev was changed"
echo "${#rows[@]} rows, $failures failures"
[ "$failures" -eq 0 ]
