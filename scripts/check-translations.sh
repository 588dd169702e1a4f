#!/usr/bin/env bash
# Fails when the English catalogue is not up to date with the texts in the
# code: lupdate, run on a copy, must change nothing and leave nothing
# unfinished. Usage: scripts/check-translations.sh LUPDATE
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
catalogue="$root/translations/vendral_en.ts"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp "$catalogue" "$scratch/vendral_en.ts"
LUPDATE="$1" "$root/scripts/update-translations.sh" "$scratch/vendral_en.ts"
status=0
if grep -q 'type="unfinished"' "$scratch/vendral_en.ts"; then
    echo "check-translations: texts without their English (translate them in translations/vendral_en.ts):"
    grep -B1 'type="unfinished"' "$scratch/vendral_en.ts" | grep '<source>' | sed 's/^ */  /'
    status=1
fi
if ! diff -u "$catalogue" "$scratch/vendral_en.ts"; then
    echo "check-translations: the catalogue differs from the code's texts; run scripts/update-translations.sh"
    status=1
fi
exit $status
