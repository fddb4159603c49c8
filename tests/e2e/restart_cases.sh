#!/usr/bin/env bash
# The command line follows the device's restart: a row per case (verdicts
# for an adapter and a phone, slower than the fixed wait, a down too short
# to see, a stale nonce, two stages), and a fleet. The fast builds' fixed
# wait (1 to 4 s; 3 to 12 s in the ThreadSanitizer build) is the limit where
# --restart-timeout 1 is given.
source "$(dirname "$0")/e2e_lib.sh"
echo secret >"$WORK/pw"
BACK='going-down coming-back reading-version'
# NAME|PROGRAM|ORBSIM OPTIONS|PROGRAM OPTIONS|EXIT STATUS|LAST LINE|RESTART PHASES (- unchecked)
ROWS=(
  "upgraded_adapter|orbflash-fast|--restart-seconds 3 --user admin --password secret|-p $WORK/pw|0|to 7.5.3$|$BACK"
  "upgraded_phone|orbstage-phone-fast|--restart-seconds 3 --product ORB-P10||0|to 3.2.1$|$BACK"
  "other_adapter|orbflash-fast|--restart-seconds 3 --version-after 9.9.9||7|Version not matching|$BACK"
  "other_phone|orbstage-phone-fast|--restart-seconds 3 --version-after 9.9.9 --product ORB-P10||0|to 9.9.9$|$BACK"
  "not_restarted_adapter|orbflash-fast|--never-restart|--restart-timeout 1|7|did not restart after firmware upload|going-down"
  "not_restarted_phone|orbstage-phone-fast|--never-restart --product ORB-P10|--restart-timeout 1|7|did not restart after firmware upload|going-down"
  "silent_adapter|orbflash-fast|--stay-down --restart-seconds 1|--restart-timeout 3|7|not responding after firmware upload|going-down coming-back"
  "silent_phone|orbstage-phone-fast|--stay-down --restart-seconds 1 --product ORB-P10|--restart-timeout 3|7|not responding after firmware upload|going-down coming-back"
  "slow|orbflash-fast|--restart-seconds 6||0|to 7.5.3$|$BACK"
  "slow_fixed|orbflash-fast|--restart-seconds 30|--restart-wait fixed|7|not responding after firmware upload|-"
  "phone_fixed|orbstage-phone-fast|--never-restart --product ORB-P10|--restart-wait fixed|7|did not restart after firmware upload|-"
  "short_down|orbstage-fast|--restart-seconds 0.2|--restart-timeout 1|0|to 7.5.3$|-"
  "staged|orbstage-staged-fast|--restart-seconds 3||0|to 7.5.3$|$BACK $BACK"
  "old_phone|orbstage-phone-fast|--restart-seconds 3 --version-after 7.0.0 --product ORB-P10|--restart-timeout 6|7|Version not matching|$BACK"
  "other_device|orbflash-fast|--restart-seconds 1 --impostor ORB0099999|--restart-timeout 1|7|address (serial ORB0099999, MAC 000E08123457; the ORB: serial ORB0012345, MAC 000E08123456)$|-"
  "no_version_page|orbflash-fast|--restart-seconds 1 --after-restart-page garbage|--restart-timeout 1|7|not responding after firmware upload|-"
  "no_version_forced|orbflash-fast|--restart-seconds 1 --after-restart-page no-version --version 7.5.3|--restart-timeout 1 --force|7|not responding after firmware upload|-"
  "basic_challenge_after|orbflash-fast|--restart-seconds 1 --after-restart-status 401plain|--restart-timeout 1|7|not responding after firmware upload|-"
  "trigger_answered_401|orbstage-fast|--restart-seconds 1 --trigger-status 401|--restart-timeout 1|0|to 7.5.3$|-"
)

case ${1:?case} in
fleet)
  # One device per verdict; the summary names each, the lines the phases.
  mkdir -p "$WORK/received"
  "$ORBSIM" --count 5 --save-dir "$WORK/received" --restart-seconds 1 --on 2 --never-restart --on 3 --stay-down \
    --on 4 --version-after 9.9.9 --on 5 --impostor ORB0099999 >"$WORK/sim.log" 2>&1 &
  SIM_PID=$!
  wait_for_log sim.log '\[127.0.0.6\] web server listening' 20
  run_cli orbflash-fast upgrade 127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5 127.0.0.6 --yes --jobs 5 --restart-timeout 1 --json
  expect_code 9
  for row in '2 .*7.0.0 *7.5.3 .*upgraded$' '3 .*did not restart after firmware upload (exit 7)' \
    '4 .*7.0.2 *- .*not responding after firmware upload (exit 7)' '5 .*7.0.3 *9.9.9 .*Version not matching (exit 7)' \
    '6 *ORB0012349 .*serial ORB0099999, .*the ORB: serial ORB0012349, .*(exit 7)'; do
    grep -q "^orbflash: 127.0.0.$row" "$WORK/err" || fail "summary lacks '$row': $(cat "$WORK/err")"
  done
  # after: only a version read after the upload, from the device itself.
  for after in 2:7.5.3 3:7.0.1 4: 5:9.9.9 6:; do
    grep '"event":"summary"' "$WORK/out" | grep -q "\"device\":\"127.0.0.${after%%:*}\"[^}]*\"after\":\"${after#*:}\"" ||
      fail "127.0.0.${after%%:*}: after is not '${after#*:}'"
  done
  expect_err 'restart: coming back'
  ;;
*)
  for row in "${ROWS[@]}"; do
    IFS='|' read -r name P sim options code text phases <<<"$row"
    [ "$name" = "$1" ] || continue
    read -r -a sim <<<"$sim"
    read -r -a options <<<"$options"
    start_sim "${sim[@]}"
    run_cli "$P" upgrade 127.0.0.2 --yes --json "${options[@]}"
    expect_code "$code"
    # Nothing read after the upload is shown or judged as if it were.
    case $text in *responding* | *serial*) expect_no_err 'the device reports software' ;; esac
    tail -n 1 "$WORK/err" | grep -q -- "$text" || fail "last line is not '$text': $(tail -n 1 "$WORK/err")"
    seen=$(grep '"event":"restart",' "$WORK/out" | grep -o '"phase":"[a-z-]*"' | cut -d'"' -f4 | xargs)
    [ "$phases" = - ] || [ "$seen" = "$phases" ] || fail "phases '$seen', expected '$phases'"
    [[ ${sim[*]} != *--password* ]] || expect_sim 'GET /admin/advanced -> 401 (stale nonce'
    expect_received "$P"
    pass
  done
  fail "unknown case $1"
  ;;
esac
pass
