#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTORA_WERROR=ON
cmake --build build-test --parallel

# The storm test under the address and undefined-behaviour sanitizers, in its own build of only
# what it links. It builds while the fuzzer below runs, which keeps one core busy.
storm_test() {
    cmake -S . -B build-storm-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTORA_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
    cmake --build build-storm-asan --parallel --target tst_uplinkstorm
    # Qt's platform plugin keeps what it allocates at start-up (scripts/lsan-qt.supp); the
    # suppression needs slow unwinding, and the plugin's frame lies within the first 12.
    QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0:malloc_context_size=12 \
        LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-qt.supp:print_suppressions=0" \
        build-storm-asan/tests/tst_uplinkstorm
}
mkdir -p build-storm-asan
storm_start=$SECONDS
storm_test >build-storm-asan/storm.log 2>&1 &
storm_pid=$!
fuzz_failed=0

# Fuzz the uplink framer for about a minute, in its own clang build, when clang
# and its sanitizer runtime are there.
if command -v clang++ >/dev/null 2>&1 \
    && echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }' \
        | clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - >/dev/null 2>&1; then
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANTORA_FUZZ=ON -DVANTORA_BENCH=OFF
    cmake --build build-fuzz --target fuzz_uplinkframer make_uplink_seeds
    build-fuzz/tests/fuzz/make_uplink_seeds resources/conf/up_link_command.xml build-fuzz/corpus-uplink
    if build-fuzz/tests/fuzz/fuzz_uplinkframer -max_total_time=60 -max_len=12000 -print_final_stats=1 -artifact_prefix=build-fuzz/ \
        build-fuzz/corpus-uplink >build-fuzz/fuzz-uplink.log 2>&1; then
        echo "fuzz_uplinkframer: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' build-fuzz/fuzz-uplink.log), no failure"
    else
        tail -n 60 build-fuzz/fuzz-uplink.log
        echo "fuzz_uplinkframer failed; the crashing input is named in the lines above"
        fuzz_failed=1
    fi
else
    echo "fuzz_uplinkframer skipped: clang++ with libFuzzer and the sanitizers is not installed"
fi
if wait "$storm_pid"; then
    echo "tst_uplinkstorm under the address and undefined-behaviour sanitizers, leaks checked: passed" \
        "($((SECONDS - storm_start)) s with its build)"
else
    tail -n 60 build-storm-asan/storm.log
    echo "tst_uplinkstorm under the sanitizers failed; the report is in the lines above"
    exit 1
fi
[ "$fuzz_failed" -eq 0 ] || exit 1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-test --output-on-failure --parallel "$(nproc)" -LE timing
# These measure timing on pseudo-terminals; one retry keeps a loaded machine from failing them.
ctest --test-dir build-test --output-on-failure --parallel "$(nproc)" -L timing --repeat until-pass:2
