# Shared steps of the end-to-end tests: a simulated device on 127.0.0.2, one
# of our programs answering its dialogs from a queue of lines, and checks of
# what both did. Sourced by each case; runs inside the case's own network
# namespace (tests/support/netns.sh).
set -u

: "${ORB_BUILD:?ORB_BUILD must name the build tree}"
ORBSIM=$ORB_BUILD/tools/orbsim/orbsim
WORK=$(mktemp -d /tmp/orb-e2e.XXXXXX)
source "$(dirname "${BASH_SOURCE[0]}")/../support/device_run_lib.sh"

# In a sanitizer build every process of the case (children of a fleet too)
# writes its reports here rather than among the output the case checks.
export TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS:}log_path=$WORK/sanitizer"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}log_path=$WORK/sanitizer"
# The history goes to the case's own state folder, never the user's.
export XDG_STATE_HOME=$WORK/state

cleanup() {
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null
  [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null
  wait 2>/dev/null
  local report
  for report in "$WORK"/sanitizer.*; do
    [ -e "$report" ] || continue
    echo "FAIL: sanitizer report $report"
    head -n 80 "$report"
  done
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for log in sim.log out err; do
    [ -f "$WORK/$log" ] && { echo "---- $log"; tail -n 60 "$WORK/$log"; }
  done
  exit 1
}

# program_path NAME: a program of the build (orbflash, orbflash-fast, ...).
program_path() {
  case $1 in
    orbflash*) echo "$ORB_BUILD/apps/orbflash/$1" ;;
    orbstage*) echo "$ORB_BUILD/apps/orbstage/$1" ;;
  esac
}

# image_of NAME: the image the program carries (its target image).
image_of() {
  case $1 in
    orbflash*) echo "$ORB_BUILD/apps/orbflash/images/$1.img" ;;
    orbstage*) echo "$ORB_BUILD/apps/orbstage/images/$1.img" ;;
  esac
}

# run_program NAME ANSWERS [SECONDS]: runs the program with the answer lines
# (printf %b: \n separated) queued on its standard input; sets RC.
run_program() {
  printf '%b' "$2" >"$WORK/answers"
  timeout "${3:-120}" "$(program_path "$1")" <"$WORK/answers" >"$WORK/out" 2>"$WORK/err"
  RC=$?
}

# start_program NAME ANSWERS: the same in the background (for Cancel tests).
start_program() {
  printf '%b' "$2" >"$WORK/answers"
  "$(program_path "$1")" <"$WORK/answers" >"$WORK/out" 2>"$WORK/err" &
  PROGRAM_PID=$!
}

# run_cli NAME ARGS...: the program with a command line, its standard input
# not a terminal; stdout to out, stderr to err; sets RC.
run_cli() {
  local program=$1
  shift
  timeout 120 "$(program_path "$program")" "$@" </dev/null >"$WORK/out" 2>"$WORK/err"
  RC=$?
}

# start_cli NAME ARGS...: the same in the background (for Ctrl+C tests).
start_cli() {
  local program=$1
  shift
  "$(program_path "$program")" "$@" </dev/null >"$WORK/out" 2>"$WORK/err" &
  PROGRAM_PID=$!
}

stop_sim() {
  kill "$SIM_PID" 2>/dev/null
  wait "$SIM_PID" 2>/dev/null
  SIM_PID=
}

expect_code() { [ "$RC" = "$1" ] || fail "exit code $RC, expected $1"; }
expect_err() { grep -q -- "$1" "$WORK/err" || fail "standard error lacks '$1'"; }
expect_no_err() { ! grep -q -- "$1" "$WORK/err" || fail "standard error has '$1'"; }

expect_out() { grep -q -- "$1" "$WORK/out" || fail "program output lacks '$1'"; }
expect_no_out() { ! grep -q -- "$1" "$WORK/out" || fail "program output has '$1'"; }
count_out() { grep -c -- "$1" "$WORK/out"; }

# expect_error TEXT: the run ended with exactly this error box.
expect_error() {
  grep -qx -- "ORB Firwmare Upgrade Error: $1" "$WORK/err" || fail "no error box '$1' (stderr: $(cat "$WORK/err"))"
}
expect_no_error() { ! grep -q 'ORB Firwmare Upgrade Error' "$WORK/err" || fail "error box: $(cat "$WORK/err")"; }

# The dialog answers of an upgrade up to the status read: welcome (orbflash
# only), warning, address dialog (device address, local address, OK).
FLASH_TO_STATUS='\ncontinue\n127.0.0.2\n\n\n'
STAGE_TO_STATUS='continue\n127.0.0.2\n\n\n'
PASSWORD='\nsecret\n\n'   # user name kept as "admin", the password, OK
