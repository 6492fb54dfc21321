#!/usr/bin/env bash
# Build the Debian package of Quillane.
#
#   scripts/package.sh [BUILD_DIR]
#
# Builds Release in BUILD_DIR (default build/package; a BUILD_DIR that is
# already configured is reused as it is, and must be a Release build), then
# runs `cpack -G DEB` there. The package lands in BUILD_DIR/packages as
# quillane_<version>_<arch>.deb; its path is the only line on stdout.
# Installs the Debian packages the build needs if any are missing.
set -euo pipefail

PACKAGES=(cmake ninja-build g++ pkg-config nlohmann-json3-dev uuid-dev qt6-base-dev qt6-svg-dev
  # compressed scan exports
  zlib1g-dev libzstd-dev
  # the window's translations: lupdate and lrelease
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  # cpack's Depends: line comes from dpkg-shlibdeps, which reads what `file` finds to be ELF
  dpkg-dev file)

# The package path is the result: everything else talks on stderr.
exec 3>&1 1>&2

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(realpath -m "${1:-$repo_root/build/package}")
cd "$repo_root"

# shellcheck source=scripts/packages.sh
source "$repo_root/scripts/packages.sh"
install_missing package.sh "${PACKAGES[@]}"

if [[ -f $build_dir/CMakeCache.txt ]]; then
  build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
  if [[ $build_type != Release ]]; then
    echo "package.sh: $build_dir is a '${build_type:-no type}' build; the package is built from Release" >&2
    exit 2
  fi
else
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLANE_BUILD_TESTS=OFF
fi
cmake --build "$build_dir" -j2

out=$build_dir/packages
rm -f "$out"/quillane_*.deb
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$out"
debs=("$out"/quillane_*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f ${debs[0]} ]]; then
  echo "package.sh: cpack did not leave exactly one quillane_*.deb in $out" >&2
  exit 1
fi
echo "${debs[0]}" >&3
