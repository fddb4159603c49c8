#!/usr/bin/env bash
# The Windows programs' command line under Wine: a subcommand runs without a
# window, so a run that ends by itself with no one to press a button showed
# no dialog. One case per run.
source "$(dirname "$0")/wine_lib.sh"
P=orbflash-fast

case ${1:?case} in
upgrade)
  start_wine
  start_sim --user admin --password secret --restart-seconds 1
  printf 'secret\r\n' >"$WORK/pw"
  run_cli $P upgrade 127.0.0.2 --password-file "Z:$WORK/pw" --yes
  expect_exit_zero
  expect_received $P
  grep -q '^orbflash: upgraded 127.0.0.2 to 7.5.3' "$WORK/err" || fail "no success line: $(cat "$WORK/err")"
  expect_sim 'GET /admin/upgrade?tftp://127.0.0.1:69/orb[0-9a-f]*\.bi1 -> 200'
  ! grep -q secret "$WORK/out" "$WORK/err" || fail "the password was printed"
  # The history in the user's local application data, read back.
  run_cli $P history 127.0.0.2
  expect_exit_zero
  grep -q '^[-0-9T:Z]* *127.0.0.2 *ORB0012345 .* success' "$WORK/out" || fail "history: $(cat "$WORK/out" "$WORK/err")"
  ;;

errors)
  # A usage error, and a failure that the wizard would show in a box.
  start_wine
  start_sim
  run_cli $P upgrade 127.0.0.2 --yes --bogus
  [ "$RC" = 2 ] || fail "exit code $RC, expected 2"
  grep -q "^orbflash: unknown option '--bogus'" "$WORK/err" || fail "no usage line: $(cat "$WORK/err")"
  printf 'no image\r\n' >"$WORK/not.img"
  run_cli $P upgrade 127.0.0.2 --yes --image "Z:$WORK/not.img"
  [ "$RC" = 8 ] || fail "unusable image: exit code $RC, expected 8"
  grep -q "^orbflash: 127.0.0.2: .*not a firmware image" "$WORK/err" || fail "no failure line: $(cat "$WORK/err")"
  expect_no_sim 'GET '
  ;;

fleet)
  # Three devices from a devices file: the parent starts a child process
  # per device through the Windows platform layer and reads their pipes;
  # each serves the --image from the parent's private copy, mapped. The
  # third ignores its first trigger and is upgraded on its retry.
  start_wine
  mkdir -p "$WORK/received"
  "$ORBSIM" --count 3 --save-dir "$WORK/received" --user admin --password secret --restart-seconds 1 \
    --on 3 --ignore-triggers 1 >"$WORK/sim.log" 2>&1 &
  SIM_PID=$!
  wait_for_log sim.log '\[127.0.0.4\] web server listening' 20
  printf 'secret\r\n' >"$WORK/pw"
  printf '127.0.0.2\r\n127.0.0.3 admin\r\n# the third\r\n127.0.0.4 admin Z:%s\r\n' "$WORK/pw" >"$WORK/devices"
  printf 'previous run\r\n' >"$WORK/report.csv"
  run_cli $P upgrade --devices "Z:$WORK/devices" --password-file "Z:$WORK/pw" --yes --jobs 2 --json \
    --log-dir "Z:$WORK" --report "Z:$WORK/report.csv" --report "Z:$WORK/report.html" --image "Z:$(image_of $P)" \
    --retries 1 --retry-delay 1 --fetch-timeout 3 --history "Z:$WORK/history.jsonl"
  expect_exit_zero
  python3 -c 'import json,sys; r={x["device"]: x for x in map(json.loads, open(sys.argv[1]))}; assert len(r)==3 and r["127.0.0.4"]["attempts"]==2, r' \
    "$WORK/history.jsonl" || fail "history: $(cat "$WORK/history.jsonl")"
  # The HTML report: a row per device, and no more reloading once the run ended.
  [ "$(grep -c '<tr class="upgraded" data-device="127.0.0.[234]"' "$WORK/report.html")" = 3 ] &&
    ! grep -q 'http-equiv="refresh"' "$WORK/report.html" || fail "HTML report: $(cat "$WORK/report.html")"
  # The report replaced whole, through the Windows platform layer.
  [ "$(grep -c '"upgraded",0,' "$WORK/report.csv")" = 3 ] && ! ls "$WORK" | grep -q 'report.csv.tmp' ||
    fail "report: $(cat "$WORK/report.csv")"
  grep -q 'reading the status page' "$WORK/127.0.0.3.log" && grep -q '"event":"result"' "$WORK/127.0.0.3.log" ||
    fail "the device's log lacks its messages or events"
  for i in 2 3 4; do
    cmp -s "$WORK/received/127.0.0.$i.img" "$(image_of $P)" || fail "127.0.0.$i did not receive the image"
  done
  grep -q '3 upgraded, 0 already current, 0 failed' "$WORK/err" || fail "no counts: $(cat "$WORK/err")"
  grep -q '"event":"summary","devices":3,"upgraded":3' "$WORK/out" || fail "no summary event"
  ;;

*) fail "unknown case $1" ;;
esac
pass
