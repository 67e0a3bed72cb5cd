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
qt_headers=$(find src/app src/seams src/records -name '*.h' -printf '%f\n'
             for form in src/fields/*.ui; do echo "$(basename "${form%.ui}").h"; done)

files=()
while IFS= read -r f; do
  [ -e "${f%.*}.ui" ] && continue  # a window of the fields: Qt on purpose
  files+=("$f")
done < <(find src/db src/fields src/reorder src/gedcom src/cli src/trace -type f \
           \( -name '*.cpp' -o -name '*.h' \) | sort)

# One pass over every file: the includes, then the calls in the code with its
# comments, string literals and includes taken out.
failures=$(QT_HEADERS="$qt_headers" perl -e '
  my %qt = map { $_ => 1 } split /\n/, $ENV{QT_HEADERS};
  for my $f (@ARGV) {
    open my $in, "<", $f or die "$f: $!";
    my $text = do { local $/; <$in> };
    # Block comments go, their line breaks kept so that lines keep their numbers.
    $text =~ s{/\*(.*?)\*/}{ "\n" x (() = $1 =~ /\n/g) }gse;
    my $n = 0;
    for my $line (split /\n/, $text, -1) {
      ++$n;
      if ($line =~ /^\s*#\s*include\s*[<"]([^>"]+)[>"]/) {
        my $name = $1;
        (my $base = $name) =~ s{.*/}{};
        print "$f: includes <$name>\n"
          if $name =~ m{^Q[A-Za-z]*(/|$)} || $name =~ /^Qt/ || $name =~ /^ui_/ || $qt{$base};
        next;
      }
      $line =~ s{//.*$}{};
      $line =~ s{"(\\.|[^"\\])*"}{""}g;
      print "$f:$n: calls $1\n"
        while $line =~ /(?:^|[^.>\w])((?:std::)?(?:_?exit|_Exit|quick_exit|abort)\s*\()/g;
    }
  }' "${files[@]}")

if [ -n "$failures" ]; then
  echo "FAILED: a layer below the windows uses Qt or ends the process:"
  sed 's/^/  /' <<<"$failures"
  exit 1
fi
echo "ok: ${#files[@]} files of the Qt-free layers use no Qt and leave the process alone"
