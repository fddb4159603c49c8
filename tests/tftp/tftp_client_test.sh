#!/usr/bin/env bash
# One real TFTP client fetching from our listener (tftp_serve_driver) on
# 127.0.0.1, inside the private namespace netns.sh made for this test.
#   tftp_client_test.sh DRIVER ORBIMAGE CASE [LOSS_PERCENT]
# CASE: curl, curl-no-options, tftp-hpa, atftp, atftp-options, busybox,
# ignored, recovery, aligned, staged, rollover-<client>.
# With LOSS_PERCENT, nftables drops that share of all UDP datagrams.
set -u
driver=$1
orbimage=$2
case_name=$3
loss=${4:-0}
work=$(mktemp -d /tmp/tftp-client.XXXXXX)
driver_pid=
cleanup() {
  [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL ($case_name): $*" >&2
  [ -f "$work/client.log" ] && sed 's/^/  client: /' "$work/client.log" | tail -20 >&2
  [ -f "$work/driver.log" ] && sed 's/^/  driver: /' "$work/driver.log" | tail -40 >&2
  exit 1
}

make_image() {  # path size
  "$orbimage" make --code SvIrEo5 --version 7.5.3 --size "$2" --out "$1" >/dev/null || fail "orbimage"
}

start_driver() {  # image, then driver options
  local image=$1
  shift
  : >"$work/port"
  "$driver" "$image" --lifetime 200 "$@" >"$work/port" 2>"$work/driver.log" &
  driver_pid=$!
  # A large image takes a while to load in a sanitizer build.
  for _ in $(seq 600); do
    port=$(awk '/^port/ {print $2}' "$work/port")
    [ -n "$port" ] && return 0
    sleep 0.05
  done
  fail "the listener did not start"
}

# fetch CLIENT NAME OUT [seconds]: one read with a real client.
fetch() {
  local client=$1 name=$2 out=$3 limit=${4:-120}
  rm -f "$out"
  {
    case $client in
      curl) timeout "$limit" curl -s -o "$out" "tftp://127.0.0.1:$port/$name" ;;
      curl-no-options) timeout "$limit" curl -s --tftp-no-options -o "$out" "tftp://127.0.0.1:$port/$name" ;;
      tftp-hpa) timeout "$limit" tftp -m binary 127.0.0.1 "$port" -c get "$name" "$out" ;;
      atftp) timeout "$limit" atftp -g -r "$name" -l "$out" 127.0.0.1 "$port" ;;
      atftp-options)
        timeout "$limit" atftp --option "tsize 0" --option "timeout 5" -g -r "$name" -l "$out" 127.0.0.1 "$port" ;;
      busybox) timeout "$limit" busybox tftp -g -r "$name" -l "$out" 127.0.0.1 "$port" ;;
      *) echo "unknown client $client"; false ;;
    esac
  } >>"$work/client.log" 2>&1
}

same() { cmp -s "$1" "$2" || fail "$3: the bytes differ from the image"; }

# The listener ends the run, and the driver the process, after the upload
# and the restart wait (1 ms ticks in the driver): its log lists the steps.
driver_saw() {
  for _ in $(seq 200); do
    kill -0 "$driver_pid" 2>/dev/null || break
    sleep 0.05
  done
  grep -q -- "$1" "$work/driver.log" || fail "the driver did not show: $1"
}

# Random loss of UDP datagrams on arrival (dropping on the way out would
# hand the sender an error instead). atftp repeats an ACK only once until
# 5 s pass without any packet, which a server resending every 100 ms never
# allows, and busybox gives up after a run of lost answers to its repeated
# ACKs: for these two only the server's packets are dropped.
add_loss() {
  [ "$loss" = 0 ] && return 0
  local match="meta l4proto udp"
  case $case_name in atftp* | busybox) match="udp sport $port" ;; esac
  nft add table inet loss &&
    nft add chain inet loss in '{ type filter hook input priority 0; }' &&
    nft add rule inet loss in $match numgen random mod 100 '<' "$loss" drop ||
    fail "cannot set up nftables"
}

image=$work/image.img
name=/orb1a2b.bi1
start=$(date +%s%N)
case $case_name in
  curl | curl-no-options | tftp-hpa | atftp | atftp-options | busybox)
    size=4200090
    [ "$loss" != 0 ] && size=131072
    make_image "$image" $size
    start_driver "$image" --name $name
    add_loss
    fetch "$case_name" "$name" "$work/out" || fail "the client failed"
    same "$work/out" "$image" "$case_name"
    # Under loss the last ACK may be lost for good; the client's bytes are what counts.
    [ "$loss" = 0 ] && driver_saw "transfer-done $size/$size"
    ;;
  ignored)
    make_image "$image" 100000
    start_driver "$image" --name $name
    fetch curl /orb1a2c.bi1 "$work/wrong" 3 && fail "a wrong name was served"
    fetch busybox /ORB1A2B.BI1 "$work/case" 3 && fail "another letter case was served"
    echo put >"$work/upload"
    timeout 3 busybox tftp -p -l "$work/upload" -r "$name" 127.0.0.1 "$port" && fail "a write request was taken"
    fetch atftp "$name" "$work/out" || fail "the right name was not served afterwards"
    same "$work/out" "$image" "right name"
    driver_saw "close upload"
    [ "$(grep -c 'open upload' "$work/driver.log")" = 1 ] || fail "more than one transfer"
    ;;
  recovery)
    # Bound for the group too; a unicast request is still heard.
    make_image "$image" 300000
    start_driver "$image" --name /orb77.bin --group
    fetch curl /orb77.bin "$work/out" 30 || fail "the client failed"
    same "$work/out" "$image" recovery
    ;;
  aligned)
    make_image "$image" 1048576
    start_driver "$image" --name $name
    fetch atftp-options "$name" "$work/out" || fail "the client failed"
    same "$work/out" "$image" aligned
    driver_saw "transfer-done 1048576/1048576"
    ;;
  staged)
    transition=$work/transition.img
    make_image "$image" 300000
    "$orbimage" make --code SvIrEo5 --version 7.0.0 --size 200000 --seed 9 --out "$transition" >/dev/null
    start_driver "$image" --program stage --transition "$transition" --name /orb10.bi0 --next-name /orb2f.bi1 --web
    fetch curl /orb10.bi0 "$work/first" || fail "the transition image"
    same "$work/first" "$transition" transition
    for _ in $(seq 100); do
      fetch busybox /orb2f.bi1 "$work/second" 3 && break
    done
    same "$work/second" "$image" target
    driver_saw "transfer-done 300000/300000"
    wait "$driver_pid"
    status=$?
    driver_pid=
    [ "$status" = 0 ] || fail "the run did not end after the target (status $status)"
    grep -q "transfer-done 200000/200000" "$work/driver.log" ||
      fail "no transition upload"
    ;;
  rollover-*)
    # 66,407 blocks: the block number passes 65535 and starts again at 0.
    make_image "$image" 34000000
    start_driver "$image" --name $name
    fetch "${case_name#rollover-}" "$name" "$work/out" || fail "the client failed"
    same "$work/out" "$image" rollover
    driver_saw "transfer-done 34000000/34000000"
    ;;
  *)
    fail "unknown case"
    ;;
esac
end=$(date +%s%N)
echo "PASS ($case_name, loss $loss%): $(( (end - start) / 1000000 )) ms"
