# Steps shared by the end-to-end tests (terminal and Wine): the simulated
# device, waiting on logs and on the program, and checks of what the device
# did. The sourcing script sets WORK and ORBSIM and defines fail and image_of.
SIM_PID=
PROGRAM_PID=
RC=

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
expect_sim() { grep -q -- "$1" "$WORK/sim.log" || fail "device log lacks '$1'"; }
expect_no_sim() { ! grep -q -- "$1" "$WORK/sim.log" || fail "device log has '$1'"; }
count_sim() { grep -c -- "$1" "$WORK/sim.log"; }

# expect_received NAME: the device holds exactly the program's image.
expect_received() {
  cmp -s "$WORK/received.img" "$(image_of "$1")" || fail "the device did not receive exactly the image of $1"
}

pass() { echo "PASS${1:+ ($1)}"; exit 0; }
