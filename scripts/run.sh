#!/usr/bin/env bash
# Installs what is missing, builds Vantora and starts it. Without a USB serial
# port (or with --simulated) a simulated dongle is started beside it and its
# port offered; it stops when the program does. Other arguments reach the program.
#
# For the script's own test: VANTORA_RUN_DEV (where to look for USB ports),
# VANTORA_RUN_BUILD=0 (no install, no build), VANTORA_RUN_PROGRAM and
# VANTORA_RUN_SIMDONGLE (what to start).
set -euo pipefail
cd "$(dirname "$0")/.."

simulated=0
args=()
for arg in "$@"; do
    if [ "$arg" = "--simulated" ]; then
        simulated=1
    else
        args+=("$arg")
    fi
done

if [ "${VANTORA_RUN_BUILD:-1}" != 0 ]; then
    bash scripts/deps.sh
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build --parallel
fi
program="${VANTORA_RUN_PROGRAM:-build/main/vantora}"
simdongle="${VANTORA_RUN_SIMDONGLE:-build/tests/simdongle}"
if [ ! -x "$program" ]; then
    echo "Built; the program itself is not there yet."
    exit 1
fi

dev="${VANTORA_RUN_DEV:-/dev}"
found_dongle=0
if compgen -G "$dev/ttyUSB*" >/dev/null || compgen -G "$dev/ttyACM*" >/dev/null; then
    found_dongle=1
fi
if [ "$found_dongle" = 1 ] && [ "$simulated" = 0 ]; then
    exec "$program" ${args[@]+"${args[@]}"}
fi

if [ ! -x "$simdongle" ]; then
    echo "No dongle found, and the simulated dongle ($simdongle) was not built." >&2
    exec "$program" ${args[@]+"${args[@]}"}
fi

# The simulated dongle prints its port on its first line. Started in the
# background it ignores Ctrl-C, so the trap stops it on every way out.
port_file="$(mktemp)"
"$simdongle" --quiet >"$port_file" 2>&1 &
sim_pid=$!
stop_simulated() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    rm -f "$port_file"
}
trap stop_simulated EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

port=""
for _ in $(seq 100); do
    port="$(head -n 1 "$port_file")"
    [ -n "$port" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$port" ] || [ ! -e "$port" ]; then
    echo "The simulated dongle did not start:" >&2
    cat "$port_file" >&2
    exit 1
fi

if [ "$found_dongle" = 1 ]; then
    echo "A simulated dongle is offered on $port."
else
    echo "No dongle found: a simulated dongle is offered on $port."
fi
export VANTORA_EXTRA_PORTS="${VANTORA_EXTRA_PORTS:+$VANTORA_EXTRA_PORTS:}$port"
status=0
"$program" ${args[@]+"${args[@]}"} || status=$?
exit "$status"
