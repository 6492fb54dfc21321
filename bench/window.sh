#!/usr/bin/env bash
# Builds the window benchmark (Release, benchmarks on, as compare.sh does)
# and runs it: explorer repaint, drill-down into 100,000 files, GUI stalls
# while scanning and window memory, each against its limit.
#
# usage: bench/window.sh [--build-dir DIR] [--no-build] [--only N] [TREE]
#
#   TREE           the tree target 3 scans (default /tmp/quillane-bench-tree,
#                  made with quillane-treegen, 1,000,000 entries, if missing)
#   --only N       run only target N (3 and 4 share one scan)
#   --build-dir D  CMake build directory (default build/release)
#   --no-build     use the binaries already in the build directory
#
# Exits with the benchmark's status: 0 all pass, 1 a target failed, 2 error.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=build/release
build=1
args=()

die() { echo "window.sh: $*" >&2; exit 2; }

while (($#)); do
  case $1 in
    --build-dir) (($# >= 2)) || die "--build-dir needs a value"; build_dir=$2; shift 2 ;;
    --no-build) build=0; shift ;;
    --only) (($# >= 2)) || die "--only needs a value"; args+=(--only "$2"); shift 2 ;;
    -h|--help) sed -n '2,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) die "unknown option $1" ;;
    *) args+=("$1"); shift ;;
  esac
done

cd "$repo"
[[ $build_dir = /* ]] || build_dir=$repo/$build_dir

if ((build)); then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLANE_BUILD_BENCH=ON >/dev/null
  # The generator comes along so a missing default tree can be made.
  cmake --build "$build_dir" --target quillane-bench-window quillane-treegen
fi
bench_bin=$build_dir/bench/quillane-bench-window
[[ -x $bench_bin ]] || die "$bench_bin is missing; build first"
exec "$bench_bin" "${args[@]}"
