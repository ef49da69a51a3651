#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test:
#   1. the test suite (build/);
#   2. the command line and the Debian package (scripts/check-package.sh),
#      and the demo ended three ways (scripts/check-demo.sh);
#   3. the same suite built and run on Debian 13 (Qt 6.8, GCC 14), in a root
#      made by debootstrap outside this tree (scripts/debian13.sh; as root);
#   4. the same suite under AddressSanitizer and UndefinedBehaviorSanitizer
#      (build-asan/);
#   5. a short bounded run of each libFuzzer target, clang installed for
#      it (build-fuzz/);
#   6. the Windows build, its suites under Wine and its installer
#      (scripts/windows.sh; Qt for Windows is built once, about 25 minutes,
#      and kept in /var/cache/vantrel).
# VANTREL_QUICK=1 runs the first two only.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
export QT_QPA_PLATFORM=offscreen
# The tests' settings live in a folder of their own, never the user's.
XDG_CONFIG_HOME=$(as_builder mktemp -d)
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

bash scripts/setup.sh lintian desktop-file-utils appstream xvfb xauth procps
# The bench's CSV is opened in LibreOffice Calc, headless, by tst_bench.
install_packages libreoffice-calc-nogui || echo "== LibreOffice Calc n'a pas pu être installé : le rapport ne sera pas ouvert dans un tableur"
(cd build && as_builder ctest --output-on-failure)

echo "== Ligne de commande et paquet Debian"
bash scripts/check-package.sh build
bash scripts/check-demo.sh

if [ "${VANTREL_QUICK:-0}" = 1 ]; then exit 0; fi

echo "== Debian 13"
bash scripts/debian13.sh

echo "== Sous AddressSanitizer et UndefinedBehaviorSanitizer"
BUILD_TYPE=Debug configure_and_build build-asan -- -DVANTREL_SANITIZE=ON -DVANTREL_WERROR=ON
(cd build-asan && as_builder ctest --output-on-failure)

# clang with libFuzzer's runtime; a machine that cannot have them skips the step.
install_packages clang libclang-rt-dev || echo "== Fuzzers : clang n'a pas pu être installé"
if command -v clang++ >/dev/null 2>&1 \
   && echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, long){return 0;}' \
      | clang++ -x c++ -fsanitize=fuzzer -o /dev/null - 2>/dev/null; then
  echo "== Fuzzers"
  as_builder cmake -S tests/fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++
  as_builder cmake --build build-fuzz -j"$(nproc)"
  (cd build-fuzz && as_builder ctest --output-on-failure)
else
  echo "== Fuzzers : clang et libFuzzer absents, non construits"
fi

echo "== Windows (mingw-w64, sous Wine)"
bash scripts/windows.sh
