#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# kinscope-dump's progress line on a terminal, a pseudo-terminal that
# script(1) makes: drawn only where it belongs, always going forwards, wiped
# over its whole width, and leaving every byte of the output as it is
# without a terminal.
#
#   check_progress.sh KINSCOPE_DUMP SAMPLE_DB
set -euo pipefail
dump="$1"
sample="$2"
if ! command -v script >/dev/null 2>&1; then
  echo "SKIPPED: script is not installed (Debian package bsdutils)"
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$sample" "$work/family.tev"
cd "$work"
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# Each row: the words after FILE, with any redirection, and the work the
# line names; empty where no line may be drawn.
rows=(
  "check|checking"
  "check --json|checking"
  "check --no-progress|"
  "--no-progress check|"
  "check 2>err.txt|"
  "index|"
  "index >out.txt|reading the index"
  "index --json >out.txt|reading the index"
  "index --no-progress >out.txt|"
  "find Whit >out.txt|"
  "find witkam|searching"
  "find witkam --like --json|"
  "find witkam --like --json >out.txt|searching"
  "find witkam --like --no-progress|"
  "header|"
  "gedcom|"
  "gedcom >out.txt|exporting"
  "gedcom -o out.txt|exporting"
)
for row in "${rows[@]}"; do
  args="${row%|*}"
  name="${row#*|}"
  # Without a terminal: what the command writes, and its output file.
  rm -f out.txt err.txt
  bash -c "'$dump' family.tev $args" >plain.txt 2>&1 </dev/null || fail "$args: exit status $?"
  touch out.txt
  sed '/^1 DATE /d' out.txt >plain-out.txt
  # On the terminal: standard error, and standard output unless redirected.
  rm -f out.txt err.txt
  script -qefc "'$dump' family.tev $args" /dev/null </dev/null >tty.raw ||
    fail "$args: exit status $? on a terminal"
  touch out.txt err.txt
  [ ! -s err.txt ] || fail "$args: standard error in a file holds: $(cat err.txt)"
  cmp -s out.txt plain-out.txt || sed '/^1 DATE /d' out.txt | cmp -s - plain-out.txt ||
    fail "$args: the output file differs on a terminal"
  # The terminal ends its lines with \r\n; every other \r is the progress
  # line's: it draws "kinscope-dump: WORK, N%" and wipes it with blanks.
  sed 's/\r$//' tty.raw | awk -v name="$name" '
    BEGIN { RS = "\r"; ORS = ""; last = -1; widest = 0; wiped = 1; fault = "" }
    /^kinscope-dump: [a-z ]+, [0-9]+% *$/ {
      if (name == "") { fault = "a progress line where none belongs: " $0; exit }
      line = $0; sub(/ +$/, "", line)
      if (index(line, "kinscope-dump: " name ", ") != 1) { fault = "not the line of " name ": " line; exit }
      percent = substr(line, length("kinscope-dump: " name ", ") + 1) + 0
      if (percent < last || percent > 100) { fault = "the percent goes from " last " to " percent; exit }
      last = percent; wiped = 0
      if (length(line) > widest) widest = length(line)
      next
    }
    /^ +$/ {
      if (length($0) < widest) { fault = "a wipe of " length($0) " blanks over a line of " widest; exit }
      wiped = 1; next
    }
    { if (!wiped) { fault = "output after an unwiped line: " $0; exit }; print > "rest.txt" }
    END {
      if (fault == "" && name != "" && last < 0) fault = "no progress line"
      if (fault == "" && !wiped) fault = "the last line is not wiped"
      if (fault != "") { print fault "\n" > "/dev/stderr"; exit 1 }
    }' || fail "$args: on the terminal: $(od -c tty.raw | head -20)"
  touch rest.txt
  cmp -s rest.txt plain.txt || fail "$args: the terminal shows"$'\n'"$(cat rest.txt)"$'\n'"instead of"$'\n'"$(cat plain.txt)"
  rm -f rest.txt
  echo "ok: $args${name:+ (}$name${name:+)}"
done
