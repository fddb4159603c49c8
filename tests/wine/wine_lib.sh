# Shared steps of the Wine tests: the Windows programs under Wine with their
# own X display and Wine prefix, driven by orb-ui-driver.exe, against the
# simulated device on 127.0.0.2. Sourced by each case; every case runs in its
# own network namespace (tests/support/netns.sh), which it enters itself
# when started directly. Also sourced by scripts/screenshots.
set -u

WINE_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${ORB_IN_NETNS:-}" != 1 ]; then
  exec "$WINE_LIB_DIR/../support/netns.sh" "$0" "$@"
fi
# The PC's addresses: Wine lists them (gethostbyname of the host name) from
# the adapters that carry a route and, with none as here, asks the host's
# resolver. A host name of our own that /etc/hosts maps to 127.0.0.1 and
# 127.0.0.3 gives the same two on every machine. 127.0.0.3 also sits on lo
# as an address of its own: Wine binds a datagram socket bound to such an
# address to the interface instead, so that, as on Windows, it sees the
# multicast group it joined; 127.0.0.1 it binds as Linux would, blind to
# group traffic (the recovery case therefore picks 127.0.0.3).
if [ "${ORB_WINE_HOSTS:-}" != 1 ]; then
  hosts=$(mktemp /tmp/orb-wine-hosts.XXXXXX)
  printf '127.0.0.1 localhost orb-wine-test\n127.0.0.3 orb-wine-test\n' >"$hosts"
  exec unshare -m -u env ORB_WINE_HOSTS=1 bash -c '
    hostname orb-wine-test && mount --bind "$1" /etc/hosts && rm -f "$1" &&
      ip address add 127.0.0.3/8 dev lo ||
      { echo "FAIL: cannot give the namespace its own host name and address"; exit 1; }
    shift; exec "$@"' hosts "$hosts" "$0" "$@"
fi

: "${ORB_BUILD:?ORB_BUILD must name the Linux build tree}"
: "${ORB_WINDOWS_BUILD:?ORB_WINDOWS_BUILD must name the Windows build tree}"
: "${ORB_WINE_TEMPLATE:=/tmp/orb-wine-template-$(id -u)}"

skip() { echo "SKIPPED: $*"; exit 77; }
command -v wine >/dev/null || skip "wine is not installed (scripts/setup installs wine and wine64)"
command -v Xvfb >/dev/null || skip "Xvfb is not installed (scripts/setup installs xvfb)"

ORBSIM=$ORB_BUILD/tools/orbsim/orbsim
DRIVER=$ORB_WINDOWS_BUILD/tests/wine/orb-ui-driver.exe
WORK=$(mktemp -d /tmp/orb-wine.XXXXXX)
source "$WINE_LIB_DIR/../support/device_run_lib.sh"
XVFB_PID=
STEP_FILES=0

export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH

cleanup() {
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null
  # Every Windows process of this private prefix, ours alone.
  [ -d "$WINEPREFIX" ] && timeout 20 wineserver -k 2>/dev/null
  [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for log in sim.log program.log driver.log err; do
    [ -f "$WORK/$log" ] && { echo "---- $log"; tail -n 40 "$WORK/$log"; }
  done
  exit 1
}

# A program of the Windows build (orbflash-fast, orbstage, ...) and the
# image it carries.
program_path() {
  case $1 in
    orbflash-phone*) echo "$ORB_WINDOWS_BUILD/tests/wine/$1.exe" ;;
    orbflash*) echo "$ORB_WINDOWS_BUILD/apps/orbflash/$1.exe" ;;
    orbstage*) echo "$ORB_WINDOWS_BUILD/apps/orbstage/$1.exe" ;;
  esac
}
image_of() {
  case $1 in
    orbflash-phone*) echo "$ORB_WINDOWS_BUILD/tests/wine/images/$1.img" ;;
    orbflash*) echo "$ORB_WINDOWS_BUILD/apps/orbflash/images/$1.img" ;;
    orbstage*) echo "$ORB_WINDOWS_BUILD/apps/orbstage/images/$1.img" ;;
  esac
}

# A display of our own: Xvfb picks a free number and tells it on fd 3.
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  local deadline=$((SECONDS + 20))
  until [ -s "$WORK/display" ]; do
    [ $SECONDS -ge $deadline ] && fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    sleep 0.1
  done
  export DISPLAY=:$(head -1 "$WORK/display")
}

# The template prefix, made once (about 15 s) and copied for each case:
# a virtual desktop so that Wine draws the captions itself, no crash
# dialog, and Wine's own fonts in the prefix's Fonts folder, where this
# Wine looks for them (without them "MS Sans Serif" falls back to a wider
# font and the caption buttons lose their glyphs). The marker file names
# this recipe: a template made by an older one is made again.
make_template() {
  local new=$ORB_WINE_TEMPLATE.new.$$
  rm -rf "$new"
  WINEPREFIX=$new timeout 300 wineboot -i >"$WORK/wineboot.log" 2>&1
  WINEPREFIX=$new wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  WINEPREFIX=$new wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  WINEPREFIX=$new wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  WINEPREFIX=$new timeout 60 wineserver -w
  [ -f "$new/system.reg" ] || fail "wineboot made no prefix: $(tail -5 "$WORK/wineboot.log")"
  cp /usr/share/wine/fonts/* "$new/drive_c/windows/Fonts/" 2>/dev/null
  touch "$new/.orb-template-3"
  rm -rf "$ORB_WINE_TEMPLATE"
  mv "$new" "$ORB_WINE_TEMPLATE"
}

make_prefix() {
  (
    flock -w 300 9 || fail "the template prefix stays locked"
    [ -f "$ORB_WINE_TEMPLATE/.orb-template-3" ] || make_template
  ) 9>"$ORB_WINE_TEMPLATE.lock"
  [ -f "$ORB_WINE_TEMPLATE/.orb-template-3" ] || fail "no template prefix"
  cp -a "$ORB_WINE_TEMPLATE" "$WINEPREFIX"
}

# Display and prefix, once per case.
start_wine() {
  [ -f "$DRIVER" ] || fail "no $DRIVER: build the windows preset first"
  [ -x "$ORBSIM" ] || fail "no $ORBSIM: build the linux preset first"
  start_display
  make_prefix
}

# start_program NAME: the Windows program, in the background.
start_program() {
  local exe
  exe=$(program_path "$1")
  [ -f "$exe" ] || fail "no $exe: build the windows preset first"
  wine "$exe" >"$WORK/program.log" 2>&1 &
  PROGRAM_PID=$!
}

# run_cli NAME ARGS...: the Windows program with a command line, standard
# input not a console; its standard output and error, without the CRs, in
# out and err; sets RC.
run_cli() {
  local exe
  exe=$(program_path "$1")
  shift
  [ -f "$exe" ] || fail "no $exe: build the windows preset first"
  timeout 120 wine "$exe" "$@" </dev/null >"$WORK/out.raw" 2>"$WORK/err.raw"
  RC=$?
  tr -d '\r' <"$WORK/out.raw" >"$WORK/out"
  tr -d '\r' <"$WORK/err.raw" >"$WORK/err"
}

# drive: runs the driver on the steps read from standard input; its lines
# go to driver.log (and the last run's to $WORK/drive.out).
drive() {
  STEP_FILES=$((STEP_FILES + 1))
  local steps=$WORK/steps.$STEP_FILES
  cat >"$steps"
  wine "$DRIVER" -f "Z:$steps" >"$WORK/drive.out" 2>&1
  local rc=$?
  tr -d '\r' <"$WORK/drive.out" >>"$WORK/driver.log"
  [ $rc = 0 ] || fail "driver: $(grep -E '^(FAIL|BAD)' "$WORK/drive.out" | tr -d '\r')"
}

# expect_driver REGEX: a driver line (a title it saw, say) matches.
expect_driver() { grep -Eq -- "$1" "$WORK/driver.log" || fail "no driver line matches '$1'"; }

# Texts the programs show.
ERROR_CAPTION="ORB Firwmare Upgrade Error"
WELCOME="Velmora ORB Device Firmware Upgrade Utility"
