#!/usr/bin/env bash
# Installs a build tree into a scratch prefix and checks what a Linux desktop
# relies on to list and launch Quillane: the files sit where the freedesktop
# layout expects them, refer to each other by the same id, and pass
# desktop-file-validate and appstreamcli without errors or warnings; the
# manual page, licence and changelog sit where man-db and Debian look; and
# the binary and metainfo report the project's version, and the binary finds
# the one its window and treemap run in; the shell completions sit where
# bash-completion, zsh and fish look; the window's translations sit where it
# looks for them beside the binary.
#
#   check-install.sh CMAKE BUILD_DIR VERSION
set -euo pipefail

cmake=$1 build=$2 version=$3
id=io.github.quillane.Quillane

for tool in desktop-file-validate appstreamcli groff; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (Debian: desktop-file-utils, appstream, groff-base)"; exit 1; }
done

prefix=$(mktemp -d "${TMPDIR:-/tmp}/quillane-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
doc=$prefix/share/doc/quillane
man=$prefix/share/man/man1/quillane.1.gz
for file in "$desktop" "$metainfo" "$prefix/share/icons/hicolor/scalable/apps/$id.svg" \
  "$doc/README.md" "$doc/copyright" "$doc/changelog.gz" "$man" \
  "$prefix/share/quillane/translations/quillane_de.qm" "$prefix/share/quillane/translations/quillane_en.qm"; do
  [[ -s $file ]] || fail "not installed: ${file#"$prefix"/}"
done
[[ -x $prefix/bin/quillane ]] || fail "not installed: bin/quillane"
bash_completion=$prefix/share/bash-completion/completions/quillane
for file in "$bash_completion" "$prefix/share/zsh/vendor-completions/_quillane" \
  "$prefix/share/fish/vendor_completions.d/quillane.fish"; do
  [[ -s $file ]] || fail "not installed: ${file#"$prefix"/}"
done
if [[ -s $bash_completion ]]; then
  bash -n "$bash_completion" || fail "bash does not read the bash completion"
fi

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
  grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's latest release is not $version"
fi
if [[ -s $man ]]; then
  # man-db reads it compressed; groff reports markup it cannot lay out.
  report=$(gzip -dc "$man" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1) || true
  [[ -z $report ]] || fail "the manual page does not lay out cleanly: $report"
  gzip -dc "$man" | grep -q "^\.TH QUILLANE 1 .*\"Quillane $version\"" || fail "the manual page is not for $version"
fi
# The installed binary runs without the build tree next to it.
if [[ -x $prefix/bin/quillane ]]; then
  reported=$("$prefix/bin/quillane" --version) || fail "bin/quillane --version"
  [[ $reported == "quillane $version" ]] || fail "bin/quillane --version says '$reported', not 'quillane $version'"
  # The window and the treemap run in quillane-gui, which quillane finds in
  # the installed layout.
  "$prefix/bin/quillane" window --help | grep -q "^Usage: quillane window" || fail "bin/quillane window --help"
fi

[[ $failures -eq 0 ]] || exit 1
echo "installed layout is complete and valid"
