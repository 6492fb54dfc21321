#!/usr/bin/env bash
# Build Quillane (Release) and run it.
#
#   scripts/run.sh [PATH] [scan options...]
#
# Installs the Debian packages the build needs if any are missing and builds
# into build/release. Then:
#   - with a display (DISPLAY or WAYLAND_DISPLAY set) and no scan options, it
#     opens the explorer window; with PATH, the window starts scanning it;
#   - otherwise it runs `quillane scan PATH` in the terminal (PATH defaults to
#     your home folder), passing everything after PATH on, e.g.
#       scripts/run.sh /usr --top 20 --json /tmp/usr.json
# Set QUILLANE_HEADLESS=1 to get the terminal scan even with a display.
# Relative paths are taken from the directory you call the script from.
#
# Build and install messages go to stderr, so `--json -` gives clean JSON on
# stdout.
set -euo pipefail

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config nlohmann-json3-dev uuid-dev libgtest-dev libbenchmark-dev qt6-base-dev qt6-svg-dev fonts-dejavu-core
  # reading compressed scan exports
  zlib1g-dev libzstd-dev
  # the window's translations (lupdate, lrelease) and Qt's own, for dialog buttons
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
  # the window on Wayland desktops without X compatibility
  qt6-wayland)

# Keep the caller's stdout for quillane itself; the setup talks on stderr.
exec 3>&1 1>&2

caller_dir=$PWD
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

# shellcheck source=scripts/packages.sh
source "$repo_root/scripts/packages.sh"

install_missing run.sh "${BUILD_PACKAGES[@]}"

build_dir=build/release
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DQUILLANE_BUILD_TESTS=OFF \
  -DQUILLANE_BUILD_BENCH=OFF \
  -DQUILLANE_BUILD_FUZZ=OFF \
  -DQUILLANE_SANITIZE=
cmake --build "$build_dir" -j2

quillane=$repo_root/$build_dir/TarnwickApp/quillane

cd "$caller_dir"

# The window, when there is somewhere to show it and no scan option asks for
# the terminal output.
if [[ -z ${QUILLANE_HEADLESS:-} && ( -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ) && $# -le 1 && ${1:-} != -* ]]; then
  exec "$quillane" window "$@" 1>&3 3>&-
fi

# No PATH given (nothing, or options only): scan the home folder.
if [[ $# -eq 0 || $1 == -* ]]; then
  set -- "${HOME:?HOME is not set; pass a PATH}" "$@"
fi
exec "$quillane" scan "$@" 1>&3 3>&-
