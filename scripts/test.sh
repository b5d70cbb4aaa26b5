#!/usr/bin/env bash
# The test command: installs what is missing, builds, runs the whole suite, then builds and runs it
# once more under AddressSanitizer and UndefinedBehaviorSanitizer. Exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== build (RelWithDebInfo) =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
echo "== tests =="
ctest --test-dir build --output-on-failure -j"$jobs"

if [ "${ZBPV_SKIP_SANITIZE:-0}" != 1 ]; then
  echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer) =="
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZBPV_SANITIZE=ON -DZBPV_BENCH=OFF >/dev/null
  cmake --build build-asan -j"$jobs"
  echo "== tests under sanitizers =="
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:suppressions=$PWD/tests/asan.supp"
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/tests/ubsan.supp"
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
fi
