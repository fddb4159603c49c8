#!/usr/bin/env bash
# The command line of both programs end to end against the simulated device:
# scripted upgrades, an exit status for each kind of failure, usage errors,
# JSON events, another image, the already-current device, check and Ctrl+C.
# One case per run, most for either program (orbflash, orbstage: their
# -fast builds).
source "$(dirname "$0")/e2e_lib.sh"
ORBIMAGE=$ORB_BUILD/tools/orbimage/orbimage
PW='Tr0ub4dor&3'
# The first line is the password; a byte-order mark, CR LF and a second
# line must not count.
printf '\xEF\xBB\xBF%s\r\nnot-the-password\n' "$PW" >"$WORK/pw"
DIGEST=(--user admin --password "$PW")

expect_password_unshown() { ! grep -qF -- "$PW" "$WORK/out" "$WORK/err" || fail "the password was printed"; }
last_err_line() { tail -n 1 "$WORK/err"; }

# expect_failure NAME CODE TEXT [ORBSIM-OPTIONS...] [-- PROGRAM-OPTIONS...]:
# one upgrade against a device that misbehaves so; ends with CODE and TEXT
# on the last line of standard error, nothing on standard output.
expect_failure() {
  local program=$1 code=$2 text=$3 sim=() options=()
  shift 3
  while [ $# -gt 0 ] && [ "$1" != -- ]; do sim+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  options=("$@")
  start_sim --restart-seconds 1 "${sim[@]}"
  run_cli "$program" upgrade 127.0.0.2 --yes "${options[@]}"
  expect_code "$code"
  last_err_line | grep -q -- "^${program%-fast}: 127.0.0.2: .*$text" || fail "last line is not '$text': $(last_err_line)"
  [ ! -s "$WORK/out" ] || fail "standard output is not empty"
}

# check_json FILE VERSION: every line an object with an event, in the order
# of an upgrade that ends with VERSION on the device.
check_json() {
  python3 - "$1" "$2" <<'EOF' || fail "JSON events: see above"
import json, sys
path, version = sys.argv[1], sys.argv[2]
events = []
for number, line in enumerate(open(path, encoding="ascii"), 1):
    try:
        event = json.loads(line)
    except ValueError as error:
        sys.exit(f"line {number} is no JSON ({error}): {line!r}")
    if not isinstance(event, dict) or not isinstance(event.get("event"), str):
        sys.exit(f"line {number} is no object with an event: {line!r}")
    if event.get("device") != "127.0.0.2":
        sys.exit(f"line {number} names another device: {line!r}")
    events.append(event)
names = [e["event"] for e in events]
# The steps in order, repeats of one step counted once; the trigger's answer
# may come in before or after the transfer starts.
shown = [n for n in names if n not in ("trigger", "restart-progress")]
steps = [n for i, n in enumerate(shown) if i == 0 or n != shown[i - 1]]
expected = ["start", "status-read", "facts", "waiting", "transfer", "progress", "restart", "version", "result"]
if steps != expected:
    sys.exit(f"steps {steps}, expected {expected}")
if names.count("trigger") != 1 or not names.index("facts") < names.index("trigger") < names.index("result"):
    sys.exit(f"one trigger after the facts expected: {names}")
if events[names.index("trigger")]["status"] != 200:
    sys.exit(f"the device's answer to the trigger was 200: {events[names.index('trigger')]}")
start, facts, transfer = events[0], events[names.index("facts")], events[names.index("transfer")]
progress = [e for e in events if e["event"] == "progress"]
sizes = [e["bytes"] for e in progress]
if sizes != sorted(sizes) or sizes[-1] != transfer["total"] or any(e["total"] != transfer["total"] for e in progress):
    sys.exit(f"progress {sizes} does not rise to {transfer['total']}")
if transfer["total"] != start["size"]:
    sys.exit(f"transfer of {transfer['total']} bytes, start said {start['size']}")
phases = [e["phase"] for e in events if e["event"] == "restart"]
elapsed = [e["elapsed"] for e in events if e["event"].startswith("restart")]
if phases[0] != "going-down" or phases[-1] != "reading-version" or elapsed != sorted(elapsed):
    sys.exit(f"restart phases {phases}, seconds {elapsed}")
if facts["software"] != "7.0.0" or facts["serial"] != "ORB0012345":
    sys.exit(f"facts {facts}")
result = events[-1]
if events[names.index("version")]["version"] != version or result["version"] != version:
    sys.exit(f"version {version} expected: {events[-2:]}")
if result["code"] != 0 or result["outcome"] != "success" or result["bytes_sent"] != transfer["total"]:
    sys.exit(f"result {result}")
EOF
}

# two_interfaces ORBSIM-OPTIONS...: this PC with 198.19.0.1 on a first
# interface and 198.18.0.1 on a second, toward the device 198.18.0.2 in a
# namespace of its own (each end a veth pair).
two_interfaces() {
  ip link add other0 type veth peer name other1 && ip addr add 198.19.0.1/24 dev other0 &&
    ip link set other0 up && ip link add pc0 type veth peer name dev0 &&
    ip addr add 198.18.0.1/24 dev pc0 && ip link set pc0 up || fail "no veth pairs"
  unshare -n bash -c 'until ip link show dev0 >/dev/null 2>&1; do sleep 0.1; done
    ip link set lo up && ip addr add 198.18.0.2/24 dev dev0 && ip link set dev0 up &&
    ip route add 224.0.0.0/4 dev dev0 && exec "$0" --address 198.18.0.2 --save "$@"' \
    "$ORBSIM" "$WORK/received.img" "$@" >"$WORK/sim.log" 2>&1 &
  SIM_PID=$!
  # Moved only once the device's namespace exists, or it would stay here.
  for _ in $(seq 100); do
    [ "$(readlink /proc/$SIM_PID/ns/net)" != "$(readlink /proc/self/ns/net)" ] && break
    sleep 0.1
  done
  ip link set dev0 netns "$SIM_PID" || fail "cannot move dev0"
  wait_for_log sim.log 'listening' 20
}

case ${1:?case} in
scripted)
  # PROGRAM file|environment: the password from a file or ORB_PASSWORD,
  # --yes, traces on; the device gets the image, the password stays unshown.
  P=$2-fast
  start_sim "${DIGEST[@]}" --qop auth --restart-seconds 1
  if [ "$3" = file ]; then
    # The file wins over the environment.
    ORB_PASSWORD=not-the-password run_cli "$P" upgrade 127.0.0.2 --password-file "$WORK/pw" --yes --verbose
  else
    ORB_PASSWORD=$PW run_cli "$P" upgrade --yes -v 127.0.0.2
  fi
  expect_code 0
  expect_received "$P"
  expect_err "^${P%-fast}: upgraded 127.0.0.2 to 7.5.3$"
  [ "$(count_sim 'GET /admin/upgrade?tftp://127.0.0.1:69/orb[0-9a-f]*\.bi1 -> 200')" = 1 ] || fail "one trigger expected"
  expect_sim 'GET /admin/advanced -> 401 (no credentials'
  [ ! -s "$WORK/out" ] || fail "standard output is not empty without --json"
  expect_password_unshown
  ;;

failure)
  # Each kind of failure and its exit status (-q: only the result is shown).
  case ${2:?row} in
  silent_device) expect_failure orbflash-fast 3 'No Response From ORB' --http-close ;;
  wrong_password) expect_failure orbstage-fast 4 'refused the user name and password' --user admin --password other \
    -- -p "$WORK/pw"
    # A refused password is not sent again: devices may lock out after a few.
    [ "$(count_sim '^orbsim: GET ')" = 2 ] && [ "$(count_sim '(wrong response')" = 1 ] ||
      fail "the credentials went out more than once: $(grep 'GET ' "$WORK/sim.log")" ;;
  no_password) expect_failure orbflash-fast 4 'requires a password' "${DIGEST[@]}" ;;
  never_back) expect_failure orbstage-fast 7 'not responding after firmware upload' --stay-down -- --restart-timeout 1 ;;
  other_version) expect_failure orbflash-fast 7 'Version not matching' --version-after 9.9.9 -- -q
    [ "$(wc -l <"$WORK/err")" = 1 ] || fail "--quiet shows more than the result: $(cat "$WORK/err")"
    # With a log and a report, one device keeps its own exit status. A fresh
    # device: one back on 9.9.9 again would tell its restart only by a down
    # that two polls may miss.
    kill "$SIM_PID" && wait "$SIM_PID" 2>/dev/null
    start_sim --restart-seconds 1 --version-after 9.9.9
    run_cli orbflash-fast upgrade 127.0.0.2 --yes --log-dir "$WORK" --report "$WORK/report.csv"
    expect_code 7
    grep -q 'Version not matching' "$WORK/127.0.0.2.log" &&
      grep -q '"Upgrade Failed: Version not matching (exit 7)",7,' "$WORK/report.csv" || fail "no log or report" ;;
  tftp_stall) expect_failure orbstage-fast 6 'Firmware Upload Incomplete' --stall-after 20 --tftp-retries 1000 \
    --tftp-deadline 200 ;;
  never_fetched) expect_failure orbflash-fast 6 'did not request the firmware' --no-fetch -- --fetch-timeout 1 ;;
  nobody_listens)
    run_cli orbflash-fast upgrade 127.0.0.9 --yes
    expect_code 3
    last_err_line | grep -q "^orbflash: 127.0.0.9: .*Can't connect to ORB" || fail "last line: $(last_err_line)" ;;
  not_an_image)
    printf 'no image at all\n' >"$WORK/not.img"
    expect_failure orbflash-fast 8 'not a firmware image' -- --image "$WORK/not.img"
    # Damaged: the length field says more or less than the file holds, or no marker; check says so too.
    "$ORBIMAGE" make --code SvIrEo5 --version 7.6.0 --size 3000 --out "$WORK/good.img" &&
      "$ORBIMAGE" make --code SvIrEo5 --version 7.6.0 --size 3000 --no-marker --out "$WORK/unmarked.img" || fail orbimage
    head -c 2999 "$WORK/good.img" >"$WORK/cut.img" && { cat "$WORK/good.img"; echo; } >"$WORK/padded.img"
    for row in "cut|its length field says 3000 bytes, the file has 2999" "padded|its length field says 3000 bytes, the file has 3001" \
      "unmarked|no image marker at offset 8"; do
      for command in upgrade check; do
        run_cli orbflash-fast "$command" 127.0.0.2 --yes --image "$WORK/${row%%|*}.img"
        expect_code 8
        last_err_line | grep -q "127.0.0.2: $WORK/${row%%|*}.img: damaged image: ${row#*|}$" || fail "$row: $(last_err_line)"
      done
    done
    expect_no_sim 'GET ' ;;
  *) fail "unknown row $2" ;;
  esac
  expect_password_unshown
  ;;

usage)
  # PROGRAM: each mistake is exit status 2 and one line naming it, with a
  # hint at --help, before the device hears anything ('' is an empty word).
  # A FIFO must be refused, never opened: it would block.
  P=$2-fast
  start_sim
  mkfifo "$WORK/fifo"
  printf '%0127d\n' 0 >"$WORK/long"
  # A report must never take the place of what the run reads or logs to.
  printf '127.0.0.2 admin %s\n' "$WORK/pw" >"$WORK/devices"
  cp "$(image_of "$P")" "$WORK/copy.img"
  ln "$WORK/pw" "$WORK/pw-hard" && ln -s "$WORK/pw" "$WORK/pw-link" || fail "no links"
  given() { md5sum "$WORK/pw" "$WORK/devices" "$WORK/copy.img"; }
  before=$(given)
  ROWS=(
    "--bogus upgrade 127.0.0.2 --yes|unknown option '--bogus'"
    "upgrade 127.0.0.2 --yes --password-file|--password-file: missing value"
    "upgrade 127.0.0.256 --yes|upgrade: not the address of a host: '127.0.0.256'"
    "check 224.0.0.1|check: not the address of a host: '224.0.0.1'"
    "upgrade 0.0.0.0 --yes|upgrade: not the address of a host"
    "upgrade 127.0.0..2 --yes|upgrade: not the address of a host: '127.0.0..2'"
    "upgrade 127*0*0*2 --yes|upgrade: not the address of a host: '127*0*0*2'"
    "check 127.0.0.2.|check: not the address of a host: '127.0.0.2.'"
    "-p $WORK/missing upgrade 127.0.0.2 --yes|--password-file: cannot read $WORK/missing"
    "-p $WORK upgrade 127.0.0.2 --yes|--password-file: $WORK is a directory, not a file"
    "-p $WORK/fifo upgrade 127.0.0.2 --yes|--password-file: $WORK/fifo is a FIFO, not a file"
    "-p $WORK/long upgrade 127.0.0.2 --yes|--password-file: longer than the 126 characters a device takes"
    "-p '' upgrade 127.0.0.2 --yes|--password-file: empty value"
    "--image '' upgrade 127.0.0.2 --yes|--image: empty value"
    "--image= upgrade 127.0.0.2 --yes|--image: empty value"
    "--image $WORK upgrade 127.0.0.2 --yes|--image: $WORK is a directory, not a file"
    "--image $WORK/fifo upgrade 127.0.0.2 --yes|--image: $WORK/fifo is a FIFO, not a file"
    "--devices '' upgrade --yes|--devices: empty value"
    "--devices= upgrade --yes|--devices: empty value"
    "--devices $WORK/fifo upgrade --yes|--devices: $WORK/fifo is a FIFO, not a file"
    "--log-dir '' upgrade 127.0.0.2 127.0.0.3 --yes|--log-dir: empty value"
    "--log-dir= upgrade 127.0.0.2 127.0.0.3 --yes|--log-dir: empty value"
    "--jobs 1001 upgrade 127.0.0.2 127.0.0.3 --yes|--jobs: not a number of devices from 1 to 100: '1001'"
    "--max-failures 0 upgrade 127.0.0.2 127.0.0.3 --yes|--max-failures: not a number of failures from 1 on"
    "--jobs 4 upgrade 127.0.0.2 --yes|--jobs: for several devices (a fleet)"
    "--canary 0 check 127.0.0.2|--canary: for several devices (a fleet)"
    "--max-failures 3 upgrade 127.0.0.2 --yes|--max-failures: for several devices (a fleet)"
    "--log-dir $WORK/none upgrade 127.0.0.2 --yes|--log-dir: $WORK/none does not exist"
    "--user ad"$'\x01'"min upgrade 127.0.0.2 --yes|--user: holds a control character"
    "-p $WORK/pw --report $WORK/pw-hard upgrade 127.0.0.2 --yes|--report: $WORK/pw-hard is the same file as --password-file $WORK/pw"
    "--devices $WORK/devices --report $WORK/devices upgrade --yes|--report: $WORK/devices is the same file as --devices"
    "--devices $WORK/devices --report $WORK/pw-hard upgrade --yes|--report: $WORK/pw-hard is the same file as the password file of 127.0.0.2"
    "--image $WORK/copy.img --report $WORK/copy.img check 127.0.0.2|--report: $WORK/copy.img is the same file as --image"
    "--log-dir $WORK --report $WORK/127.0.0.2.log check 127.0.0.2|--report: $WORK/127.0.0.2.log is the same file as the log of 127.0.0.2"
    "--report $WORK/pw-link check 127.0.0.2|--report: $WORK/pw-link is a symbolic link"
    "--quiet --verbose upgrade 127.0.0.2 --yes|--quiet and --verbose"
    "--local 127.0.0.9 upgrade 127.0.0.2 --yes|--local: 127.0.0.9 is not an address of this PC"
    "upgrade 127.0.0.2|no terminal to confirm the upgrade on: give --yes"
    "--fetch-timeout 0 upgrade 127.0.0.2 --yes|--fetch-timeout: not a number of seconds"
    "--json=yes upgrade 127.0.0.2 --yes|--json: takes no value"
    "upgrade|upgrade: missing ADDRESS"
  )
  if [ "$2" = orbflash ]; then
    ROWS+=("recover ORB_0012345 --yes|recover: not a serial number: 'ORB_0012345'"
      "recover ORB0012345 ORB0012346 --yes|recover: one device at a time"
      "--devices $WORK/long recover ORB0012345 --yes|--devices: only with upgrade or check"
      "recover ORB00123450012345678 --yes|recover: not a serial number"
      "--log-dir $WORK recover ORB0012345 --yes|--log-dir: only with upgrade or check"
      "--transition-image $WORK/pw upgrade 127.0.0.2 --yes|unknown option '--transition-image'")
  else
    ROWS+=("recover ORB0012345 --yes|unknown command 'recover'"
      "--transition-image '' upgrade 127.0.0.2 --yes|--transition-image: empty value"
      "--transition-image= upgrade 127.0.0.2 --yes|--transition-image: empty value"
      "--transition-image $WORK/fifo upgrade 127.0.0.2 --yes|--transition-image: $WORK/fifo is a FIFO")
  fi
  for row in "${ROWS[@]}"; do
    read -r -a words <<<"${row%%|*}"
    for i in "${!words[@]}"; do [ "${words[$i]}" = "''" ] && words[$i]=; done
    run_cli "$P" "${words[@]}"
    [ "$RC" = 2 ] || fail "'${row%%|*}': exit code $RC, expected 2"
    grep -qF -- "${P%-fast}: ${row#*|}" "$WORK/err" || fail "'${row%%|*}': $(cat "$WORK/err")"
    [ "$(wc -l <"$WORK/err")" = 1 ] && grep -q " (see ${P%-fast} --help)$" "$WORK/err" ||
      fail "'${row%%|*}': not one line ending in the hint: $(cat "$WORK/err")"
    [ ! -s "$WORK/out" ] || fail "'${row%%|*}': standard output is not empty"
  done
  expect_no_sim 'GET '
  [ "$(given)" = "$before" ] || fail "a file given to a run was changed"
  # The longest password a device takes, and links to the files read, are fine.
  printf '%0126d\n' 0 >"$WORK/longest"
  for file in longest copy.img devices; do ln -s "$WORK/$file" "$WORK/$file-link"; done
  run_cli "$P" check --devices "$WORK/devices-link" -p "$WORK/longest-link" --image "$WORK/copy.img-link"
  expect_code 0
  ;;

json)
  # PROGRAM: --json events, parsed line by line; facts with a quote, a
  # backslash and an escape sequence stay one valid object.
  P=$2-fast
  # Down longer than a poll's 2 s: the forced run below serves the version
  # the device already has, and only its down tells that it restarted.
  start_sim --restart-seconds 5 --product $'ORBQ4x4 "x\\y"\e[2J'
  run_cli "$P" --json upgrade 127.0.0.2 --yes
  expect_code 0
  check_json "$WORK/out" 7.5.3
  sum=$(sha256sum <"$(image_of "$P")" | cut -c1-64)
  [ "$(grep -o "\"image_sha256\":\"$sum\"" "$WORK/out" | wc -l)" = 3 ] || fail "the image's SHA-256 in start, its list, result"
  grep '"event":"facts"' "$WORK/out" | python3 -c 'import json,sys; p=json.load(sys.stdin)["product"]; sys.exit(p != "ORBQ4x4 \"x\\y\"\x1b[2J")' ||
    fail "the product is not carried exactly: $(grep facts "$WORK/out")"
  ! grep -q $'\e' "$WORK/out" "$WORK/err" || fail "an escape byte reached the output"
  expect_received "$P"
  # A reader that goes away after three events ends the events, not the run.
  rm "$WORK/received.img"
  timeout 120 "$(program_path "$P")" --json upgrade 127.0.0.2 --yes --force </dev/null 2>"$WORK/err" | head -n 3 >/dev/null
  RC=${PIPESTATUS[0]}
  expect_code 0
  expect_received "$P"
  expect_err "upgraded 127.0.0.2 to 7.5.3$"
  ;;

image)
  # PROGRAM: --image of another version: the device gets exactly that file
  # and reports its version after the restart.
  P=$2-fast
  "$ORBIMAGE" make --code SvIrEo5 --version 7.6.0 --size 300000 --seed 3 --out "$WORK/new.img" >/dev/null ||
    fail "orbimage failed"
  start_sim --restart-seconds 1
  run_cli "$P" upgrade 127.0.0.2 --yes --image "$WORK/new.img"
  expect_code 0
  cmp -s "$WORK/received.img" "$WORK/new.img" || fail "the device did not receive exactly the given image"
  expect_sim 'up again, software version 7.6.0'
  expect_err 'the device reports software 7.6.0'
  expect_err "upgraded 127.0.0.2 to 7.6.0$"
  # Images for another product, or for none the program knows, are refused
  # before any trigger, naming both; check calls it a problem.
  for other in vIrEp10:ORB-P10 zzzzzzz:ODM-Product; do
    "$ORBIMAGE" make --code "${other%%:*}" --version 9.9.9 --size 3000 --out "$WORK/other.img" >/dev/null ||
      fail "orbimage failed"
    run_cli "$P" upgrade 127.0.0.2 --yes --image "$WORK/other.img"
    expect_code 8
    expect_err "The image is for ${other#*:}, but the device is ORBQ4x4"
    run_cli "$P" check 127.0.0.2 --image "$WORK/other.img"
    expect_code 8
    expect_err "problem: model: the image is for ${other#*:}"
  done
  [ "$(count_sim 'upgrade?tftp')" = 1 ] || fail "an image for another model was triggered"
  ;;

already_current)
  # PROGRAM: a device at the image's version is left alone, unless forced.
  P=$2-fast
  # Down longer than a poll's 2 s: only the down tells a restart here.
  start_sim --version 7.5.3 --restart-seconds 5
  run_cli "$P" upgrade 127.0.0.2 --yes
  expect_code 0
  expect_err "127.0.0.2 is already at 7.5.3$"
  expect_no_sim 'upgrade?tftp'
  run_cli "$P" upgrade 127.0.0.2 --yes --force
  expect_code 0
  [ "$(count_sim 'upgrade?tftp')" = 1 ] || fail "--force: one trigger expected"
  expect_received "$P"
  ;;

check)
  # PROGRAM: a healthy device, the same with a wrong password, then none.
  P=$2-fast
  start_sim "${DIGEST[@]}"
  run_cli "$P" check 127.0.0.2 -p "$WORK/pw"
  expect_code 0
  expect_err "ok: image: built in, 7.5.3 for .*, SHA-256 $(sha256sum <"$(image_of "$P")" | cut -c1-64)$"
  expect_err 'ok: credentials: accepted'
  expect_err 'ok: version: 7.5.3 would be served; the device runs 7.0.0'
  expect_no_err 'problem'
  printf 'wrong\n' >"$WORK/wrong"
  run_cli "$P" check 127.0.0.2 -p "$WORK/wrong"
  expect_code 4
  expect_err 'problem: credentials: refused by the device'
  expect_no_sim 'upgrade?tftp'
  stop_sim
  run_cli "$P" check 127.0.0.2 -p "$WORK/pw"
  expect_code 3
  expect_err 'problem: web server: no answer from the device'
  expect_password_unshown
  ;;

local_route)
  # Two interfaces, the other one listed first: the command line takes this
  # PC's address toward the device, as the routes say, and check says why.
  P=orbflash-fast
  two_interfaces --restart-seconds 1
  run_cli "$P" --list-addresses
  [ "$(head -1 "$WORK/out")" = 198.19.0.1 ] || fail "the other interface is not listed first: $(cat "$WORK/out")"
  run_cli "$P" check 198.18.0.2
  expect_code 0
  expect_err "local address: 198.18.0.1, the address this PC's routes use toward 198.18.0.2"
  run_cli "$P" upgrade 198.18.0.2 --yes
  expect_code 0
  expect_sim 'upgrade?tftp://198.18.0.1:'
  expect_received "$P"
  ;;

recover_route)
  # The search goes out on the interface of the address chosen, not where
  # the routes send multicast (here: loopback).
  two_interfaces --recovery --serial ORB0012345 --restart-seconds 1
  run_cli orbflash-fast recover ORB0012345 --yes --local 198.18.0.1
  expect_code 0
  expect_received orbflash-fast
  ;;
interrupt)
  # PROGRAM: Ctrl+C while the device has stopped acknowledging.
  P=$2-fast
  start_sim --stall-after 50 --tftp-retries 1000 --tftp-deadline 120
  start_cli "$P" upgrade 127.0.0.2 --yes --json
  wait_for_log sim.log 'TFTP stalling' 60
  kill -INT "$PROGRAM_PID"
  wait_program 30
  expect_code 130
  expect_err 'User Abort'
  tail -n 1 "$WORK/out" | grep -q '"event":"result".*"code":130' || fail "no result event with code 130"
  # check too, while a web request hangs: cancelled at once, not 30 s later.
  stop_sim
  start_sim --http-hang 300
  start_cli "$P" check 127.0.0.2
  wait_for_log sim.log 'holding the connection' 20
  kill -INT "$PROGRAM_PID"
  wait_program 15
  expect_code 130
  ;;

recover_found)
  # Found by its serial number, flashed and back with the image's version;
  # the JSON events name the device as the command line did, every one.
  start_sim --recovery --serial ORB0012345 --restart-seconds 1
  run_cli orbflash-fast recover orb0012345 --yes --json
  expect_code 0
  expect_received orbflash-fast
  expect_sim 'TFTP RRQ /orb[0-9a-f]*\.bin to 234.4.8.10:69'
  expect_err 'upgraded orb0012345 (127.0.0.2) to 7.5.3$'
  python3 -c '
import json, sys
events = [json.loads(line) for line in open(sys.argv[1])]
names = {e["device"] for e in events}
last = events[-1]
sys.exit(names != {"orb0012345"} or last["event"] != "result" or last["code"] != 0)' "$WORK/out" ||
    fail "JSON events: $(cat "$WORK/out")"
  ;;

recover_not_found)
  # A device in recovery mode with another serial number never answers.
  start_sim --recovery --serial ORB0012345
  run_cli orbflash-fast recover ORB0099999 --yes
  expect_code 5
  expect_err 'Recovery Failed: Cannot find the'
  expect_sim 'for serial ORB0099999 ignored'
  expect_no_sim 'RRQ'
  # Ctrl+C while it searches: cancelled.
  start_cli orbflash-fast recover ORB0099999 --yes
  before=$(count_sim 'for serial ORB0099999 ignored')
  deadline=$((SECONDS + 30))
  until [ "$(count_sim 'for serial ORB0099999 ignored')" -gt "$before" ]; do
    [ $SECONDS -lt $deadline ] || fail "no search within 30 s"
    sleep 0.1
  done
  kill -INT "$PROGRAM_PID"
  wait_program 15
  expect_code 130
  ;;

apache)
  # Apache's mod_auth_digest guards orbsim (port 8080, mod_proxy): check and an upgrade get through; then a 503.
  A=$WORK/apache && mkdir -p -m 755 "$A/logs" && chmod 711 "$WORK" || fail "no folder"  # workers run as nobody
  printf '%s\n%s\n' "$PW" "$PW" | setsid -w htdigest -c "$A/users" "ORB Device" admin >/dev/null 2>&1 || fail htdigest
  { for m in mpm_event authn_core authn_file authz_core authz_user auth_digest proxy proxy_http; do
      echo "LoadModule ${m}_module /usr/lib/apache2/modules/mod_$m.so"; done
    printf '%s\n' "ServerRoot $A" "PidFile logs/pid" "Listen 127.0.0.2:80" "User nobody" "Group nogroup" \
      "<Location /admin/>" "AuthType Digest" 'AuthName "ORB Device"' "AuthUserFile $A/users" "Require valid-user" \
      "ProxyPass http://127.0.0.2:8080/admin/ retry=0" "</Location>"; } >"$A/httpd.conf"
  /usr/sbin/apache2 -f "$A/httpd.conf" -DFOREGROUND >"$A/stderr" 2>&1 &
  trap "kill $! 2>/dev/null; wait $! 2>/dev/null; cleanup" EXIT
  wait_for_log apache/logs/error_log 'resuming normal operations' 20
  start_sim --port 8080 --restart-seconds 1
  run_cli orbflash-fast check 127.0.0.2 -p "$WORK/pw"
  expect_code 0
  run_cli orbflash-fast upgrade 127.0.0.2 -p "$WORK/pw" --yes
  expect_code 0
  expect_received orbflash-fast
  [ "$(grep -c 'uri mismatch - <> does not match' "$A/logs/error_log")" = 2 ] || fail "one uri mismatch a run expected"
  stop_sim
  run_cli orbflash-fast upgrade 127.0.0.2 -p "$WORK/pw" --yes
  expect_code 1
  last_err_line | grep -q 'Upgrade Failed: The ORB answered HTTP 503 Service Unavailable$' || fail "$(last_err_line)"
  ;;

*) fail "unknown case $1" ;;
esac
pass
