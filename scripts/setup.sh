# SPDX-License-Identifier: GPL-3.0-or-later
# Shared set-up of the run and test commands: installs the Debian packages
# the build needs when any is missing, then configures and builds into the
# folder given as the first argument, with any further CMake arguments.
# Runs on its own too: bash scripts/setup.sh BUILD_DIR [CMAKE ARGS...]
# SETUP_EXTRA_PACKAGES names further packages (the clang of the sanitizer
# and fuzz builds);
# SETUP_TARGETS limits the build to those targets, SETUP_JOBS sets its jobs.
set -euo pipefail
setup_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(cmake make g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libgtest-dev
          libcli11-dev nlohmann-json3-dev
          # the layout check of the C++ sources
          clang-format
          # the genealogy program that the GEDCOM export test imports into, and
          # the Perl GEDCOM module whose 5.5.1 grammar checks every export
          gramps libgedcom-perl
          fonts-dejavu-core fonts-liberation
          # the benchmarks, built by every build and run by scripts/bench
          libbenchmark-dev
          # the manual pages made from --help, and their reader
          help2man man-db
          # the shell the completion of kinscope-dump is tested in
          bash-completion
          # the validators of the installed files and the Debian package's tools
          desktop-file-utils appstream libxml2-utils shared-mime-info xdg-utils
          libfile-mimeinfo-perl dpkg-dev file lintian)
# shellcheck disable=SC2206
packages+=(${SETUP_EXTRA_PACKAGES:-})

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_dir="$1"
shift
# A developer's machine with ccache reuses what it compiled before; CI builds
# afresh.
launcher=()
if [ -z "${CI:-}" ] && command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$setup_root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
# shellcheck disable=SC2206
targets=(${SETUP_TARGETS:+--target $SETUP_TARGETS})
cmake --build "$build_dir" -j"${SETUP_JOBS:-2}" "${targets[@]}"
