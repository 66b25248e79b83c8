#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTORA_WERROR=ON
cmake --build build-test --parallel
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-test --output-on-failure --parallel "$(nproc)"
