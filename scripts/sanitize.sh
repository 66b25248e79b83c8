#!/usr/bin/env bash
# Builds everything with the address and undefined-behaviour sanitizers in build-asan and runs the
# whole test suite twice: once where any report fails the test, once more with leak detection.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-4}"
flags="-fsanitize=address,undefined -fno-omit-frame-pointer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTORA_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build build-asan --parallel "$jobs"

export QT_QPA_PLATFORM=offscreen
# Without halt_on_error an undefined-behaviour report is only printed and the test still passes.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=detect_leaks=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
ctest --test-dir build-asan --output-on-failure --parallel "$jobs"

# Full stacks, so the suppressions only hide what Qt's plugins keep, never a leak through our code.
# Full stacks make every allocation slow: one test at a time, so waits on the simulated dongle hold.
export UBSAN_OPTIONS=print_stacktrace=1
export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-qt.supp:print_suppressions=0"
ctest --test-dir build-asan --output-on-failure
