#!/usr/bin/env bash
# Builds and runs every test: the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer,
# then the thread-heavy programs (label "tsan") under ThreadSanitizer. Window tests run on a
# private Xvfb display. Installs the Debian packages it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache entries are keyed by paths relative to the tree, so a fresh clone of the same
# sources (CI) reuses what an earlier build on this machine compiled.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
root=$PWD
# No library includes a layer above its own; cheap, so it runs before any build.
bash tools/check-layers.sh
bash tools/setup-deps.sh windows

export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/tools/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="second_deadlock_stack=1:suppressions=$root/tools/sanitizers/tsan.supp"
# Tests make their own folders; keep them off the user's real stores.
export QV_TEST_ROOT="${QV_TEST_ROOT:-$(mktemp -d -t quorvex-tests.XXXXXX)}"
trap 'rm -rf "$QV_TEST_ROOT"' EXIT

# Analytics from the programs under test go to a closed local port, never to the vendor's host.
collect=(-DQV_COLLECT_HOST=http://127.0.0.1:9)
# A later run on the same machine compiles only what changed.
collect+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# The displays have no GLX: the toolkit draws with cairo alone, and GDK would otherwise load the
# GL driver at display start-up, whose one-time allocation (made through a module it unloads
# again, so no suppression can name it) the leak checker reports in every GTK program.
xvfb=(xvfb-run -a -s "-screen 0 1280x800x24 -extension GLX")
run_ctest() {
  "${xvfb[@]}" ctest --test-dir "$1" --output-on-failure --no-tests=error "${@:2}"
}

echo "== AddressSanitizer + UndefinedBehaviorSanitizer: all tests"
cmake -S . -B build-asan -G Ninja -UQV_SUBSYSTEMS "${collect[@]}" -DQV_SANITIZER=asan -DQV_BUILD_BENCH=OFF -DQV_BUILD_TOOLS=ON >/dev/null
cmake --build build-asan
run_ctest build-asan -j "$(nproc)"

echo "== Release: the installer as it ships, held to its download budget"
cmake -S . -B build-release -G Ninja -UQV_SUBSYSTEMS "${collect[@]}" -DCMAKE_BUILD_TYPE=Release -DQV_SANITIZER= -DQV_BUILD_BENCH=OFF -DQV_BUILD_TOOLS=ON >/dev/null
cmake --build build-release --target quorvex-installer
ctest --test-dir build-release --output-on-failure --no-tests=error -R '^InstallerSize\.'

echo "== ThreadSanitizer: thread-heavy tests"
cmake -S . -B build-tsan -G Ninja -UQV_SUBSYSTEMS "${collect[@]}" -DQV_SANITIZER=tsan -DQV_BUILD_BENCH=OFF -DQV_BUILD_TOOLS=ON >/dev/null
cmake --build build-tsan --target qv_threaded_tests
# TSan needs a layout of the address space that high ASLR entropy can break; run without it.
setarch "$(uname -m)" -R true 2>/dev/null && norand=(setarch "$(uname -m)" -R) || norand=()
"${norand[@]}" "${xvfb[@]}" \
  ctest --test-dir build-tsan --output-on-failure --no-tests=error -L tsan -j "$(nproc)"

echo "== Windows: cross build (mingw-w64), tests under wine"
bash tools/build-windows.sh
# One test at a time: several programs take system-wide names (the installer's mutex, the
# registry key) that a test running beside them would hold.
bash tools/windows/test.sh
