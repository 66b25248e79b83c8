#!/usr/bin/env bash
# Installs what is missing, builds Vantora and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel
if [ -x build/main/vantora ]; then
    exec build/main/vantora "$@"
fi
echo "Built; the program itself is not there yet."
