#!/usr/bin/env bash
# Builds quillane-bench-caches (Release, in build/bench-caches) and runs it:
# the developer and creator cache scanners together against du -s over the
# same folders, in a generated home folder of 200,000 cache files.
#
# usage: bench/caches.sh [--projects] [--home DIR] [--runs N]
#
# --projects times the project artefact walk over a home of 500,000
# entries instead (limit 2 s).
#
# Arguments go to quillane-bench-caches. The home folder (default
# /tmp/quillane-bench-caches-home) is generated on the first run and reused.
# Exits with the benchmark's status: 0 within the limit, 1 over it.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$repo/build/bench-caches

cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQUILLANE_BUILD_TESTS=OFF -DQUILLANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build_dir" --target quillane-bench-caches >&2
exec "$build_dir/bench/quillane-bench-caches" "$@"
