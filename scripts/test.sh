#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   1. the test suite (build/);
#   2. the same suite under AddressSanitizer and UndefinedBehaviorSanitizer
#      (build-asan/);
#   3. a short bounded run of each libFuzzer target, when clang is there
#      (build-fuzz/).
# VANTREL_QUICK=1 runs the first only.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
# The tests' settings live in a folder of their own, never the user's.
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
jobs=$(nproc)

bash scripts/setup.sh
(cd build && ctest --output-on-failure)

if [ "${VANTREL_QUICK:-0}" = 1 ]; then exit 0; fi

echo "== Sous AddressSanitizer et UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DVANTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j"$jobs"
(cd build-asan && ctest --output-on-failure)

if command -v clang++ >/dev/null 2>&1 \
   && echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, long){return 0;}' \
      | clang++ -x c++ -fsanitize=fuzzer -o /dev/null - 2>/dev/null; then
  echo "== Fuzzers"
  cmake -S tests/fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++
  cmake --build build-fuzz -j"$jobs"
  (cd build-fuzz && ctest --output-on-failure)
else
  echo "== Fuzzers : clang et libFuzzer absents, non construits"
fi
