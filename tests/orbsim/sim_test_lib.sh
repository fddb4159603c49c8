# Sourced by the orbsim script tests: a work folder, devices started in the
# background with their logs, bounded waits for log lines, clean-up.
set -euo pipefail

WORK=$(mktemp -d)
chmod 755 "$WORK"
declare -a STARTED_PIDS=()

cleanup() {
    local pid
    for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${STARTED_PIDS[@]}"; do timeout 5 tail --pid="$pid" -f /dev/null 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    local log
    for log in "$WORK"/*.log; do
        [ -e "$log" ] || continue
        echo "---- $log" >&2
        tail -n 40 "$log" >&2
    done
    exit 1
}

# start_sim NAME ARGS...: runs orbsim with its output in $WORK/NAME.log and
# its pid in $WORK/NAME.pid.
start_sim() {
    local name=$1
    shift
    "$ORBSIM" "$@" >"$WORK/$name.log" 2>&1 &
    echo $! >"$WORK/$name.pid"
    STARTED_PIDS+=($!)
}

sim_pid() { cat "$WORK/$1.pid"; }

# wait_line NAME PATTERN [SECONDS]: waits for a line matching the extended
# regular expression in NAME's log.
wait_line() {
    local name=$1 pattern=$2 seconds=${3:-10} i
    for ((i = 0; i < seconds * 10; i++)); do
        grep -Eqs -- "$pattern" "$WORK/$name.log" && return 0
        sleep 0.1
    done
    fail "$name: no line matching '$pattern' within $seconds s"
}

# wait_exit NAME CODE [SECONDS]: the device must end by itself with CODE.
wait_exit() {
    local name=$1 expected=$2 seconds=${3:-15} pid code=0
    pid=$(sim_pid "$name")
    timeout "$seconds" tail --pid="$pid" -f /dev/null || fail "$name did not exit within $seconds s"
    wait "$pid" || code=$?
    [ "$code" = "$expected" ] || fail "$name exited with $code, expected $expected"
}

stop_sim() {
    local pid
    pid=$(sim_pid "$1")
    kill -TERM "$pid"
    timeout 5 tail --pid="$pid" -f /dev/null || fail "$1 did not stop on SIGTERM"
}

# http_code URL [CURL ARGS...]: the status code, or "refused"/"empty"/"timeout".
http_code() {
    local url=$1 code rc=0
    shift
    code=$(curl -s -m 5 -o "$WORK/body" -w '%{http_code}' "$@" "$url") || rc=$?
    case $rc in
        0) echo "$code" ;;
        7) echo refused ;;
        52) echo empty ;;
        28) echo timeout ;;
        *) echo "curl-$rc" ;;
    esac
}
