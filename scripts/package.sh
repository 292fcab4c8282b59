#!/usr/bin/env bash
# Builds the Debian package (build/quillmere_VERSION_ARCH.deb, with CPack) and
# checks what is installed with Debian's validators: desktop-file-validate
# and appstreamcli on the desktop entry and the metadata, lintian on the
# package. Fails on any error; lintian's warnings are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
scripts/build.sh quillmere >/dev/null

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install build --prefix "$stage/usr" >/dev/null

failed=0
for entry in "$stage"/usr/share/applications/*.desktop; do
  # Debian 12's validator (0.26) predates version 1.5 of the desktop entry
  # format, which brought SingleMainWindow: that one complaint is no fault.
  report=$(desktop-file-validate "$entry" 2>&1 | grep -v 'key "SingleMainWindow"' || true)
  [ -n "$report" ] && printf '%s\n' "$report"
  if grep -q 'error:' <<<"$report"; then failed=1; fi
done
appstreamcli validate --no-net "$stage"/usr/share/metainfo/*.metainfo.xml || failed=1

rm -f build/quillmere_*.deb
if ! log=$(cd build && cpack -G DEB 2>&1); then
  printf '%s\n' "$log"
  exit 1
fi
deb=$(ls build/quillmere_*.deb)
# As root lintian says so on every run; that line is left out.
lint=0
report=$(lintian --fail-on error "$deb" 2>&1) || lint=$?
grep -v 'running with root privileges' <<<"$report" || true
[ "$lint" -eq 0 ] || failed=1

[ "$failed" -eq 0 ] || { echo "package: a validator failed"; exit 1; }
echo "package: $deb built; desktop-file-validate, appstreamcli and lintian found no error"
