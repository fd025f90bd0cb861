#!/usr/bin/env bash
# Checks that lupdate finds every text the program shows in the context the
# program looks it up in: it warns where a translator comment reaches no text
# it recognises, and where a tr() call lies outside a class that declares its
# context; either means a text that a translation would never reach.
#   check-translations.sh LUPDATE
set -euo pipefail
lupdate=$1
src=$(cd "$(dirname "$0")/../../src" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$lupdate" -recursive "$src" -extensions cpp,h -no-obsolete -ts "$work/texts.ts" >"$work/log" 2>&1
if grep -E "Discarding unconsumed meta data|lacks Q_OBJECT macro|Cannot invoke tr\(\)" "$work/log"; then
    echo "texts that lupdate cannot give their context (above)" >&2
    exit 1
fi
count=$(grep -c "<message" "$work/texts.ts")
if [ "$count" -lt 100 ]; then
    echo "lupdate found only $count texts" >&2
    exit 1
fi
echo "$count texts"
