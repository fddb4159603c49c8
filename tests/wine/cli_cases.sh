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

*) fail "unknown case $1" ;;
esac
pass
