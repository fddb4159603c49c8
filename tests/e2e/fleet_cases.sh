#!/usr/bin/env bash
# Fleets end to end: one orbsim process holds the devices, on 127.0.0.2 and
# up; orbflash-fast upgrades (or checks) them with --devices.
source "$(dirname "$0")/e2e_lib.sh"
P=orbflash-fast
ORBIMAGE=$ORB_BUILD/tools/orbimage/orbimage

# start_fleet COUNT ORBSIM-OPTIONS...: the devices, each saving what it gets.
start_fleet() {
  local count=$1
  shift
  mkdir -p "$WORK/received"
  "$ORBSIM" --count "$count" --save-dir "$WORK/received" --log-time "$@" >"$WORK/sim.log" 2>&1 &
  SIM_PID=$!
  wait_for_log sim.log "\[127.0.0.$((count + 1))\] web server listening" 20
}

# devices_file FIRST LAST: one line per address, with a comment and a blank line.
devices_file() {
  { echo "# the office"; echo; for i in $(seq "$1" "$2"); do echo "127.0.0.$i"; done; } >"$WORK/devices"
}

# fleet ARGS...: the program on the devices file; sets RC.
fleet() {
  RC=0
  timeout 300 "$(program_path $P)" "$@" --devices "$WORK/devices" </dev/null >"$WORK/out" 2>"$WORK/err" || RC=$?
}

# received_count: devices that hold a whole image.
received_count() { find "$WORK/received" -name '*.img' -size +1000k | wc -l; }

# blocks_received LINE: devices that logged a block from LINE of sim.log on, once all those fetches ended.
blocks_received() {
  local deadline=$((SECONDS + 30)) log
  until log=$(tail -n +"$1" "$WORK/sim.log") && [ "$(grep -c 'transfer start' <<<"$log")" = "$(grep -cE 'TFTP (done|ended early):' <<<"$log")" ]; do
    [ $SECONDS -le $deadline ] || fail "fetches still running" && sleep 0.1; done
  grep -cE 'TFTP (done|ended early): [1-9]' <<<"$log"
}

# summary_matches: the JSON summary and the --report CSV agree row by row
# (a cell a spreadsheet would run as a formula starts with '), and every
# device that holds a file holds exactly the image its row names, by its SHA-256 too.
summary_matches() {
  python3 - "$WORK/out" "$WORK/report.csv" "$WORK/received" "$(image_of $P)" <<'PY' || fail "summary and report"
import csv, filecmp, hashlib, json, os, sys
out, report, received, builtin = sys.argv[1:]
summary = [json.loads(line) for line in open(out) if '"event":"summary"' in line][-1]
rows = list(csv.DictReader(open(report, newline="", encoding="utf-8")))
assert len(rows) == summary["devices"] == len(summary["results"]), (len(rows), summary["devices"])
for row, result in zip(rows, summary["results"]):
    for key, value in row.items():
        expected = str(result.get(key, ""))
        if expected[:1] in ("=", "+", "-", "@", "\t", "\r"):
            expected = "'" + expected
        assert value == expected, (key, value, expected)
    image = os.path.join(received, result["device"] + ".img")
    if result.get("code") == 0 and result["after"] and result["after"] != result["before"]:
        assert filecmp.cmp(image, result["image_file"] or builtin, shallow=False), result
    if result["image"]:
        assert result["image_sha256"] == hashlib.sha256(open(result["image_file"] or builtin, "rb").read()).hexdigest()
PY
}

# children_gone PID...: none of them still runs within 2 s.
children_gone() {
  local deadline=$((SECONDS + 2)) pid
  for pid in "$@"; do
    while [ -e "/proc/$pid" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$pid/stat" 2>/dev/null; do
      [ $SECONDS -le $deadline ] || fail "child $pid outlived its parent"
      sleep 0.05
    done
  done
}

case ${1:?case} in
mixed_twelve)
  # Device 3 has another password, 5 stays mute after its restart, 7 is
  # already current; three at a time, no canary, a budget of two failures
  # once the image is there (a refused password spends none).
  start_fleet 12 --user admin --password secret --restart-seconds 1 \
    --on 3 --password other --on 5 --mute-after-restart --on 7 --version 7.5.3
  devices_file 2 13
  echo secret >"$WORK/pw"
  fleet upgrade --password-file "$WORK/pw" --yes --jobs 3 --canary 0 --max-failures 2 --json --log-dir "$WORK" \
    --restart-timeout 15
  expect_code 9
  for i in 2 3 5 7 9 10 11 12 13; do
    cmp -s "$WORK/received/127.0.0.$i.img" "$(image_of $P)" || fail "127.0.0.$i did not receive the image"
  done
  [ ! -e "$WORK/received/127.0.0.8.img" ] || fail "the current device was served"
  grep -q '127.0.0.4 .*ORB refused the user name and password (exit 4)' "$WORK/err" || fail "no refusal in the summary"
  grep -q '127.0.0.6 .*not responding after firmware upload (exit 7)' "$WORK/err" || fail "no silent device in the summary"
  grep -q '127.0.0.8 .*already current' "$WORK/err" || fail "no current device in the summary"
  grep -q '9 upgraded, 1 already current, 2 failed$' "$WORK/err" || fail "wrong counts"
  # Without a terminal the transfer shows a line each time its events cross
  # a quarter, whatever their pace.
  python3 - "$WORK/out" "$WORK/err" <<'PY' || fail "JSON output"
import json, re, sys
events = [json.loads(line) for line in open(sys.argv[1])]
summary = events[-1]
assert summary["event"] == "summary" and summary["failed"] == 2 and summary["upgraded"] == 9, summary
assert all("device" in e for e in events[:-1])
assert sum(1 for e in events if e["event"] == "result") == 12
expected, last = {}, {}
for e in events:
    if e["event"] == "progress":
        quarter = e["bytes"] * 100 // e["total"] // 25
        if quarter > last.get(e["device"], 0):
            last[e["device"]] = quarter
            expected.setdefault(e["device"], []).append(quarter * 25)
shown = {}
for device, percent in re.findall(r"^orbflash: ([0-9.]+): sending ([0-9]+)%$", open(sys.argv[2]).read(), re.M):
    shown.setdefault(device, []).append(int(percent))
assert shown == expected and len(expected) == 10, (shown, expected)
PY
  # Never more than three transfers at once, as the devices saw them.
  most=$(sed -n 's/.*tftp: transfer start, \([0-9]*\) running.*/\1/p' "$WORK/sim.log" | sort -n | tail -1)
  [ -n "$most" ] && [ "$most" -le 3 ] || fail "$most transfers at once"
  grep -q '"event":"result"' "$WORK/127.0.0.5.log" || fail "no events in the device's log"
  grep -q 'reading the status page' "$WORK/127.0.0.5.log" || fail "no messages in the device's log"
  ;;

bad_lines)
  # Mistakes of the list or of what every device would share are found once,
  # before any child starts: every bad line named, exit 2 (8 for an image).
  start_fleet 2
  mkfifo "$WORK/fifo"
  mkdir "$WORK/ro" "$WORK/links"
  ln -s /etc/passwd "$WORK/links/127.0.0.2.log"
  printf 'no image\n' >"$WORK/not.img"
  head -c 1000 "$(image_of $P)" >"$WORK/cut.img"
  LIST="127.0.0.2\n# fine\n127.0.0.300\n127.0.0.3 admin /no/such/file\n127.0.0.4 a b c\n127.0.0.5 admin $WORK/fifo\n127.0.0.6 admin $WORK\n127.0.0.7 ad\x7fmin\n"
  ROWS=(
    "2|$LIST||devices:3: not the address of a host|devices:4: the password file: cannot read|devices:5: more than|devices:6: the password file: $WORK/fifo is a FIFO|devices:7: the password file: $WORK is a directory|devices:8: the user name: holds a control character"
    "2|127.0.0.2\n127.000.0.2\n|127.0.0.02|devices:1: 127.0.0.2: listed already as 127.0.0.02$|devices:2: 127.000.0.2: listed already as 127.0.0.02$"
    "2|127.0.0.2\n|--local 127.0.0.9|--local: 127.0.0.9 is not an address of this PC"
    "8|127.0.0.2\n|--image $WORK/not.img|not.img: not a firmware image"
    "8|127.0.0.2\n|--image $WORK/cut.img|cut.img: damaged image: its length field says 4200090 bytes, the file has 1000$"
    "2|127.0.0.2\n|--log-dir $WORK/none|--log-dir: $WORK/none does not exist"
    "2|127.0.0.2\n|--log-dir $WORK/not.img|--log-dir: $WORK/not.img is not a folder"
    "2|127.0.0.2\n|--log-dir $WORK/ro|--log-dir: cannot write $WORK/ro/127.0.0.2.log: Read-only file system"
    "2|127.0.0.2\n|--log-dir $WORK/links|--log-dir: cannot write $WORK/links/127.0.0.2.log: it is a symbolic link"
    "2|127.0.0.2\n|--report $WORK|--report: $WORK is a directory, not a file"
  )
  for row in "${ROWS[@]}"; do
    IFS='|' read -r code list options patterns <<<"$row"
    printf '%b' "$list" >"$WORK/devices"
    read -r -a words <<<"$options"
    # A private, read-only folder for the row that needs one.
    RC=0
    unshare -m sh -c 'mount -t tmpfs -o ro tmpfs "$1" && shift && exec "$@"' sh "$WORK/ro" \
      timeout 60 "$(program_path $P)" upgrade --yes --devices "$WORK/devices" "${words[@]}" \
      </dev/null >"$WORK/out" 2>"$WORK/err" || RC=$?
    [ "$RC" = "$code" ] || fail "'$options': exit code $RC, expected $code: $(cat "$WORK/err")"
    IFS='|' read -r -a expected <<<"$patterns"
    for pattern in "${expected[@]}"; do grep -q -- "$pattern" "$WORK/err" || fail "'$options': no '$pattern'"; done
    [ "$(wc -l <"$WORK/err")" = "${#expected[@]}" ] || fail "'$options': more than expected: $(cat "$WORK/err")"
  done
  expect_no_sim 'GET '
  ;;

interrupted)
  # The devices stall their transfers: the first Ctrl+C starts no one new,
  # the second cancels the two running.
  start_fleet 4 --restart-seconds 1 --stall-after 20 --tftp-retries 1000 --tftp-deadline 200 --on 4 --http-close
  devices_file 2 5
  "$(program_path $P)" upgrade --devices "$WORK/devices" --yes --jobs 2 --canary 0 >"$WORK/out" 2>"$WORK/err" &
  PROGRAM_PID=$!
  # Both running devices stalled (a child may start slowly on a loaded machine).
  wait_for_log sim.log '127.0.0.2\] TFTP stalling' 30
  wait_for_log sim.log '127.0.0.3\] TFTP stalling' 30
  kill -INT "$PROGRAM_PID"
  wait_for_log err 'stopping: no more devices start' 10
  kill -INT "$PROGRAM_PID"
  wait_program 30
  [ "$RC" = 9 ] || fail "exit code $RC, expected 9"
  [ "$(grep -c 'not started (stopped)' "$WORK/err")" = 2 ] || fail "two devices should not have started"
  [ "$(grep -cE '127\.0\.0\.[23] +ORB.*User Abort \(exit 130\)' "$WORK/err")" = 2 ] ||
    fail "the two running devices should be cancelled"
  # SIGKILL once one device ended and one stalls: the report left is this
  # run's as it last changed, and says that the run did not finish.
  printf '127.0.0.5\n127.0.0.4\n' >"$WORK/devices"
  printf 'previous run\r\n' >"$WORK/report.csv"
  "$(program_path $P)" upgrade --devices "$WORK/devices" --yes --jobs 2 --canary 0 --report "$WORK/report.csv" \
    >"$WORK/out" 2>"$WORK/err" &
  PROGRAM_PID=$!
  wait_for_log sim.log '127.0.0.4\] TFTP stalling' 30
  wait_for_log report.csv '^"127.0.0.5",.*No Response From ORB' 30
  { kill -KILL "$PROGRAM_PID" && wait_program 30; } 2>/dev/null
  python3 - "$WORK/report.csv" <<'PY' || fail "the report after SIGKILL: $(cat "$WORK/report.csv")"
import csv, sys
rows = {row["device"]: row for row in csv.DictReader(open(sys.argv[1], newline=""))}
assert rows["127.0.0.5"]["code"] == "3", rows
assert rows["127.0.0.4"]["result"] == "running (run not finished)" and rows["127.0.0.4"]["code"] == "", rows
PY
  ;;

resume)
  # Resuming is running the same command again: the parent is killed
  # (SIGKILL) once two devices came back upgraded; the re-run leaves those
  # alone, gives every other device the image, and no device takes a whole
  # image twice.
  start_fleet 6 --restart-seconds 2
  devices_file 2 7
  "$(program_path $P)" upgrade --devices "$WORK/devices" --yes --jobs 2 --canary 0 >"$WORK/out" 2>"$WORK/err" &
  PROGRAM_PID=$!
  deadline=$((SECONDS + 60))
  until [ "$(cat "$WORK/err" 2>/dev/null | grep -c ': upgraded$')" -ge 2 ]; do [ $SECONDS -le $deadline ] || fail "no two devices back"; sleep 0.1; done
  { kill -KILL "$PROGRAM_PID" && wait_program 30; } 2>/dev/null
  # Every device said to have ended is in the history, each record whole.
  history=$XDG_STATE_HOME/orb/history.jsonl
  python3 -c 'import json,sys; r=[json.loads(l) for l in open(sys.argv[1])]; assert sum(x["outcome"]=="success" for x in r)>=2, r' \
    "$history" || fail "the history after SIGKILL: $(cat "$history")"
  # What the children left running ends on its own: fetches give up, downs come back.
  deadline=$((SECONDS + 60))
  until [ "$(count_sim 'transfer start')" = "$(grep -cE 'TFTP (done|ended early):' "$WORK/sim.log")" ] &&
    [ "$(count_sim 'restart: down')" = "$(count_sim 'up again')" ]; do
    [ $SECONDS -le $deadline ] || fail "the devices did not settle" && sleep 0.1; done
  fleet --json upgrade --yes --jobs 2 --canary 0
  [ "$RC" = 0 ] || fail "the re-run: exit code $RC, expected 0"
  python3 - "$WORK/out" <<'PY' || fail "the re-run's summary: $(grep summary "$WORK/out")"
import json, sys
summary = [json.loads(line) for line in open(sys.argv[1]) if '"event":"summary"' in line][-1]
assert summary["upgraded"] + summary["current"] == 6 and summary["current"] >= 2, summary
PY
  for i in 2 3 4 5 6 7; do
    [ "$(grep -c "\[127.0.0.$i\] received .*: complete" "$WORK/sim.log")" = 1 ] || fail "127.0.0.$i: not exactly one whole image"
  done
  # One device's history, by its serial, newest first: upgraded, then current.
  "$(program_path $P)" history ORB0012345 --json >"$WORK/history.json" || fail "history: exit $?"
  python3 -c 'import json,sys; r=json.load(open(sys.argv[1])); assert {x["device"] for x in r}=={"127.0.0.2"} and r[-1]["outcome"]=="success" and r[-1]["after"]=="7.5.3", r' \
    "$WORK/history.json" || fail "history of one serial: $(cat "$WORK/history.json")"
  ;;

retries)
  # One night's mixed fleet, one at a time, a budget of one: 127.0.0.2 fetches
  # nothing after its first trigger and is upgraded on its retry (due while
  # .3 runs, it goes next, before the devices after it); .3 has a hostile
  # product name; .4 another password; .5 stays down after its image (never
  # tried again) and spends the budget, so .6 is not started.
  # Attempts in the notes, events, summary, CSV and history; the HTML, JUnit
  # and metrics reports as their readers see them (a status page cuts a
  # product at its first '<', so the name tries quotes and an ampersand).
  HOSTILE="ORBQ4x4 \" onmouseover=\"document.title='pwned'\" &amp x"
  start_fleet 5 --user admin --password secret --restart-seconds 1 --on 1 --ignore-triggers 1 \
    --on 2 --product "$HOSTILE" \
    --on 3 --password other --on 4 --stay-down
  devices_file 2 6
  echo secret >"$WORK/pw"
  fleet --json upgrade -p "$WORK/pw" --yes --jobs 1 --canary 0 --max-failures 1 --retries 2 --retry-delay 1 \
    --fetch-timeout 1 --restart-timeout 1 --report "$WORK/report.csv" --report "$WORK/report.html" \
    --report "$WORK/report.xml" --report "$WORK/report.prom"
  [ "$RC" = 9 ] || fail "exit code $RC, expected 9"
  [ "$(count_sim '127.0.0.2\] GET /admin/upgrade')" = 2 ] || fail "127.0.0.2: two triggers expected"
  [ "$(count_sim '127.0.0.5\] GET /admin/upgrade')" = 1 ] || fail "127.0.0.5 was tried again after its image"
  grep -q '"event":"note","device":"127.0.0.2","text":"attempt 1: ' "$WORK/out" || fail "no retry note"
  summary_matches
  python3 - "$WORK/out" "$XDG_STATE_HOME/orb/history.jsonl" <<'PY' || fail "attempts: $(grep summary "$WORK/out")"
import json, sys
summary = [json.loads(line) for line in open(sys.argv[1]) if '"event":"summary"' in line][-1]
rows = {r["device"]: r for r in summary["results"]}
assert rows["127.0.0.2"]["result"] == "upgraded" and rows["127.0.0.2"]["attempts"] == 2, rows
assert rows["127.0.0.5"]["code"] == 7 and rows["127.0.0.5"]["attempts"] == 1, rows
assert rows["127.0.0.6"]["result"] == "not started (failure budget spent)", rows
ends = [json.loads(line) for line in open(sys.argv[1]) if '"event":"result"' in line]
assert [e["attempts"] for e in ends if e["device"] == "127.0.0.2"] == [2], ends
history = {r["device"]: r for r in map(json.loads, open(sys.argv[2]))}
assert history["127.0.0.2"]["attempts"] == 2 and history["127.0.0.2"]["outcome"] == "success", history
assert {"reading", "waiting", "transfer", "restart", "total"} <= set(history["127.0.0.2"]["phases_ms"]), history
assert history["127.0.0.5"]["outcome"] == "silent-after-upload" and history["127.0.0.5"]["after"] == "", history
assert "127.0.0.6" not in history, history
PY
  shot=()
  [ -n "${ORB_SCREENSHOT:-}" ] && shot=(--screenshot "$ORB_SCREENSHOT")
  "$(dirname "$0")/../reports/check_reports.py" "$WORK/report" 127.0.0.2=success 127.0.0.3=success \
    127.0.0.4=password-refused 127.0.0.5=silent-after-upload 127.0.0.6=not-started --text "$HOSTILE" "${shot[@]}" ||
    fail "the reports"
  ! grep -q 'http-equiv="refresh"' "$WORK/report.html" || fail "the final page still reloads"
  ;;

night)
  # Starts paced to 6 a minute in a window that closes at the next minute:
  # 10 s apart until it closes, then the rest are not started (window
  # closed), exit 9. A window that opens more than 12 h away is a mistake.
  deadline=$((SECONDS + 30))
  while [ "$(date +%-S)" -ge 40 ]; do [ $SECONDS -le $deadline ] || fail "the clock"; sleep 0.2; done
  window="$(date -d '-1 min' +%H:%M)-$(date -d '+1 min' +%H:%M)"
  start_fleet 8 --restart-seconds 1
  devices_file 2 9
  fleet --json upgrade --yes --jobs 4 --canary 0 --max-per-minute 6 --window "$window"
  [ "$RC" = 9 ] || fail "exit code $RC, expected 9"
  python3 - "$WORK/out" <<'PY' || fail "the night's starts: $(grep summary "$WORK/out")"
import datetime, json, sys
summary = [json.loads(line) for line in open(sys.argv[1]) if '"event":"summary"' in line][-1]
# When the parent started each device (whole seconds): 10 s apart.
times = sorted(datetime.datetime.fromisoformat(r["start"].rstrip("Z")).timestamp()
               for r in summary["results"] if r["start"])
assert 2 <= len(times) <= 7, times
assert all(b - a >= 9 for a, b in zip(times, times[1:])), times
closed = [r for r in summary["results"] if r["result"] == "not started (window closed)"]
assert len(closed) == 8 - len(times), (len(closed), times)
PY
  far="$(date -d '+13 hours' +%H:%M)-$(date -d '+14 hours' +%H:%M)"
  fleet upgrade --yes --window "$far"
  [ "$RC" = 2 ] && grep -q 'a run waits for it at most 12 h' "$WORK/err" || fail "a far window: exit $RC, $(cat "$WORK/err")"
  ;;

held_ports)
  # Forty devices that keep every connection open after answering, checked
  # then upgraded all at once, while another program holds the TFTP ports
  # but eight: the local HTTP ports come from the system, a device short of a
  # TFTP port goes back in the queue, and every device is upgraded. Then
  # SIGTERM, SIGHUP and SIGKILL to the parent: no child outlives it.
  start_fleet 40 --restart-seconds 1 --http-hold 120 --user admin --password secret
  devices_file 2 41
  echo secret >"$WORK/pw"
  python3 -c '
import socket, time
held = []
for port in range(69, 161):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", port))
    held.append(s)
print("held", flush=True)
time.sleep(900)' >"$WORK/holder.log" &
  HOLDER_PID=$!
  trap 'kill $HOLDER_PID 2>/dev/null; cleanup' EXIT
  wait_for_log holder.log held 10
  # A check first: its answers (a challenge and the page) stay held too.
  fleet check --jobs 40 --password-file "$WORK/pw"
  expect_code 0
  grep -q '40 would upgrade, 0 already current, 0 with a problem$' "$WORK/err" || fail "check: $(tail -3 "$WORK/err")"
  fleet upgrade --yes --jobs 40 --canary 0 --password-file "$WORK/pw" --json --report "$WORK/report.csv"
  expect_code 0
  [ "$(received_count)" = 40 ] || fail "$(received_count) devices hold the image"
  grep -q '40 upgraded, 0 already current, 0 failed$' "$WORK/err" || fail "wrong counts"
  grep -q 'no TFTP port free: back in the queue' "$WORK/err" || fail "no device waited for a port"
  # The queue narrows to the devices running then: none goes back twice.
  again=$(grep '"event":"note"' "$WORK/out" | grep -o '"device":"[0-9.]*"' | sort | uniq -d)
  [ -z "$again" ] || fail "back in the queue more than once: $again"
  expect_no_err "Can't bind"
  summary_matches
  # Each signal on devices of its own: a cut transfer keeps a device busy a while.
  first=2
  for signal in TERM HUP KILL; do
    devices_file $first $((first + 11))
    first=$((first + 12))
    : >"$WORK/err"
    "$(program_path $P)" upgrade --devices "$WORK/devices" --yes --force --canary 0 --password-file "$WORK/pw" \
      >"$WORK/out" 2>"$WORK/err" &
    PROGRAM_PID=$!
    wait_for_log err ': sending' 60
    mapfile -t children < <(pgrep -P "$PROGRAM_PID")
    [ "${#children[@]}" -gt 0 ] || fail "no children"
    kill -"$signal" "$PROGRAM_PID"
    wait_program 30
    children_gone "${children[@]}"
    if [ "$signal" != KILL ]; then
      [ "$RC" = 9 ] || fail "SIG$signal: exit code $RC, expected 9"
      expect_err 'cancelling the running devices'
      grep -q 'User Abort (exit 130)' "$WORK/err" && grep -q 'not started (stopped)' "$WORK/err" ||
        fail "SIG$signal: no summary"
    fi
  done 2>/dev/null # the shell's word on a killed job
  ;;

rollout)
  # Twenty devices that take the image and never come back: 3 to 6 (127.0.0.4
  # to .7) after the whole restart limit, 7 to 20 at once with a TFTP error
  # after a few blocks. The first refuses the TFTP options: no block of it,
  # nothing spent; the second already runs the image's version: nothing
  # served, nothing proved. With the defaults, in address order, the canary
  # .4 stops it. With a budget of 3 and 4 at once, from .5 on: the three slow
  # ones hold three places while the fast ones fail one at a time, so exactly
  # 3 + 4 - 1 devices get the image, whatever the machine's load. The
  # summary and the report name every fate.
  start_fleet 20 --restart-seconds 1 --stay-down --on 1 --refuse-options --on 2 --version 7.5.3 \
    --on 7-20 --tftp-error-after 5
  for row in "2|--restart-timeout 1|1|1 already current, 2 failed, 17 not started|not started (canary failed)" \
    "5|--canary 0 --max-failures 3 --jobs 4 --restart-timeout 20|6|0 already current, 6 failed, 11 not started|not started (failure budget spent)"; do
    IFS='|' read -r first options got_image counts words <<<"$row"
    devices_file "$first" 21
    from=$(($(wc -l <"$WORK/sim.log") + 1))
    read -r -a extra <<<"$options"
    fleet upgrade --yes --json --quiet --report "$WORK/report.csv" "${extra[@]}"
    expect_code 9
    got=$(blocks_received "$from")
    [ "$got" = "$got_image" ] || fail "'$options': $got devices got the image, $got_image expected"
    [ "$first" != 2 ] || expect_out '"event":"result","device":"127.0.0.2",.*"bytes_sent":0,'
    grep -q "0 upgraded, $counts$" "$WORK/err" || fail "'$options': counts: $(tail -n 1 "$WORK/err")"
    expect_err "$words"
    expect_no_err ': sending'
    [ "$(grep -cE '^orbflash: 127\.0\.0\.[0-9]+ +' "$WORK/err")" = $((22 - first)) ] ||
      fail "'$options': not every device summed up"
    summary_matches
  done
  ;;

password_first)
  # The first devices refuse the password: they spend no budget and hold no
  # canary back; the others are upgraded, the last with its line's own user
  # and password.
  start_fleet 7 --user admin --password secret --restart-seconds 1 --on 1-2 --password other \
    --on 7 --user tech --on 7 --password theirs
  devices_file 2 7
  echo "127.0.0.8 tech $WORK/pw-tech" >>"$WORK/devices"
  # A byte-order mark is no part of the first line.
  sed -i '1s/^/\xEF\xBB\xBF/' "$WORK/devices"
  echo secret >"$WORK/pw"
  echo theirs >"$WORK/pw-tech"
  fleet upgrade --yes --password-file "$WORK/pw"
  expect_code 9
  grep -q '5 upgraded, 0 already current, 2 failed$' "$WORK/err" || fail "wrong counts: $(tail -n 1 "$WORK/err")"
  [ "$(received_count)" = 5 ] || fail "$(received_count) devices hold the image"
  expect_err 'canary: 127.0.0.4 took the image; the rest start'
  # Again with a report that cannot grow past 1 KiB, as the whole one would
  # (about 2 KiB with the image's path and digest; the image itself is
  # smaller): exit 1 with the reason, the counts still true, the file left a
  # whole one.
  "$ORBIMAGE" make --code SvIrEo5 --version 7.6.0 --size 600 --out "$WORK/small.img" >/dev/null || fail "orbimage"
  printf 'previous run\r\n' >"$WORK/report.csv"
  bash -c 'ulimit -f 1 && exec "$@"' limit timeout 300 "$(program_path $P)" upgrade --yes --force \
    --image "$WORK/small.img" --password-file "$WORK/pw" --devices "$WORK/devices" --report "$WORK/report.csv" \
    </dev/null 2>&1 >/dev/null |
    cat >"$WORK/err"
  RC=${PIPESTATUS[0]}
  expect_code 1
  grep -q '5 upgraded, 0 already current, 2 failed$' "$WORK/err" || fail "wrong counts: $(cat "$WORK/err")"
  expect_err "--report: cannot write $WORK/report.csv: File too large$"
  python3 - "$WORK/report.csv" <<'PY' || fail "no whole report left: $(cat "$WORK/report.csv")"
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], newline="")))
assert len(rows) == 7 and all(None not in row and None not in row.values() for row in rows), rows
assert any(row["result"].endswith("(run not finished)") for row in rows), rows
PY
  ! ls "$WORK" | grep -q 'report.csv.tmp' || fail "a temporary file was left"
  ;;

mixed_models)
  # Two models, one image each: every device gets its own model's image;
  # product names starting with '=' or a tab must not become formulas, and a
  # quote stays a quote.
  start_fleet 6 --restart-seconds 1 --on 4-6 --product ORBG200 --on 1 --product '=1+2 ORBQ4x4' \
    --on 2 --product $'\tORBQ4x4' --on 3 --product 'ORBQ4x4 "pro"'
  devices_file 2 7
  "$ORBIMAGE" make --code SvIrEo5 --version 7.6.0 --size 300000 --seed 1 --out "$WORK/q.img" >/dev/null &&
    "$ORBIMAGE" make --code OrBg200 --version 2.1.0 --size 200000 --seed 2 --out "$WORK/a.img" >/dev/null ||
    fail "orbimage failed"
  cp "$WORK/q.img" "$WORK/q.checked"
  timeout 300 "$(program_path $P)" upgrade --devices "$WORK/devices" --yes --jobs 3 --image "$WORK/a.img" \
    --image "$WORK/q.img" --json --report "$WORK/report.csv" </dev/null >"$WORK/out" 2>"$WORK/err" &
  PROGRAM_PID=$!
  # Replaced while the canary takes it: the later devices still get what was checked.
  wait_for_log sim.log '127.0.0.2\] tftp: transfer start' 60
  "$ORBIMAGE" make --code SvIrEo5 --version 7.6.1 --size 5000 --out "$WORK/q.img" >/dev/null || fail "orbimage failed"
  wait_program 300
  expect_code 0
  for i in 2 3 4; do cmp -s "$WORK/received/127.0.0.$i.img" "$WORK/q.checked" || fail "127.0.0.$i: not its image"; done
  for i in 5 6 7; do cmp -s "$WORK/received/127.0.0.$i.img" "$WORK/a.img" || fail "127.0.0.$i: not its image"; done
  mv "$WORK/q.checked" "$WORK/q.img"
  summary_matches
  grep -q "^\"127.0.0.2\",\"ORB0012345\",\"000E08123456\",\"'=1+2 ORBQ4x4\"," "$WORK/report.csv" ||
    fail "the product is not neutralised: $(cat "$WORK/report.csv")"
  # A model none of the images is for: that device is refused, the rest go on.
  fleet upgrade --yes --force --image "$WORK/q.img" --image "$WORK/q.img"
  expect_code 9
  [ "$(grep -c 'No image for this model (the device is ORBG200) (exit 8)' "$WORK/err")" = 6 ] ||
    fail "the ORBG200s: $(cat "$WORK/err")"
  ;;

check_hundred)
  # check of a hundred devices: each one's facts and verdict, nothing
  # triggered. Device 2 refuses the password, 3 is current, 4 is another
  # model, 5 does not answer.
  start_fleet 100 --user admin --password secret --on 2 --password other --on 3 --version 7.5.3 \
    --on 4 --product ORB-A030 --on 5 --http-close
  devices_file 2 101
  echo secret >"$WORK/pw"
  started=$(date +%s%N)
  fleet check --password-file "$WORK/pw" --jobs 16 --json --report "$WORK/report.csv"
  NOTE="check of 100 devices: $((($(date +%s%N) - started) / 1000000)) ms"
  expect_code 9
  for row in "127.0.0.3 .*password refused" "127.0.0.4 .*7.5.3 +7.5.3 +already current" \
    "127.0.0.5 .*ORB-A030 .*image not for this model" "127.0.0.6 .*no answer" \
    "127.0.0.101 +ORB0012444 +000E081234B9 +ORBQ4x4 +7.0.99 +7.5.3 +would upgrade" \
    "96 would upgrade, 1 already current, 3 with a problem"; do
    grep -qE "^orbflash: $row\$" "$WORK/err" || fail "no '$row'"
  done
  summary_matches
  expect_no_sim 'upgrade?tftp'
  ;;

ansible)
  # The playbook of docs/FLEETS.md, run by ansible-core on this host as three
  # sites of three devices, one batch after the other: the pilot site is
  # upgraded, the second site's devices never come back, so it fails and the
  # third is never touched. Each site's summary and report reach the controller.
  start_fleet 9 --user admin --password secret --restart-seconds 1 --on 4-6 --stay-down
  echo secret >"$WORK/pw"
  printf '[orb_sites]\n' >"$WORK/inventory"
  for site in 0 1 2; do
    devices_file $((site * 3 + 2)) $((site * 3 + 4))
    mv "$WORK/devices" "$WORK/devices-$site"
    echo "site-$site ansible_connection=local ansible_python_interpreter=/usr/bin/python3" \
      "orb_devices_file=$WORK/devices-$site orb_report_file=$WORK/report-$site.csv" \
      "orb_history_file=$WORK/history-$site.jsonl orb_html_report_file=$WORK/report-$site.html" \
      "orb_window=00:00-23:59" >>"$WORK/inventory"
  done
  RC=0
  ANSIBLE_LOCAL_TEMP=$WORK/ansible ANSIBLE_NOCOLOR=1 ansible-playbook -i "$WORK/inventory" \
    "$(dirname "$0")/../../docs/ansible/orb-fleet.yml" -e "orb_program=$(program_path $P)" \
    -e "orb_password_file=$WORK/pw" -e "orb_results_dir=$WORK/results" \
    -e '{"orb_extra_options": ["--restart-timeout", "1"]}' >"$WORK/out" 2>"$WORK/err" || RC=$?
  [ "$RC" = 2 ] || fail "ansible-playbook: exit code $RC, expected 2 (a failed site)"
  python3 - "$WORK/results" <<'PY' || fail "the sites' results"
import csv, json, sys
results = sys.argv[1]
for site, upgraded, failed, words in ((0, 3, 0, "upgraded"), (1, 0, 1, "not started (canary failed)")):
    summary = json.load(open(f"{results}/site-{site}.json"))
    assert summary["upgraded"] == upgraded and summary["failed"] == failed, summary
    rows = list(csv.DictReader(open(f"{results}/site-{site}.csv", newline="")))
    assert len(rows) == 3 and rows[-1]["result"] == words, rows
    assert open(f"{results}/site-{site}.html").read().count('<tr class="') == 3
    history = [json.loads(line) for line in open(f"{results}/site-{site}-history.jsonl")]
    assert sum(r["outcome"] == "success" for r in history) == upgraded, history
PY
  [ ! -e "$WORK/results/site-2.json" ] || fail "the third site ran after the second failed"
  for i in 2 3 4; do
    cmp -s "$WORK/received/127.0.0.$i.img" "$(image_of $P)" || fail "127.0.0.$i did not receive the image"
  done
  [ "$(received_count)" = 4 ] || fail "$(received_count) devices hold the image: one canary of the second site expected"
  grep -q 'site-0: 3 upgraded, 0 already current' "$WORK/out" || fail "no report line"
  ;;

*) fail "unknown case $1" ;;
esac
pass "${NOTE:-}"
