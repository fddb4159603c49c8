#!/usr/bin/env bash
# orbimage: the default image's facts, and clear errors on broken files.
set -euo pipefail
orbimage=$1
image=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

info=$("$orbimage" info "$image")
expected="product code: SvIrEo5
orbflash model: ORBQ4x4 (adapter)
orbstage model: ORBQ4x4 (adapter)
version: 7.5.3
size: 4200090 bytes
blocks: 8204 of 512 bytes"
[ "$info" = "$expected" ] || fail "default image facts: $info"

# The payload from a file, and the length field as given.
printf 'abc' >"$work/payload"
"$orbimage" make --code vIrEp10 --version 1.2 --payload "$work/payload" --length 5 --out "$work/phone.img"
[ "$(stat -c %s "$work/phone.img")" = 131 ] || fail "payload image size"
"$orbimage" info "$work/phone.img" | grep -q 'orbflash model: ORB-P10 (IP phone)' || fail "phone model"
"$orbimage" info "$work/phone.img" | grep -q 'length field at offset 88 says 5, the file has 131: .*--image refuses it' ||
  fail "length note"
"$orbimage" make --code SvIrEo5 --version 1.2 --size 200 --no-marker --out "$work/unmarked.img"
"$orbimage" info "$work/unmarked.img" | grep -q 'no fIrMwArE marker at offset 8: .*--image refuses it' || fail "marker note"
[ "$(tail -c 3 "$work/phone.img")" = abc ] || fail "payload bytes"

# Deterministic payloads.
"$orbimage" make --code SvIrEo5 --version 7.5.3 --size 4000 --out "$work/a.img"
"$orbimage" make --code SvIrEo5 --version 7.5.3 --size 4000 --out "$work/b.img"
cmp -s "$work/a.img" "$work/b.img" || fail "same arguments, different bytes"

# Broken files are refused with a reason.
head -c 100 "$image" >"$work/short.img"
if "$orbimage" check "$work/short.img" 2>"$work/err"; then fail "short image accepted"; fi
grep -q 'shorter than the 128-byte header' "$work/err" || fail "short image reason"
{ head -c 92 "$image"; head -c 36 /dev/zero | tr '\0' 'x'; } >"$work/open.img"
if "$orbimage" check "$work/open.img" 2>"$work/err"; then fail "unterminated version accepted"; fi
grep -q 'not terminated' "$work/err" || fail "unterminated version reason"
if "$orbimage" make --code TOOLONGCODE --version 1 --size 200 --out "$work/x.img" 2>/dev/null; then
  fail "9-character code accepted"
fi
echo ok
