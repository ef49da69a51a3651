#!/usr/bin/env bash
# Installs what this machine lacks (Debian packages), then configures and
# builds everything (the programs, the tests, the benchmarks) into build/,
# with warnings as errors. Arguments are further Debian packages to install.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
install_packages "${base_packages[@]}" "$@"
configure_and_build build -- -DVANTREL_WERROR=ON
