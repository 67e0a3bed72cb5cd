#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from the build folder into a temporary folder
# and checks what it holds and what it says about itself, and that lintian
# reports no error and no warning on it:
#
#   check_package.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"
id=io.github.kinscope.Kinscope

for tool in dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev file:file lintian:lintian; do
  if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
    echo "SKIPPED: ${tool%%:*} is not installed (Debian package ${tool##*:})"
    exit 77
  fi
done
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$out/cpack.log")"
debs=("$out"/kinscope_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single kinscope_*.deb in $(ls "$out")"
deb="${debs[0]}"
echo "package: $(basename "$deb")"

contents="$(dpkg-deb -c "$deb")"
for file in ./usr/bin/kinscope ./usr/bin/kinscope-dump ./usr/share/applications/$id.desktop \
            ./usr/share/mime/packages/kinscope.xml \
            ./usr/share/icons/hicolor/scalable/apps/$id.svg \
            ./usr/share/metainfo/$id.metainfo.xml ./usr/share/doc/kinscope/copyright \
            ./usr/share/doc/kinscope/changelog.gz ./usr/share/man/man1/kinscope.1.gz \
            ./usr/share/man/man1/kinscope-dump.1.gz \
            ./usr/share/bash-completion/completions/kinscope-dump; do
  grep -q " $file\$" <<<"$contents" || fail "$file is not in the package:"$'\n'"$contents"
  echo "holds: $file"
done
grep -q '^-rwxr-xr-x .* ./usr/bin/kinscope$' <<<"$contents" || fail "usr/bin/kinscope is not executable"

copyright="$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/kinscope/copyright)"
grep -qx 'License: GPL-3.0-or-later' <<<"$copyright" || fail "the copyright file does not give GPL-3.0-or-later"

field() {
  dpkg-deb -f "$deb" "$1"
}
[ "$(field Package)" = kinscope ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends="$(field Depends)"
echo "Depends: $depends"
grep -Eq '(^|, )libqt6widgets6( |,|$)' <<<"$depends" || fail "Depends does not name libqt6widgets6"
grep -Eq '(^|, )libqt6svg6( |,|$)' <<<"$depends" || fail "Depends does not name libqt6svg6"

# lintian's tags, informational ones included: any error or warning fails,
# whatever its exit status says; a status above 1 is lintian failing to run.
status=0
report="$(lintian --display-info --tag-display-limit 0 "$deb" 2>&1)" || status=$?
echo "lintian (exit status $status):"
echo "${report:-  nothing to report}"
[ "$status" -le 1 ] || fail "lintian could not check the package"
! grep -Eq '^[EW]: ' <<<"$report" || fail "lintian reports errors or warnings"
