#!/usr/bin/env bash
# Wall time, CPU time and peak memory of a quillane scan against du, gdu,
# ncdu and the syscall floor (quillane-floor at 8 and at 32 threads), on
# warm caches or, with --cold, on caches dropped before every run.
#
# usage: bench/compare.sh [--cold] [--rounds N] [--tools LIST] [--build-dir DIR] [--no-build] [TREE...]
#
#   TREE...        directories to scan (default: /usr and a generated tree of
#                  QUILLANE_BENCH_ENTRIES entries, default 1,000,000, at
#                  ${QUILLANE_BENCH_TREE:-/tmp/quillane-bench-tree})
#   --rounds N     measured runs per tool and tree (default 5); the order of
#                  the tools rotates every round so no tool always runs first
#   --cold         drop the page, dentry and inode caches before every
#                  measured run (echo 3 > /proc/sys/vm/drop_caches: root only)
#   --tools LIST   comma-separated subset of quillane,du,gdu,ncdu,floor,floor32
#   --build-dir D  CMake build directory (default build/release)
#   --no-build     use the binaries already in the build directory
#
# Warm runs: each tree is warmed once with du before its measured rounds.
# Memory is shown as peak RSS and as bytes per entry of the tree (entries
# counted once with find, the root included). A tool that
# is missing (after trying to install it) is skipped with a message. The
# script exits non-zero only for its own failures, not for missed targets.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=5
tools_arg=quillane,du,gdu,ncdu,floor,floor32
cold=0
build_dir=build/release
build=1
trees=()

die() { echo "compare.sh: $*" >&2; exit 2; }
note() { echo "compare.sh: $*" >&2; }

while (($#)); do
  case $1 in
    --rounds) (($# >= 2)) || die "--rounds needs a value"; rounds=$2; shift 2 ;;
    --tools) (($# >= 2)) || die "--tools needs a value"; tools_arg=$2; shift 2 ;;
    --build-dir) (($# >= 2)) || die "--build-dir needs a value"; build_dir=$2; shift 2 ;;
    --no-build) build=0; shift ;;
    --cold) cold=1; shift ;;
    -h|--help) sed -n '2,24p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) die "unknown option $1" ;;
    *) trees+=("$1"); shift ;;
  esac
done
[[ $rounds =~ ^[1-9][0-9]*$ ]] || die "--rounds must be a positive integer"
IFS=, read -r -a tools <<<"$tools_arg"
for t in "${tools[@]}"; do
  case $t in quillane|du|gdu|ncdu|floor|floor32) ;; *) die "unknown tool '$t' (known: quillane,du,gdu,ncdu,floor,floor32)" ;; esac
done
if ((cold)) && ((EUID != 0)); then
  die "--cold drops the kernel's caches before every run (echo 3 > /proc/sys/vm/drop_caches), which needs root"
fi
# Cold runs start from nothing cached: written-back pages, then the page,
# dentry and inode caches dropped.
drop_caches() { sync; echo 3 >/proc/sys/vm/drop_caches; }
wants() { local t; for t in "${tools[@]}"; do [[ $t == "$1" ]] && return 0; done; return 1; }

cd "$repo"
[[ $build_dir = /* ]] || build_dir=$repo/$build_dir

# --- Packages -----------------------------------------------------------------

apt_install() {
  local runner=()
  if ((EUID != 0)); then
    command -v sudo >/dev/null || { note "cannot install $* (not root, no sudo)"; return 1; }
    runner=(sudo)
  fi
  command -v apt-get >/dev/null || { note "cannot install $* (no apt-get)"; return 1; }
  note "installing $*"
  "${runner[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >/dev/null 2>&1 && return 0
  "${runner[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null 2>&1 || true
  "${runner[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >/dev/null 2>&1
}

[[ -x /usr/bin/time ]] || apt_install time || true
[[ -x /usr/bin/time ]] || die "/usr/bin/time is required (package 'time')"
for t in gdu ncdu; do
  if wants "$t" && ! command -v "$t" >/dev/null; then
    apt_install "$t" || note "could not install $t"
  fi
done

# --- Build --------------------------------------------------------------------

if ((build)); then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLANE_BUILD_BENCH=ON >/dev/null
  if ! cmake --build "$build_dir"; then
    # The helpers do not depend on the rest of the tree; keep going with them.
    note "full build failed; building only the benchmark helpers"
    cmake --build "$build_dir" --target quillane-treegen quillane-floor
  fi
fi
quillane_bin=$build_dir/TarnwickApp/quillane
floor_bin=$build_dir/bench/quillane-floor
probe_bin=$build_dir/bench/quillane-scan-probe
treegen_bin=$build_dir/bench/quillane-treegen

# --- Trees --------------------------------------------------------------------

if ((${#trees[@]} == 0)); then
  generated=${QUILLANE_BENCH_TREE:-/tmp/quillane-bench-tree}
  [[ -x $treegen_bin ]] || die "$treegen_bin is missing; build first"
  "$treegen_bin" "$generated" --entries "${QUILLANE_BENCH_ENTRIES:-1000000}"
  trees=(/usr "$generated")
fi
for tree in "${trees[@]}"; do [[ -d $tree ]] || die "$tree is not a directory"; done

# --- Tools --------------------------------------------------------------------

# The command that scans $1 with tool $2, as one array in `cmd`.
command_for() {
  local tree=$1
  case $2 in
    # As users run it: 8 walkers, more while they wait on the disk.
    quillane) cmd=("$quillane_bin" scan --quiet "$tree") ;;
    du) cmd=(du -s "$tree") ;;
    # Non-interactive, no progress, total only.
    gdu) cmd=(gdu -n -p -s "$tree") ;;
    # No UI at all (-0), export to /dev/null so nothing is browsed.
    ncdu) cmd=(ncdu -0 -o /dev/null "$tree") ;;
    floor) cmd=("$floor_bin" --threads 8 "$tree") ;;
    floor32) cmd=("$floor_bin" --threads 32 "$tree") ;;
  esac
}

available=()
for t in "${tools[@]}"; do
  case $t in
    quillane) [[ -x $quillane_bin ]] || { note "skipping quillane: $quillane_bin is not built yet"; continue; } ;;
    floor|floor32) [[ -x $floor_bin ]] || { note "skipping $t: $floor_bin is not built"; continue; } ;;
    *) command -v "$t" >/dev/null || { note "skipping $t: not installed"; continue; } ;;
  esac
  available+=("$t")
done
((${#available[@]})) || die "no tool to run"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Median of the numbers on stdin (mean of the middle two for an even count).
median() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "nan"; exit }
    if (NR % 2) printf "%.3f\n", v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b + 0 == 0) print "n/a"; else printf "%.2f\n", a / b }'; }
# "PASS"/"FAIL" for a <= factor * b, "n/a" when either side is missing.
check() {
  awk -v a="$1" -v f="$2" -v b="$3" 'BEGIN {
    if (a == "" || b == "") print "n/a"; else if (a + 0 <= f * b) print "PASS"; else print "FAIL" }'
}

for tree in "${trees[@]}"; do
  echo
  entries=$(find "$tree" 2>/dev/null | wc -l)
  echo "== $tree ($entries entries, $( ((cold)) && echo cold || echo warm) caches)"
  ((cold)) || du -s "$tree" >/dev/null 2>&1 || true # warm the dentry and inode caches

  declare -A walls=() cpus=() rsss=() broken=()
  count=${#available[@]}
  for ((round = 0; round < rounds; round++)); do
    for ((k = 0; k < count; k++)); do
      tool=${available[(round + k) % count]}
      [[ -n ${broken[$tool]:-} ]] && continue
      command_for "$tree" "$tool"
      status=0
      ((cold)) && drop_caches
      /usr/bin/time -f '%e %U %S %M' -o "$scratch/time" "${cmd[@]}" >"$scratch/out.$tool" 2>"$scratch/err.$tool" || status=$?
      if ((status != 0)) && [[ $tool != du && $tool != floor* ]]; then
        # du and the floor exit 1 after unreadable entries but still measured
        # the whole walk; anything else failing did not.
        note "$tool failed on $tree (exit $status); dropping it for this tree:"
        sed 's/^/    /' "$scratch/err.$tool" | head -5 >&2
        broken[$tool]=1
        continue
      fi
      ((status == 0)) || note "$tool exited $status on $tree (unreadable entries?)"
      read -r wall user sys rss < <(tail -n 1 "$scratch/time")
      walls[$tool]+="$wall "
      cpus[$tool]+="$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }') "
      rsss[$tool]+="$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }') "
    done
  done

  declare -A mwall=() mcpu=() mrss=()
  for tool in "${available[@]}"; do
    [[ -n ${walls[$tool]:-} ]] || continue
    mwall[$tool]=$(tr ' ' '\n' <<<"${walls[$tool]}" | grep . | median)
    mcpu[$tool]=$(tr ' ' '\n' <<<"${cpus[$tool]}" | grep . | median)
    mrss[$tool]=$(tr ' ' '\n' <<<"${rsss[$tool]}" | grep . | median)
  done

  qw=${mwall[quillane]:-}
  qr=${mrss[quillane]:-}
  [[ -n $qw ]] || note "no quillane result for $tree: ratios and targets show n/a"
  printf '%-9s %12s %11s %14s %12s %12s %11s\n' tool "wall s" "CPU s" "peak RSS MiB" "B/entry" "wall ratio" "RSS ratio"
  for tool in "${available[@]}"; do
    [[ -n ${mwall[$tool]:-} ]] || { printf '%-9s %12s\n' "$tool" "failed"; continue; }
    per_entry=$(awk -v m="${mrss[$tool]}" -v n="$entries" 'BEGIN { if (n > 0) printf "%.0f", m * 1048576 / n; else print "n/a" }')
    printf '%-9s %12s %11s %14s %12s %12s %11s\n' "$tool" "${mwall[$tool]}" "${mcpu[$tool]}" "${mrss[$tool]}" \
      "$per_entry" "$(ratio "${mwall[$tool]}" "$qw")" "$(ratio "${mrss[$tool]}" "$qr")"
  done
  # The floor is the faster of its two thread counts.
  best_floor=$(printf '%s\n' ${mwall[floor]:-} ${mwall[floor32]:-} | sort -g | head -n 1)
  [[ -s $scratch/out.floor ]] && echo "floor says: $(head -n 1 "$scratch/out.floor")"
  [[ -s $scratch/out.du ]] && echo "du says:    $(head -n 1 "$scratch/out.du") (KiB, directories included)"

  echo "targets (quillane vs others, medians):"
  if ((cold)); then
    printf '  wall <= 1.15 x floor (best of 8 and 32 threads)  %s\n' "$(check "$qw" 1.15 "$best_floor")"
    printf '  wall <= 0.40 x gdu                               %s\n' "$(check "$qw" 0.40 "${mwall[gdu]:-}")"
  else
    printf '  wall <= 1.10 x floor (best of 8 and 32 threads)  %s\n' "$(check "$qw" 1.10 "$best_floor")"
    printf '  wall <= 0.50 x gdu                               %s\n' "$(check "$qw" 0.50 "${mwall[gdu]:-}")"
    printf '  wall <= 0.75 x du                                %s\n' "$(check "$qw" 0.75 "${mwall[du]:-}")"
  fi
  printf '  RSS  <= 0.20 x gdu                               %s\n' "$(check "$qr" 0.20 "${mrss[gdu]:-}")"
  limit_mib=$(awk -v n="$entries" 'BEGIN { printf "%.3f", 80 * n / 1048576 }')
  printf '  RSS  <= 80 B/entry                               %s\n' "$(check "$qr" 1 "$limit_mib")"
  if wants quillane && [[ -x $probe_bin ]]; then
    echo "probe (frozen tree size and cancellation latency; targets: <= 80 bytes/node on /usr, <= 100 ms):"
    "$probe_bin" "$tree" --concurrency 8 | sed 's/^/  /'
  fi
  unset walls cpus rsss broken mwall mcpu mrss best_floor
done
