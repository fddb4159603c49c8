#!/usr/bin/env bash
# The manual pages keep up with the programs: each page names every long
# option its program's help lists, and renders without a groff warning.
# Usage: man_pages_test.sh MAN-DIR PROGRAM...
set -uo pipefail
man_dir=$1
shift
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
command -v groff >/dev/null || { echo "FAIL: groff is missing (scripts/setup installs groff-base)" >&2; exit 1; }

for program in "$@"; do
    name=$(basename "$program")
    page=$man_dir/$name.1
    [ -f "$page" ] || { fail "$name: no $page"; continue; }
    # orbimage --help lists every command's options.
    help=$("$program" --help 2>&1)
    options=$(grep -o -- '--[a-z0-9][a-z0-9-]*' <<<"$help" | sort -u)
    [ -n "$options" ] || fail "$name: its help lists no long option"
    # The page as text: troff's \- as -, font changes dropped.
    text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")
    for option in $options; do
        grep -Eq -- "(^|[^a-z0-9-])$option([^a-z0-9-]|\$)" <<<"$text" || fail "$name.1 does not name $option"
    done
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$name.1 renders with warnings: $warnings"
done
[ "$failures" -eq 0 ] || exit 1
echo "PASS: $# manual pages"
