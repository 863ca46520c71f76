#!/usr/bin/env bash
# Installs what is missing, checks every source's layout against .clang-format, builds
# Veldora with AddressSanitizer and UndefinedBehaviorSanitizer, runs clang-tidy over the
# program's sources (.clang-tidy, no finding allowed) and every test (unit, widget, end
# to end); then builds the capture and window tests with ThreadSanitizer and runs every
# capture test and the live-display tests under it; last builds the Debian package,
# checks it and runs the installed program (installed with apt only when CI=true,
# elsewhere unpacked into build-deb).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The layout first: it fails in seconds where the build takes minutes.
bash scripts/check-format.sh

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DVELDORA_SANITIZE=address;undefined"
cmake --build build-asan -j "$jobs"
bash scripts/tidy.sh build-asan
(cd build-asan && ctest --output-on-failure -j "$jobs" --timeout 300)

export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDORA_SANITIZE=thread -DVELDORA_BENCH=OFF
# Every capture test (the real-audio ones skip themselves here; the end-to-end scripts
# run them) and the program's live-display tests, which drive capture from the window.
cmake --build build-tsan -j "$jobs" --target test_capture test_app veldorasound
(cd build-tsan && ctest --output-on-failure -L '^test_capture$' --timeout 600)
(cd build-tsan && ctest --output-on-failure -L '^test_app$' -R '^Live' --timeout 600)

bash scripts/package.sh
bash tests/e2e/installed_package.sh build-deb
