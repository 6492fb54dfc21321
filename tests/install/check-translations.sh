#!/usr/bin/env bash
# Runs lupdate over the window's sources into scratch copies of the .ts
# files and fails when that would add a text nobody translated (unfinished)
# or keep one the sources no longer have (vanished, obsolete): a new or
# changed text in the window must come with its translation.
#
#   check-translations.sh LUPDATE SOURCE_LIST TS_DIR
set -euo pipefail

lupdate=$1 sources=$2 tsDir=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillane-ts.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

failures=0
for ts in "$tsDir"/quillane_*.ts; do
  name=$(basename "$ts")
  cp "$ts" "$scratch/$name"
  options=(-locations none)
  # The English file holds the plural forms alone (translations/CMakeLists.txt).
  [[ $name == quillane_en.ts ]] && options+=(-pluralonly)
  "$lupdate" "${options[@]}" "@$sources" -ts "$scratch/$name" >/dev/null
  open=$(grep -c 'type="unfinished"\|type="vanished"\|type="obsolete"' "$scratch/$name" || true)
  if [[ $open -ne 0 ]]; then
    echo "FAIL: $name: $open texts are untranslated or gone from the sources; run 'ninja update_translations' and translate:"
    grep -B3 'type="unfinished"\|type="vanished"\|type="obsolete"' "$scratch/$name" | grep '<source>' | head -20
    failures=$((failures + 1))
  fi
done
[[ $failures -eq 0 ]] || exit 1
echo "every window text is translated"
