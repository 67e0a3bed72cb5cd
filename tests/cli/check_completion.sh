#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The bash completion of kinscope-dump against the program's own --help:
# it offers every command the help lists and no other, each command's
# options and the program's, .tev files for FILE and any file after -o.
#
#   check_completion.sh KINSCOPE_DUMP COMPLETION_FILE
set -euo pipefail
dump="$1"
completion="$2"
helpers=/usr/share/bash-completion/bash_completion
if [ ! -f "$helpers" ]; then
  echo "SKIPPED: $helpers is missing (Debian package bash-completion)"
  exit 77
fi
# shellcheck disable=SC1090
source "$helpers"
# shellcheck disable=SC1090
source "$completion"
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# What the completion offers for the command line WORDS, the cursor at the
# end of the last word.
offers() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _kinscope_dump kinscope-dump "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort
}

help="$("$dump" --help)"
section() {  # the lines of the help's section $1, up to the next blank line
  awk -v head="$1:" '$0 == head { on = 1; next } on && /^$/ { exit } on' <<<"$help"
}
commands="$(section Subcommands | sed -n 's/^  \([a-z][a-z]*\).*/\1/p' | sort)"
[ "$(wc -l <<<"$commands")" -ge 6 ] || fail "the help lists too few commands:"$'\n'"$help"
[ "$(offers kinscope-dump family.tev "")" = "$commands" ] ||
  fail "the commands offered are"$'\n'"$(offers kinscope-dump family.tev "")"$'\n'"the help lists"$'\n'"$commands"
echo "ok: the commands: $(tr '\n' ' ' <<<"$commands")"

# Each command's options as its usage line shows them ("[--json]", "[-o FILE]"),
# and the program's as its Options lines do ("-h,--help": the long one).
while read -r command; do
  usage="$(section Subcommands | grep -E "^  $command( |$)")"
  wanted="$(grep -oE '\[-[-a-z]+' <<<"$usage" | tr -d '[' || true)"
  got="$(offers kinscope-dump family.tev "$command" -)"
  for option in $wanted --help; do
    grep -qx -- "$option" <<<"$got" || fail "$command: $option is not offered (offered: $(tr '\n' ' ' <<<"$got"))"
  done
  echo "ok: $command $(tr '\n' ' ' <<<"$wanted")"
done <<<"$commands"
got="$(offers kinscope-dump -)"
for option in $(section Options | sed -n 's/^  \(-[^ ]*\).*/\1/p' | sed 's/.*,//'); do
  grep -qx -- "$option" <<<"$got" || fail "the program's $option is not offered"
done
echo "ok: the program's options"

# FILE: .tev files and folders; after -o, any file.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir folder
touch family.tev FAMILY2.TEV notes.txt
[ "$(offers kinscope-dump "")" = $'FAMILY2.TEV\nfamily.tev\nfolder' ] ||
  fail "FILE offers"$'\n'"$(offers kinscope-dump "")"
[ "$(offers kinscope-dump family.tev gedcom -o "")" = $'FAMILY2.TEV\nfamily.tev\nfolder\nnotes.txt' ] ||
  fail "-o offers"$'\n'"$(offers kinscope-dump family.tev gedcom -o "")"
echo "ok: file names"
