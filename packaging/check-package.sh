#!/usr/bin/env bash
# Checks a built package: check-package.sh <package.deb>. Exits non-zero,
# saying what is wrong, when a file, a dependency or the desktop entry is
# not as it should be.
set -euo pipefail
deb=$1
fail() { echo "check-package: $*" >&2; exit 1; }

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for f in ./usr/bin/kv7-test ./usr/bin/kv7-sim ./usr/share/applications/kv7-test.desktop \
         ./usr/share/icons/hicolor/scalable/apps/kv7-test.svg; do
    grep -qx "$f" <<<"$contents" || fail "missing $f"
done
# Only the two programs go to bin: no tests, benchmarks or helpers.
[ "$(grep -c '^\./usr/bin/.' <<<"$contents")" -eq 2 ] || fail "unexpected programs: $(grep '^\./usr/bin/.' <<<"$contents" | tr '\n' ' ')"

depends=$(dpkg-deb --field "$deb" Depends)
for d in libqt6widgets6 libqt6serialport6 libqt6core6 qt6-qpa-plugins; do
    grep -qE "(^|, )$d( |,|$)" <<<"$depends" || fail "Depends lacks $d: $depends"
done
[ "$(dpkg-deb --field "$deb" Package)" = kv7-test ] || fail "wrong package name"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/kv7-test.desktop" || fail "desktop entry does not validate"
grep -q '^<svg' "$tree/usr/share/icons/hicolor/scalable/apps/kv7-test.svg" || fail "icon is not SVG"
if readelf -d "$tree/usr/bin/kv7-test" "$tree/usr/bin/kv7-sim" | grep -qiE 'rpath|runpath'; then
    fail "the programs carry a build-tree RPATH"
fi
"$tree/usr/bin/kv7-sim" --help | grep -q -- '--stall-after-first' || fail "kv7-sim --help from the package does not run"
echo "check-package: $deb is complete"
