#!/usr/bin/env bash
# Brings the English catalogue up to date with the texts in the code and the
# .ui files: new texts come in unfinished (to be translated in
# translations/vendral_en.ts), texts gone from the code go.
# Usage: scripts/update-translations.sh [CATALOGUE]   (default: the repository's)
set -euo pipefail
catalogue=""
[ $# -ge 1 ] && catalogue="$(realpath -m "$1")"
cd "$(dirname "$0")/.."
catalogue="${catalogue:-translations/vendral_en.ts}"
lupdate="${LUPDATE:-}"
[ -z "$lupdate" ] && [ -x /usr/lib/qt6/bin/lupdate ] && lupdate=/usr/lib/qt6/bin/lupdate
[ -z "$lupdate" ] && lupdate=$(command -v lupdate || true)
[ -n "$lupdate" ] || { echo "update-translations: lupdate not found (package qt6-l10n-tools)" >&2; exit 1; }
"$lupdate" -silent -locations none -no-obsolete -source-language nb -target-language en \
    -I . drives loading audit editing widgets app -ts "$catalogue"
