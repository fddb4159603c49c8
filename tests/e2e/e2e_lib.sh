# Shared steps of the end-to-end tests: a simulated device on 127.0.0.2, one
# of our programs answering its dialogs from a queue of lines, and checks of
# what both did. Sourced by each case; runs inside the case's own network
# namespace (tests/support/netns.sh).
set -u

: "${ORB_BUILD:?ORB_BUILD must name the build tree}"
ORBSIM=$ORB_BUILD/tools/orbsim/orbsim
WORK=$(mktemp -d /tmp/orb-e2e.XXXXXX)
SIM_PID=
PROGRAM_PID=
RC=

cleanup() {
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null
  [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null
  wait 2>/dev/null
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

# wait_for_log FILE PATTERN SECONDS
wait_for_log() {
  local deadline=$((SECONDS + $3))
  until grep -q -- "$2" "$WORK/$1" 2>/dev/null; do
    [ $SECONDS -ge $deadline ] && fail "no '$2' in $1 within $3 s"
    sleep 0.1
  done
}

# start_sim ORBSIM-OPTIONS...: the device, saving what it receives.
start_sim() {
  "$ORBSIM" --save "$WORK/received.img" "$@" >"$WORK/sim.log" 2>&1 &
  SIM_PID=$!
  wait_for_log sim.log 'listening\|answering\|recovery mode' 10
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

# wait_program SECONDS: waits for the background program; sets RC.
wait_program() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$PROGRAM_PID" 2>/dev/null; do
    [ $SECONDS -ge $deadline ] && fail "program still running after $1 s"
    sleep 0.1
  done
  wait "$PROGRAM_PID"
  RC=$?
  PROGRAM_PID=
}

expect_exit_zero() { [ "$RC" = 0 ] || fail "exit code $RC, expected 0"; }
expect_out() { grep -q -- "$1" "$WORK/out" || fail "program output lacks '$1'"; }
expect_no_out() { ! grep -q -- "$1" "$WORK/out" || fail "program output has '$1'"; }
expect_sim() { grep -q -- "$1" "$WORK/sim.log" || fail "device log lacks '$1'"; }
expect_no_sim() { ! grep -q -- "$1" "$WORK/sim.log" || fail "device log has '$1'"; }
count_sim() { grep -c -- "$1" "$WORK/sim.log"; }
count_out() { grep -c -- "$1" "$WORK/out"; }

# expect_error TEXT: the run ended with exactly this error box.
expect_error() {
  grep -qx -- "ORB Firwmare Upgrade Error: $1" "$WORK/err" || fail "no error box '$1' (stderr: $(cat "$WORK/err"))"
}
expect_no_error() { ! grep -q 'ORB Firwmare Upgrade Error' "$WORK/err" || fail "error box: $(cat "$WORK/err")"; }

# expect_received NAME: the device holds exactly the program's image.
expect_received() {
  cmp -s "$WORK/received.img" "$(image_of "$1")" || fail "the device did not receive exactly the image of $1"
}

# The dialog answers of an upgrade up to the status read: welcome (orbflash
# only), warning, address dialog (device address, local address, OK).
FLASH_TO_STATUS='\ncontinue\n127.0.0.2\n\n\n'
STAGE_TO_STATUS='continue\n127.0.0.2\n\n\n'
PASSWORD='\nsecret\n\n'   # user name kept as "admin", the password, OK

pass() { echo "PASS"; exit 0; }
