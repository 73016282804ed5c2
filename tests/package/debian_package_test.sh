#!/usr/bin/env bash
# debian_package_test.sh BUILD_FOLDER VERSION: the Debian package as a packager checks it. lintian
# reports no error or warning; the package, the changelog's newest entry, the metainfo's newest
# release, the manual pages and the program inside all name the project's version.
set -euo pipefail
build=$1 version=$2
for tool in cpack lintian dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$work/kiriview_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb")"

# Overrides (packaging/lintian-overrides) are honoured; each carries its reason.
lintian --fail-on error,warning "$deb" 2>/dev/null | tee "$work/lintian.log" || fail "lintian: errors or warnings"
! grep -E '^[EW]: ' "$work/lintian.log" || fail "lintian: errors or warnings"

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
root=$work/root
dpkg-deb -x "$deb" "$root"
[ "$(zcat "$root/usr/share/doc/kiriview/changelog.gz" | head -n1 | cut -d' ' -f2)" = "($version)" ] \
  || fail "the changelog's newest entry is not $version"
release=$(grep -o -m1 '<release version="[^"]*"' "$root"/usr/share/metainfo/*.metainfo.xml | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "the metainfo's newest release is $release, not $version"
for page in man1 ja/man1; do
  zgrep -q "^\.TH KIRIVIEW 1 .* \"kiriview $version\"" "$root/usr/share/man/$page/kiriview.1.gz" \
    || fail "the manual page in $page does not name version $version"
done
# Nothing the program needs may lie under /usr/share/doc, which systems may leave out.
rm -rf "$root/usr/share/doc"
[ -f "$root/usr/share/kiriview/help/index.html" ] || fail "the help page is not under usr/share/kiriview"
printed=$(HOME=$work QT_QPA_PLATFORM=offscreen "$root/usr/bin/kiriview" --version 2>/dev/null)
[ "$printed" = "kiriview $version" ] || fail "the packaged program printed '$printed'"
echo "ok: $(basename "$deb")"
