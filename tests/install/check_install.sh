#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One check of the installed program, in a fresh temporary prefix that
# `cmake --install` fills from the build folder:
#
#   check_install.sh CHECK BUILD_DIR SAMPLE_DB
#
#   files     the prefix holds exactly the expected files
#   man       man renders each manual page without a warning, with its
#             exit statuses and examples
#   desktop   desktop-file-validate accepts the menu entry
#   metainfo  appstreamcli accepts the AppStream metadata
#   mime      the MIME type file is well-formed XML and update-mime-database
#             takes it
#   xdg       with XDG_DATA_DIRS on the prefix, xdg-mime gives our type for a
#             .tev file and for a renamed copy (by its magic), not for other
#             files, and our menu entry as the type's default application
#
# A check whose tool is missing is skipped, exit status 77, with one line
# naming the Debian package that brings it.
set -euo pipefail
check="$1"
build="$2"
sample="$3"
id=io.github.kinscope.Kinscope
type=application/x-tev5-database

prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

need() {
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "SKIPPED: $1 is not installed (Debian package $2)"
    exit 77
  fi
}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
expect() {  # expect WHAT ACTUAL EXPECTED
  [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
  echo "ok: $1: $2"
}

cmake --install "$build" --prefix "$prefix" >/dev/null

case "$check" in
  files)
    actual="$(cd "$prefix" && find . -mindepth 1 -not -type d | sed 's|^\./||' | LC_ALL=C sort)"
    expected="bin/kinscope
bin/kinscope-dump
share/applications/$id.desktop
share/bash-completion/completions/kinscope-dump
share/doc/kinscope/changelog.gz
share/doc/kinscope/copyright
share/icons/hicolor/scalable/apps/$id.svg
share/man/man1/kinscope-dump.1.gz
share/man/man1/kinscope.1.gz
share/metainfo/$id.metainfo.xml
share/mime/packages/kinscope.xml"
    [ "$actual" = "$expected" ] || fail "installed files differ:"$'\n'"$(diff <(echo "$expected") <(echo "$actual") || true)"
    [ -x "$prefix/bin/kinscope" ] || fail "bin/kinscope is not executable"
    [ -x "$prefix/bin/kinscope-dump" ] || fail "bin/kinscope-dump is not executable"
    echo "$actual"
    ;;
  man)
    need man man-db
    for program in kinscope kinscope-dump; do
      page="$prefix/share/man/man1/$program.1.gz"
      # As lintian renders a page: every warning of man and groff fails.
      text="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>"$prefix/warnings")" ||
        fail "man $program: exit status $?"
      [ ! -s "$prefix/warnings" ] || fail "man $program:"$'\n'"$(cat "$prefix/warnings")"
      for heading in NAME SYNOPSIS DESCRIPTION OPTIONS "Exit status:" EXAMPLES; do
        grep -q "^ *$heading" <<<"$text" || fail "man $program has no $heading:"$'\n'"$text"
      done
      # The page is the program's --help: the first word of each of its
      # indented lines (options, commands, statuses, examples) is there.
      while read -r word; do
        grep -qF -- "$word" <<<"$text" || fail "man $program lacks \"$word\" of its --help"
      done < <("$prefix/bin/$program" --help | sed -n 's/^  \([^ ]\{1,\}\).*/\1/p')
      echo "ok: man $program, $(wc -l <<<"$text") lines"
    done
    ;;
  desktop)
    need desktop-file-validate desktop-file-utils
    # Hints and warnings are printed with exit status 0: none may be printed.
    report="$(desktop-file-validate "$prefix/share/applications/$id.desktop" 2>&1)" ||
      fail "desktop-file-validate: $report"
    [ -z "$report" ] || fail "desktop-file-validate: $report"
    echo "ok: desktop-file-validate"
    ;;
  metainfo)
    need appstreamcli appstream
    report="$(appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" 2>&1)" ||
      fail "appstreamcli: $report"
    echo "$report"
    # Errors, warnings and infos fail; only pedantic hints may stand.
    ! grep -Eq '^[EWI]: ' <<<"$report" || fail "appstreamcli reports more than pedantic hints"
    grep -q '<project_license>GPL-3.0-or-later</project_license>' \
      "$prefix/share/metainfo/$id.metainfo.xml" || fail "the licence is not GPL-3.0-or-later"
    ;;
  mime)
    need xmllint libxml2-utils
    need update-mime-database shared-mime-info
    xmllint --noout "$prefix/share/mime/packages/kinscope.xml"
    XDG_DATA_DIRS="$prefix/share" update-mime-database "$prefix/share/mime"
    grep -qx "$type" "$prefix/share/mime/types" || fail "$type is not among the types"
    grep -q ":\*\.tev$" "$prefix/share/mime/globs" || fail "no *.tev glob"
    echo "ok: $type with its glob"
    ;;
  xdg)
    need update-mime-database shared-mime-info
    need update-desktop-database desktop-file-utils
    need xdg-mime xdg-utils
    # Without a desktop environment xdg-mime asks the mimetype command.
    need mimetype libfile-mimeinfo-perl
    XDG_DATA_DIRS="$prefix/share" update-mime-database "$prefix/share/mime"
    update-desktop-database "$prefix/share/applications"
    export XDG_DATA_DIRS="$prefix/share" XDG_DATA_HOME="$prefix/home"
    export XDG_CONFIG_HOME="$prefix/config" XDG_CONFIG_DIRS="$prefix/config-dirs"
    export XDG_CURRENT_DESKTOP=X-Generic PATH="$prefix/bin:$PATH"
    files="$prefix/files"
    mkdir "$files"
    cp "$sample" "$files/family.tev"
    cp "$sample" "$files/family-renamed"
    printf 'not a database, TEV\0 is not at offset 8\n' > "$files/other"
    expect "type of family.tev" "$(xdg-mime query filetype "$files/family.tev")" "$type"
    expect "type of a renamed copy" "$(xdg-mime query filetype "$files/family-renamed")" "$type"
    other="$(xdg-mime query filetype "$files/other")"
    [ "$other" != "$type" ] || fail "a file without the magic is taken for $type"
    echo "ok: type of another file: $other"
    expect "default application" "$(xdg-mime query default "$type")" "$id.desktop"
    ;;
  *)
    fail "unknown check $check"
    ;;
esac
