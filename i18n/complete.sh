#!/bin/sh
# Usage: complete.sh LUPDATE FILE.ts FOLDER...
# Fails where the sources mark a text that FILE.ts does not translate, or FILE.ts keeps one they lost.
set -eu
lupdate=$1
ts=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/check.ts"
"$lupdate" "$@" -extensions cpp,h -ts "$work/check.ts" -no-obsolete -locations none >"$work/log" 2>&1 || {
    cat "$work/log"
    exit 1
}
if ! cmp -s "$ts" "$work/check.ts"; then
    echo "$ts is not up to date with the sources; run 'ninja update_translations' and translate what it adds:"
    diff "$ts" "$work/check.ts" || true
    exit 1
fi
if grep -n 'type="unfinished"' "$ts"; then
    echo "$ts has texts without a translation (above)"
    exit 1
fi
