#!/usr/bin/env bash
# Build and test Quillane in four configurations, and its Debian package.
#
#   scripts/test.sh [STAGE...]      STAGE: gcc, release, package, asan, tsan (default: all)
#
#   gcc      Debug build with g++ in build/test (benchmarks included, so they
#            keep compiling); every test through ctest.
#   release  Release build with g++ in build/release-test with the options a
#            packager gets by default; every test through ctest.
#   package  (root only; skipped otherwise) the Debian package from the
#            release build (scripts/package.sh build/release-test): lintian
#            (an error fails), then installed with apt-get, used (--version,
#            scan, man page, desktop entry and metainfo validated), purged,
#            and nothing of it may be left behind.
#   asan     clang++ build with AddressSanitizer + UndefinedBehaviorSanitizer
#            in build/asan; every test through ctest, then each libFuzzer
#            target for 30 seconds on a temporary copy of its seed corpus.
#   tsan     clang++ build with ThreadSanitizer in build/tsan; the test suites
#            of the concurrent parts through ctest.
#
# Every stage treats compiler warnings as errors (QUILLANE_WERROR). Installs
# the Debian packages it needs if any are missing. Stops at the first failing
# stage and exits non-zero.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

PACKAGES=(
  # build
  cmake ninja-build g++ pkg-config nlohmann-json3-dev uuid-dev libgtest-dev libbenchmark-dev qt6-base-dev qt6-svg-dev fonts-dejavu-core
  zlib1g-dev libzstd-dev  # compressed scan exports
  # the window's translations (lupdate, lrelease) and Qt's own, for dialog buttons
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
  # sanitizer and fuzzer builds; llvm-14 brings llvm-symbolizer for readable reports
  clang libclang-rt-14-dev llvm-14
  # read back the JSON export / walk test trees
  ncdu gdu findutils trash-cli
  # validate the installed desktop entry, metainfo and manual page
  desktop-file-utils appstream groff-base
  # compress exports for the import tests
  gzip zstd
  # the cache catalogue is compared with its cache cleaners' preview
  bleachbit
)
JOBS=2
FUZZ_SECONDS=30
# libFuzzer targets (tests/fuzz/NAMEFuzzer.cpp), each with its seed corpus in
# tests/fuzz/corpus/NAME.
FUZZERS=(AttributeRecordDecoder MountTable TrashInfoText NcduExportReader ScanSnapshotReader)
# Test suites (gtest suite name prefixes) that exercise the concurrent code.
CONCURRENT_SUITES='FastBulkScanner|RemovalQuarantine|WalkerPool|ShardedHardlinkDeduplicator|ThrottledProgressEmitter|ScanWorkQueue|SafeCleaningEngine|TarnwickAppCoordinator|CacheCleanup|CacheCatalogue|ChangeColouring|TrashController|SystemCachesPanel|ScanImport|ScanCommandInterrupt'
SYMBOLIZER=/usr/lib/llvm-14/bin/llvm-symbolizer
# Sanitizer builds: Debug (assertions stay on) at -O1, as the sanitizers advise.
SANITIZER_OPT_FLAGS="-O1 -g"

usage() {
  sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "${BASH_SOURCE[0]}"
}

# --- arguments ---------------------------------------------------------------
stages=()
for argument in "$@"; do
  case $argument in
    gcc | release | package | asan | tsan) stages+=("$argument") ;;
    -h | --help) usage; exit 0 ;;
    *) echo "test.sh: unknown stage '$argument' (expected gcc, release, package, asan or tsan)" >&2; exit 2 ;;
  esac
done
[[ ${#stages[@]} -gt 0 ]] || stages=(gcc release package asan tsan)

# --- bookkeeping: stage headers, timings, cleanup ----------------------------
current_stage=
stage_started=0
run_started=$SECONDS
timings=()
temp_dirs=()
# The Debian package the package stage installed, purged again if the stage
# stops before it removes it itself.
installed_package=

print_timings() {
  echo
  echo "==> Stage timings"
  if [[ ${#timings[@]} -gt 0 ]]; then printf '    %s\n' "${timings[@]}"; fi
  printf '    %-7s %ds\n' total $((SECONDS - run_started))
}

on_exit() {
  local status=$?
  if [[ ${#temp_dirs[@]} -gt 0 ]]; then rm -rf "${temp_dirs[@]}"; fi
  if [[ -n $installed_package ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y "$installed_package" >/dev/null 2>&1 || true
  fi
  if [[ $status -ne 0 ]]; then
    if [[ -n $current_stage ]]; then
      timings+=("$(printf '%-7s FAILED after %ds' "$current_stage" $((SECONDS - stage_started)))")
    fi
    if [[ ${#timings[@]} -gt 0 ]]; then print_timings; fi
    echo "test.sh: FAILED${current_stage:+ in stage $current_stage} (exit $status)"
  fi
}
trap on_exit EXIT

begin_stage() {
  current_stage=$1
  stage_started=$SECONDS
  echo
  echo "=============================================================================="
  echo "==> [$1] $2"
  echo "=============================================================================="
}

end_stage() {
  timings+=("$(printf '%-7s %ds' "$current_stage" $((SECONDS - stage_started)))")
  current_stage=
}

step() { echo; echo "--> $*"; }

# --- packages ----------------------------------------------------------------
# shellcheck source=scripts/packages.sh
source "$repo_root/scripts/packages.sh"

# --- helpers -----------------------------------------------------------------
# configure_and_build DIR COMPILER BUILD_TYPE [CMAKE ARGS...]: with tests,
# warnings as errors.
configure_and_build() {
  local dir=$1 compiler=$2 build_type=$3
  shift 3
  step "configure $dir ($compiler, $build_type)"
  cmake -S . -B "$dir" -G Ninja \
    -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_BUILD_TYPE="$build_type" \
    -DQUILLANE_BUILD_TESTS=ON \
    -DQUILLANE_WERROR=ON \
    "$@"
  step "build $dir"
  "${no_aslr[@]}" cmake --build "$dir" -j "$JOBS"
}

# run_ctest DIR [CTEST ARGS...]: fails when a test fails or no test matched.
run_ctest() {
  local dir=$1
  shift
  step "ctest in $dir $*"
  "${no_aslr[@]}" ctest --test-dir "$dir" --output-on-failure -j "$JOBS" --no-tests=error "$@"
}

# Sanitizer runtimes of clang 14 cannot cope with more than 28 bits of mmap
# randomisation (newer kernels default to 32). Run them without address space
# randomisation there; `setarch -R` is inherited by every child process.
no_aslr=()
sanitizer_env_check() {
  local bits
  bits=$(cat /proc/sys/vm/mmap_rnd_bits 2>/dev/null || echo 0)
  if [[ ${#no_aslr[@]} -eq 0 && $bits -gt 28 ]]; then
    echo "test.sh: vm.mmap_rnd_bits is $bits (> 28): running sanitized binaries under setarch -R"
    no_aslr=(setarch "$(uname -m)" -R)
  fi
}

# run_fuzzer NAME: runs build/asan/tests/fuzz/NAMEFuzzer for FUZZ_SECONDS on a
# throw-away copy of its seed corpus (tests/fuzz/corpus/NAME): libFuzzer adds
# what it finds to its first corpus directory, and the repository's seeds
# stay as they are.
run_fuzzer() {
  local name=$1 fuzzer=build/asan/tests/fuzz/${1}Fuzzer
  if [[ ! -x $fuzzer ]]; then
    step "fuzzing skipped: $fuzzer was not built"
    return 0
  fi
  step "fuzz $(basename "$fuzzer") for ${FUZZ_SECONDS}s"
  local work artifacts=build/asan/fuzz-artifacts/$name log=build/asan/fuzz-$name.log
  work=$(mktemp -d "${TMPDIR:-/tmp}/quillane-fuzz.XXXXXX")
  temp_dirs+=("$work")
  mkdir -p "$work/corpus" "$artifacts"
  if [[ -d tests/fuzz/corpus/$name ]]; then cp -R "tests/fuzz/corpus/$name/." "$work/corpus/"; fi
  local status=0
  "${no_aslr[@]}" "$fuzzer" -max_total_time="$FUZZ_SECONDS" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$work/corpus" >"$log" 2>&1 || status=$?
  if [[ $status -ne 0 ]]; then
    tail -n 80 "$log"
    echo "test.sh: the fuzzer failed (exit $status); full log: $log, crashing input in $artifacts/"
    return "$status"
  fi
  grep -E '^(INFO: Seed:|INFO: +[0-9]+ files found|#[0-9]+ +DONE|Done [0-9]+ runs|stat::number_of_executed_units|stat::new_units_added)' "$log" || true
  echo "fuzzing: no crash in ${FUZZ_SECONDS}s (log: $log)"
}

# --- stages ------------------------------------------------------------------
stage_gcc() {
  begin_stage gcc "Debug build with g++, all tests"
  no_aslr=()
  configure_and_build build/test g++ Debug \
    -DQUILLANE_SANITIZE= -DQUILLANE_BUILD_FUZZ=OFF -DQUILLANE_BUILD_BENCH=ON
  run_ctest build/test
  end_stage
}

stage_release() {
  begin_stage release "Release build with g++ and the default options, all tests"
  no_aslr=()
  # Nothing but the build type, the tests and warnings as errors: the other
  # options stay at the defaults a packager gets.
  configure_and_build build/release-test g++ Release
  run_ctest build/release-test
  end_stage
}

# check_package_use: the installed package's binary, manual page, desktop
# entry, metainfo and shell completions, as a user and a software centre
# meet them.
check_package_use() {
  local version=$1 id=io.github.quillane.Quillane
  step "quillane --version"
  local reported
  reported=$(quillane --version)
  echo "$reported"
  [[ $(command -v quillane) == /usr/bin/quillane ]] || { echo "test.sh: quillane is not /usr/bin/quillane"; return 1; }
  [[ $reported == "quillane $version" ]] || { echo "test.sh: expected 'quillane $version'"; return 1; }

  step "quillane scan on a small tree"
  local tree
  tree=$(mktemp -d "${TMPDIR:-/tmp}/quillane-package.XXXXXX")
  temp_dirs+=("$tree")
  mkdir -p "$tree/a/b"
  head -c 100000 /dev/zero >"$tree/a/big.bin"
  echo note >"$tree/a/b/note.txt"
  ln -s a "$tree/link"
  local report expected
  report=$(quillane scan "$tree" --quiet --report-json -)
  expected=$(du -s -B1 "$tree" | cut -f1)
  # The summary comes first in the document: its bytes, files and folders.
  grep -Eq "\"bytes\": *${expected}[,}]" <<<"$report" || { echo "$report"; echo "test.sh: the scan's total is not du's $expected"; return 1; }
  grep -Eq '"files": *2[,}]' <<<"$report" || { echo "$report"; echo "test.sh: the scan did not count 2 files"; return 1; }
  echo "scan: $expected bytes, 2 files, as du and find count them"

  step "quillane treemap, run by the installed quillane-gui"
  local tiles
  tiles=$(quillane treemap "$tree" --json -) || { echo "test.sh: quillane treemap failed"; return 1; }
  grep -q '"name": *"a"' <<<"$tiles" || { echo "$tiles"; echo "test.sh: the treemap has no tile for a"; return 1; }
  echo "treemap: a tile for a"

  step "desktop-file-validate, appstreamcli validate"
  local entry=/usr/share/applications/$id.desktop issues
  issues=$(desktop-file-validate "$entry" 2>&1) || true
  [[ -z $issues ]] || { echo "$issues"; echo "test.sh: desktop-file-validate reported the above"; return 1; }
  echo "$entry: valid"
  appstreamcli validate --no-net "/usr/share/metainfo/$id.metainfo.xml"

  step "man quillane"
  local page
  page=$(MANWIDTH=80 man -P cat quillane 2>&1) || { echo "$page"; echo "test.sh: man quillane failed"; return 1; }
  head -n 8 <<<"$page"
  grep -q "quillane - explore what fills your disk" <<<"$page" || { echo "test.sh: the manual page did not render"; return 1; }

  step "shell completions"
  local completion
  for completion in /usr/share/bash-completion/completions/quillane /usr/share/zsh/vendor-completions/_quillane \
    /usr/share/fish/vendor_completions.d/quillane.fish; do
    [[ -s $completion ]] || { echo "test.sh: $completion was not installed"; return 1; }
  done
  bash -n /usr/share/bash-completion/completions/quillane || { echo "test.sh: bash does not read its completion"; return 1; }
  echo "bash, zsh and fish completions in place"
}

stage_package() {
  begin_stage package "Debian package: lintian, install, use, purge"
  if [[ $(id -u) -ne 0 ]]; then
    echo "test.sh: package stage SKIPPED: it installs and purges the package with apt-get, which needs root (CI runs it as root)"
    timings+=("$(printf '%-7s skipped (not root)' package)")
    current_stage=
    return 0
  fi
  if is_installed quillane; then
    echo "test.sh: a quillane package is installed already; remove it first (apt-get remove --purge quillane): this stage installs and purges its own"
    return 1
  fi
  install_missing "test.sh package" lintian man-db
  no_aslr=()
  # The release stage's build, with the same options: up to date when that
  # stage ran first, so nothing is built twice.
  configure_and_build build/release-test g++ Release

  step "scripts/package.sh build/release-test"
  local deb version
  deb=$(scripts/package.sh build/release-test)
  version=$(dpkg-deb -f "$deb" Version)
  echo "$deb"
  dpkg-deb -f "$deb" Package Version Architecture Installed-Size Depends Section Maintainer

  step "lintian $(basename "$deb")"
  # Errors fail the stage; warnings and notes are shown.
  lintian --fail-on error --display-info "$deb"
  echo "lintian: no errors"

  step "apt-get install $deb"
  installed_package=quillane
  DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb"
  local files
  files=$(dpkg -L quillane)
  grep -qx /usr/share/man/man1/quillane.1.gz <<<"$files" ||
    { echo "test.sh: the manual page was not installed (a dpkg path-exclude in /etc/dpkg/dpkg.cfg.d?)"; return 1; }

  check_package_use "$version"

  step "apt-get remove --purge quillane"
  DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y quillane
  installed_package=
  # Shared folders (/usr/share/…) stay; any file, link or folder of our own must go.
  local path left=()
  while IFS= read -r path; do
    if [[ -L $path || (-e $path && ! -d $path) || (-d $path && $path == *quillane*) ]]; then left+=("$path"); fi
  done <<<"$files"
  if [[ ${#left[@]} -gt 0 ]]; then
    printf 'left behind: %s\n' "${left[@]}"
    echo "test.sh: the purged package left the above"
    return 1
  fi
  echo "purged: none of the package's $(wc -l <<<"$files") paths is left"
  end_stage
}

stage_asan() {
  begin_stage asan "AddressSanitizer + UndefinedBehaviorSanitizer build with clang++, all tests, fuzzing"
  no_aslr=()
  sanitizer_env_check
  export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:external_symbolizer_path=$SYMBOLIZER"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:external_symbolizer_path=$SYMBOLIZER"

  local fuzz=OFF
  if [[ -f tests/fuzz/CMakeLists.txt ]]; then fuzz=ON; fi
  configure_and_build build/asan clang++ Debug -DCMAKE_CXX_FLAGS_DEBUG="$SANITIZER_OPT_FLAGS" \
    -DQUILLANE_SANITIZE='address;undefined' -DQUILLANE_BUILD_FUZZ=$fuzz -DQUILLANE_BUILD_BENCH=OFF
  run_ctest build/asan

  local name
  for name in "${FUZZERS[@]}"; do
    run_fuzzer "$name"
  done
  unset ASAN_OPTIONS UBSAN_OPTIONS
  end_stage
}

stage_tsan() {
  begin_stage tsan "ThreadSanitizer build with clang++, concurrency tests"
  no_aslr=()
  sanitizer_env_check
  export TSAN_OPTIONS="second_deadlock_stack=1:external_symbolizer_path=$SYMBOLIZER:suppressions=$repo_root/scripts/tsan-suppressions.txt"
  # PRE_TEST discovery: the test lists are read when ctest starts rather than
  # at build time, so every sanitized run happens under ctest (and its retry).
  configure_and_build build/tsan clang++ Debug -DCMAKE_CXX_FLAGS_DEBUG="$SANITIZER_OPT_FLAGS" \
    -DQUILLANE_SANITIZE=thread -DQUILLANE_BUILD_FUZZ=OFF -DQUILLANE_BUILD_BENCH=OFF \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST

  # Suite names start with one of the prefixes; allow a gtest instantiation
  # prefix ("Prefix/Suite.Test/0").
  local filter="(^|/)($CONCURRENT_SUITES)[A-Za-z0-9_]*\\."
  local log=build/tsan/ctest.log status=0
  mkdir -p build/tsan
  run_ctest build/tsan -R "$filter" 2>&1 | tee "$log" || status=$?
  if [[ $status -ne 0 && ${#no_aslr[@]} -eq 0 ]] &&
    grep -q 'ThreadSanitizer: unexpected memory mapping' "$log"; then
    echo
    echo "test.sh: ThreadSanitizer cannot map its shadow memory with this kernel's address"
    echo "test.sh: randomisation; retrying under setarch $(uname -m) -R"
    no_aslr=(setarch "$(uname -m)" -R)
    status=0
    run_ctest build/tsan -R "$filter" || status=$?
  fi
  [[ $status -eq 0 ]] || return "$status"
  unset TSAN_OPTIONS
  end_stage
}

# --- main --------------------------------------------------------------------
install_missing test.sh "${PACKAGES[@]}"
for stage in "${stages[@]}"; do
  "stage_$stage"
done
print_timings
echo "test.sh: all stages passed (${stages[*]})"
