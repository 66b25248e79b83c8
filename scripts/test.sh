#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTORA_WERROR=ON
cmake --build build-test --parallel

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
        exit 1
    fi
else
    echo "fuzz_uplinkframer skipped: clang++ with libFuzzer and the sanitizers is not installed"
fi
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-test --output-on-failure --parallel "$(nproc)" -LE timing
# These measure timing on pseudo-terminals; one retry keeps a loaded machine from failing them.
ctest --test-dir build-test --output-on-failure --parallel "$(nproc)" -L timing --repeat until-pass:2
