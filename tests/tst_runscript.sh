#!/usr/bin/env bash
# scripts/run.sh without a display: a stand-in program records what it was
# given, a fake /dev says whether a USB dongle is attached, and the real
# simulated dongle is started. Usage: tst_runscript.sh <simdongle binary>
set -uo pipefail
simdongle="$1"
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The stand-in program: its arguments, the ports offered, whether the offered
# port exists, and the simulated dongle running beside it (a child of run.sh).
cat >"$work/program" <<'EOF'
#!/usr/bin/env bash
out="$RUN_TEST_OUT"
printf '%s\n' "$@" >"$out/args"
printf '%s' "${VANTORA_EXTRA_PORTS-unset}" >"$out/ports"
port="${VANTORA_EXTRA_PORTS##*:}"
if [ -e "$port" ]; then echo yes >"$out/port-exists"; else echo no >"$out/port-exists"; fi
for stat in /proc/[0-9]*/stat; do
    { read -r pid comm _ ppid _ <"$stat"; } 2>/dev/null || continue
    [ "$ppid" = "$PPID" ] && [ "$comm" = "(simdongle)" ] && echo "$pid"
done >"$out/simdongle-pid"
touch "$out/started"
[ -n "${RUN_TEST_WAIT-}" ] && sleep 30
exit 3
EOF
chmod +x "$work/program"

# run_case NAME DEV-ENTRIES ARGS...: runs run.sh in its own process group, with
# SIGINT as a terminal would give it (a background job here starts with it ignored).
run_case() {
    local name="$1" entries="$2"
    shift 2
    out="$work/$name"
    mkdir -p "$out/dev"
    for entry in $entries; do touch "$out/dev/$entry"; done
    RUN_TEST_OUT="$out" VANTORA_RUN_BUILD=0 VANTORA_RUN_DEV="$out/dev" \
        VANTORA_RUN_PROGRAM="$work/program" VANTORA_RUN_SIMDONGLE="$simdongle" \
        setsid env --default-signal=INT bash "$root/scripts/run.sh" "$@" >"$out/console" 2>&1 &
    run_pid=$!
}

finish_case() {
    wait "$run_pid"
    status=$?
}

expect_simdongle_gone() {
    local pid
    pid="$(cat "$out/simdongle-pid" 2>/dev/null)"
    if [ -z "$pid" ]; then
        fail "$1: no simulated dongle ran beside the program"
    elif kill -0 "$pid" 2>/dev/null; then
        fail "$1: the simulated dongle ($pid) outlived the program"
        kill "$pid"
    fi
}

# No USB port: the simulated dongle is offered, arguments pass, the exit
# status is the program's, nothing is left running.
run_case nodongle "ttyS0 ttyS1" --style fusion
finish_case
[ "$status" = 3 ] || fail "nodongle: exit status $status, not the program's 3"
grep -qx 'No dongle found: a simulated dongle is offered on /dev/pts/[0-9]*\.' "$out/console" \
    || fail "nodongle: console said: $(cat "$out/console")"
[ "$(cat "$out/args")" = $'--style\nfusion' ] || fail "nodongle: program got: $(cat "$out/args")"
grep -qx '/dev/pts/[0-9]*' "$out/ports" || fail "nodongle: ports offered: $(cat "$out/ports")"
[ "$(cat "$out/port-exists")" = yes ] || fail "nodongle: the offered port did not exist while the program ran"
expect_simdongle_gone nodongle

# A USB dongle attached: nothing but the program, as before.
for entry in ttyUSB0 ttyACM3; do
    run_case "dongle-$entry" "ttyS0 $entry" -x
    finish_case
    [ "$status" = 3 ] || fail "dongle-$entry: exit status $status"
    [ ! -s "$out/console" ] || fail "dongle-$entry: console said: $(cat "$out/console")"
    [ "$(cat "$out/ports")" = unset ] || fail "dongle-$entry: ports offered: $(cat "$out/ports")"
    [ ! -s "$out/simdongle-pid" ] || fail "dongle-$entry: a simulated dongle was started"
    [ "$(cat "$out/args")" = "-x" ] || fail "dongle-$entry: program got: $(cat "$out/args")"
done

# --simulated with a dongle attached: offered beside it, the flag not passed on.
run_case simulated "ttyUSB0" one --simulated two
finish_case
grep -qx 'A simulated dongle is offered on /dev/pts/[0-9]*\.' "$out/console" \
    || fail "simulated: console said: $(cat "$out/console")"
[ "$(cat "$out/args")" = $'one\ntwo' ] || fail "simulated: program got: $(cat "$out/args")"
expect_simdongle_gone simulated

# Ctrl-C while the program runs: the whole process group gets SIGINT, and the
# simulated dongle (which ignores it in the background) is stopped all the same.
RUN_TEST_WAIT=1
export RUN_TEST_WAIT
run_case ctrlc ""
for _ in $(seq 100); do
    [ -e "$out/started" ] && break
    sleep 0.1
done
if [ -e "$out/started" ]; then
    kill -INT -- "-$run_pid"
    finish_case
    [ "$status" = 130 ] || fail "ctrlc: exit status $status, not 130"
    expect_simdongle_gone ctrlc
else
    fail "ctrlc: the program never started: $(cat "$out/console")"
    kill -- "-$run_pid"
fi
unset RUN_TEST_WAIT

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "run.sh: all cases passed"
