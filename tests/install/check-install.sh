#!/usr/bin/env bash
# Installs a build tree into a scratch prefix and checks what a Linux desktop
# relies on to list and launch Quillane: the files sit where the freedesktop
# layout expects them, refer to each other by the same id, and pass
# desktop-file-validate and appstreamcli without errors or warnings.
#
#   check-install.sh CMAKE BUILD_DIR
set -euo pipefail

cmake=$1 build=$2
id=io.github.quillane.Quillane

for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (Debian: desktop-file-utils, appstream)"; exit 1; }
done

prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillane-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
for file in "$desktop" "$metainfo" "$prefix/share/icons/hicolor/scalable/apps/$id.svg" \
  "$prefix/share/doc/quillane/README.md"; do
  [[ -s $file ]] || fail "not installed: ${file#"$prefix"/}"
done
[[ -x $prefix/bin/quillane ]] || fail "not installed: bin/quillane"

if [[ -s $desktop ]]; then
  # Warnings do not change desktop-file-validate's exit status: any output fails.
  report=$(desktop-file-validate "$desktop" 2>&1) || true
  [[ -z $report ]] || fail "desktop-file-validate: $report"
  grep -qx "Exec=quillane" "$desktop" || fail "the desktop entry does not run the installed quillane"
  grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the installed icon"
fi
if [[ -s $metainfo ]]; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch the installed desktop entry"
fi
# The installed binary runs without the build tree next to it.
if [[ -x $prefix/bin/quillane ]]; then
  "$prefix/bin/quillane" --version >/dev/null || fail "bin/quillane --version"
fi

[[ $failures -eq 0 ]] || exit 1
echo "installed layout is complete and valid"
