#!/usr/bin/env bash
# The command line follows the device through its restart: each verdict
# for an adapter and a phone, a restart slower than the fixed wait, a down
# too short to be seen, a stale nonce after the restart, a staged upgrade
# and a fleet's summary. Where the limit ends a run, the fast builds' fixed
# wait (about 4 s) is longer than --restart-timeout 1, so it is the limit.
source "$(dirname "$0")/e2e_lib.sh"
LIMIT=(--restart-timeout 1)
phases() { grep '"event":"restart"' "$WORK/out" | grep -o '"phase":"[a-z-]*"' | cut -d'"' -f4 | xargs; }
expect_last() { tail -n 1 "$WORK/err" | grep -q -- "$1" || fail "last line is not '$1': $(tail -n 1 "$WORK/err")"; }

case ${1:?case} in
verdict)
  # adapter|phone VERDICT: exit status, last line and the phases seen.
  P=orbflash-fast served=7.5.3
  [ "$2" = phone ] && P=orbstage-phone-fast served=3.2.1
  case $3-$2 in
  upgraded-*) sim=(--restart-seconds 3) code=0 text="upgraded 127.0.0.2 to $served" seen='going-down coming-back reading-version' ;;
  other-adapter) sim=(--restart-seconds 3 --version-after 9.9.9) code=7 LIMIT=() text='Version not matching' seen='going-down coming-back reading-version' ;;
  other-phone) sim=(--restart-seconds 3 --version-after 9.9.9) code=0 text='upgraded 127.0.0.2 to 9.9.9' seen='going-down coming-back reading-version' ;;
  not_restarted-*) sim=(--never-restart) code=7 text='ORB did not restart after firmware upload' seen=going-down ;;
  silent-*) sim=(--stay-down --restart-seconds 1) code=7 text='ORB not responding after firmware upload' seen='going-down coming-back' ;;
  *) fail "unknown row $2 $3" ;;
  esac
  start_sim "${sim[@]}"
  [ $code = 0 ] && LIMIT=()
  run_cli $P upgrade 127.0.0.2 --yes --json "${LIMIT[@]}"
  expect_code $code
  expect_last "$text"
  [ "$(phases)" = "$seen" ] || fail "phases '$(phases)', expected '$seen'"
  expect_received $P
  ;;

slow)
  # Down longer than the fixed wait: followed it is upgraded; the fixed wait
  # and its one read call it silent (exit 7 like orbstage, not 3).
  start_sim --restart-seconds 6
  run_cli orbflash-fast upgrade 127.0.0.2 --yes
  expect_code 0
  stop_sim
  start_sim --restart-seconds 6
  run_cli orbflash-fast upgrade 127.0.0.2 --yes --restart-wait fixed
  expect_code 7
  expect_last 'ORB not responding after firmware upload'
  ;;

short_down)
  # Down for less than a poll interval: the new version is the proof.
  start_sim --restart-seconds 0.2
  run_cli orbstage-fast upgrade 127.0.0.2 --yes "${LIMIT[@]}"
  expect_code 0
  stop_sim
  start_sim --restart-seconds 0.2
  run_cli orbflash-fast upgrade 127.0.0.2 --yes "${LIMIT[@]}"
  expect_code 0
  ;;

stale_nonce)
  # The restarted device calls the old nonce stale: renewed without a word.
  echo secret >"$WORK/pw"
  start_sim --user admin --password secret --restart-seconds 3
  run_cli orbflash-fast upgrade 127.0.0.2 --yes -p "$WORK/pw"
  expect_code 0
  expect_sim 'GET /admin/advanced -> 401 (stale nonce'
  ;;

staged)
  # Two images, each followed through its restart.
  start_sim --restart-seconds 1
  run_cli orbstage-staged-fast upgrade 127.0.0.2 --yes --json "${LIMIT[@]}"
  expect_code 0
  [ "$(grep -c '"event":"restart",.*"going-down"' "$WORK/out")" = 2 ] || fail "two restarts expected: $(phases)"
  expect_received orbstage-staged-fast
  ;;

fleet)
  # One device per verdict; the summary names each.
  mkdir -p "$WORK/received"
  "$ORBSIM" --count 4 --save-dir "$WORK/received" --restart-seconds 1 --on 2 --never-restart --on 3 --stay-down \
    --on 4 --version-after 9.9.9 >"$WORK/sim.log" 2>&1 &
  SIM_PID=$!
  wait_for_log sim.log '\[127.0.0.5\] web server listening' 20
  run_cli orbflash-fast upgrade 127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5 --yes --jobs 4 "${LIMIT[@]}"
  expect_code 9
  for row in '2 .*upgraded$' '3 .*did not restart after firmware upload (exit 7)' \
    '4 .*not responding after firmware upload (exit 7)' '5 .*Version not matching (exit 7)'; do
    grep -q "^orbflash: 127.0.0.$row" "$WORK/err" || fail "summary lacks '$row': $(cat "$WORK/err")"
  done
  expect_err 'restart: coming back'
  ;;

*) fail "unknown case $1" ;;
esac
pass
