#!/usr/bin/env bash
# Builds and runs every test: the installer as it ships (held to its size budget), the whole
# suite under AddressSanitizer + UndefinedBehaviorSanitizer, the thread-heavy programs (label
# "tsan") under ThreadSanitizer, then the Windows builds' suites under wine, x86-64 then x86
# (the 32-bit installer on wine's 64-bit system, as its users mostly run it). Window tests run on
# private Xvfb displays. Installs the Debian packages it needs first, and prints the wall time
# of every stage at its end (also when a stage fails).
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache entries are keyed by paths relative to the tree, so a fresh clone of the same
# sources (CI) reuses what an earlier build on this machine compiled.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
root=$PWD
cores=$(nproc)

# Stages: `stage NAME COMMAND...` runs one and records its wall time; the table is printed when
# the script ends, however it ends.
stage_names=()
stage_seconds=()
stage_now=
stage_start=0
run_start=$SECONDS
stage() {
  stage_now=$1
  stage_start=$SECONDS
  shift
  echo "== $stage_now"
  "$@"
  stage_names+=("$stage_now")
  stage_seconds+=($((SECONDS - stage_start)))
  stage_now=
}
report() {
  local status=$? i
  echo
  echo "== Wall time per stage"
  for i in "${!stage_names[@]}"; do
    printf '  %-44s %4d:%02d\n' "${stage_names[$i]}" $((stage_seconds[i] / 60)) $((stage_seconds[i] % 60))
  done
  if [[ -n $stage_now ]]; then
    local spent=$((SECONDS - stage_start))
    printf '  %-44s %4d:%02d  FAILED\n' "$stage_now" $((spent / 60)) $((spent % 60))
  fi
  local arch deps
  for arch in x86_64 i686; do
    [[ -f $QV_TEST_ROOT/deps-$arch.seconds ]] || continue
    deps=$(<"$QV_TEST_ROOT/deps-$arch.seconds")
    printf '  %-44s %4d:%02d  (in the background, beside the stages above)\n' "windows $arch: libraries" \
      $((deps / 60)) $((deps % 60))
  done
  local total=$((SECONDS - run_start))
  printf '  %-44s %4d:%02d\n' "total" $((total / 60)) $((total % 60))
  # A background build still running when a stage failed ends with the run.
  [[ -z ${deps_pid:-} ]] || kill -- -"$deps_pid" 2>/dev/null || true
  rm -rf "$QV_TEST_ROOT"
  return $status
}

# Tests make their own folders; keep them off the user's real stores.
export QV_TEST_ROOT="${QV_TEST_ROOT:-$(mktemp -d -t quorvex-tests.XXXXXX)}"
trap report EXIT

export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/tools/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="second_deadlock_stack=1:suppressions=$root/tools/sanitizers/tsan.supp"

# Analytics from the programs under test go to a closed local port, never to the vendor's host.
# A later run on the same machine compiles only what changed. The sanitizer trees take the
# skin's images the release tree drew (the same bytes, drawn once).
sanitized=(-DQV_COLLECT_HOST=http://127.0.0.1:9 -DCMAKE_C_COMPILER_LAUNCHER=ccache
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -UQV_SUBSYSTEMS -DQV_BUILD_BENCH=OFF -DQV_BUILD_TOOLS=ON
  -DQV_SKIN_ART_FROM="$root/build-release/skin/art")

# The displays have no GLX: the toolkit draws with cairo alone, and GDK would otherwise load the
# GL driver at display start-up, whose one-time allocation (made through a module it unloads
# again, so no suppression can name it) the leak checker reports in every GTK program.
xvfb=(xvfb-run -a -s "-screen 0 1280x800x24 -extension GLX")
# ctest keeps each test's time in the build tree and starts the slowest first next time; a new
# clone has no build tree, so the times are kept beside the compiler cache as well.
# `with_times DIR NAME COMMAND...` runs a ctest COMMAND on the tree DIR with the times kept
# under NAME.
times_cache=${XDG_CACHE_HOME:-$HOME/.cache}/quorvex-tests
with_times() {
  local dir=$1 name=$2
  shift 2
  local times=$dir/Testing/Temporary/CTestCostData.txt
  mkdir -p "$dir/Testing/Temporary" "$times_cache"
  [[ -f $times || ! -f $times_cache/$name.txt ]] || cp "$times_cache/$name.txt" "$times"
  local status=0
  "$@" || status=$?
  [[ ! -f $times ]] || cp "$times" "$times_cache/$name.txt"
  return $status
}
ctest_args=(--output-on-failure --no-tests=error)
quietly() { "$@" >/dev/null; }
# Most tests wait (on servers, children, windows and timers) far more than they compute: twice as
# many at once as there are cores keeps both busy; the ThreadSanitizer programs wait most.
asan_jobs=$((cores * 2))
tsan_jobs=$((cores * 4))
# TSan needs a layout of the address space that high ASLR entropy can break; run without it.
setarch "$(uname -m)" -R true 2>/dev/null && norand=(setarch "$(uname -m)" -R) || norand=()

# No library includes a layer above its own; cheap, so it runs before any build.
stage "layer check" bash tools/check-layers.sh
stage "packages" bash tools/setup-deps.sh windows

# The Windows libraries of both architectures (minutes on a new machine, cached afterwards) build
# in the background at the lowest priority, one architecture after the other, in a session of
# their own: they take the cores where the stages below leave them idle (single-threaded
# configure steps, tests that wait) and give them up at once to everything else, so no test is
# slowed by them. Each architecture's end is marked in its own file, so the x86-64 stages need
# not wait for the x86 libraries.
setsid bash -c 'for arch in x86_64 i686; do
    status=0
    nice -n 19 bash tools/windows/build-deps.sh --arch "$arch" >"$1/deps-$arch.log" 2>&1 || status=$?
    echo $SECONDS >"$1/deps-$arch.seconds"
    echo $status >"$1/deps-$arch.status"
    (( status == 0 )) || exit $status
  done' deps "$QV_TEST_ROOT" &
deps_pid=$!
# wait_for_deps ARCH: waits until ARCH's libraries are built (or their build failed).
wait_for_deps() {
  local arch=$1 status
  while [[ ! -f $QV_TEST_ROOT/deps-$arch.status ]]; do
    if ! kill -0 "$deps_pid" 2>/dev/null; then
      echo "test.sh: the library build ended before the $arch libraries" >&2
      cat "$QV_TEST_ROOT"/deps-*.log >&2 2>/dev/null || true
      return 1
    fi
    sleep 2
  done
  status=$(<"$QV_TEST_ROOT/deps-$arch.status")
  tail -n 1 "$QV_TEST_ROOT/deps-$arch.log"
  if (( status != 0 )); then
    cat "$QV_TEST_ROOT/deps-$arch.log" >&2
    return "$status"
  fi
  if [[ $arch == i686 ]]; then
    wait "$deps_pid" 2>/dev/null || true
    deps_pid=
  fi
}

stage "release: build (installer, skin images)" bash tools/build-release.sh
stage "release: installer size" ctest --test-dir build-release "${ctest_args[@]}" -R '^InstallerSize\.'

stage "asan: configure" quietly cmake -S . -B build-asan -G Ninja "${sanitized[@]}" -DQV_SANITIZER=asan
stage "asan: build" cmake --build build-asan
stage "asan: all tests" with_times build-asan asan "${xvfb[@]}" \
  ctest --test-dir build-asan "${ctest_args[@]}" -j "$asan_jobs"

stage "tsan: configure" quietly cmake -S . -B build-tsan -G Ninja "${sanitized[@]}" -DQV_SANITIZER=tsan
stage "tsan: build" cmake --build build-tsan --target qv_threaded_tests
stage "tsan: thread-heavy tests" with_times build-tsan tsan "${norand[@]}" "${xvfb[@]}" \
  ctest --test-dir build-tsan "${ctest_args[@]}" -L tsan -j "$tsan_jobs"

stage "windows x86_64: libraries (what is left)" wait_for_deps x86_64
stage "windows x86_64: build (host programs, cross)" bash tools/build-windows.sh --arch x86_64
stage "windows x86_64: tests under wine" with_times build-windows windows bash tools/windows/test.sh --arch x86_64
stage "windows i686: libraries (what is left)" wait_for_deps i686
stage "windows i686: build (cross build)" bash tools/build-windows.sh --arch i686
stage "windows i686: tests under wine (WoW64)" with_times build-windows-i686 windows-i686 \
  bash tools/windows/test.sh --arch i686
