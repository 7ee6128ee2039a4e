#!/usr/bin/env bash
# Checks a built package: check-package.sh <package.deb>. Exits non-zero,
# saying what is wrong, when a file, a dependency, the desktop entry, a
# manual page or a program's --help is not as it should be, or when lintian
# reports an error.
set -euo pipefail
deb=${1:?usage: check-package.sh <package.deb>}
fail() { echo "check-package: $*" >&2; exit 1; }

listing=$(dpkg-deb --contents "$deb") || fail "$deb is not a readable package"
contents=$(awk '{print $6}' <<<"$listing")
doc=./usr/share/doc/kv7-test
for f in ./usr/bin/kv7-test ./usr/bin/kv7-sim ./usr/bin/kv7-run ./usr/share/applications/kv7-test.desktop \
         ./usr/share/icons/hicolor/scalable/apps/kv7-test.svg \
         ./usr/share/man/man1/kv7-test.1.gz ./usr/share/man/man1/kv7-sim.1.gz ./usr/share/man/man1/kv7-run.1.gz \
         $doc/copyright $doc/changelog.gz $doc/user-guide.md; do
    grep -qx "$f" <<<"$contents" || fail "missing $f"
done
# Only the three programs are executable files anywhere in the package: no
# tests, benchmarks or helpers, in bin or elsewhere.
extra=$(awk '$1 ~ /^-..x/ && $6 !~ /^\.\/usr\/bin\/kv7-(test|sim|run)$/ {print $6}' <<<"$listing")
[ -z "$extra" ] || fail "unexpected programs: $(tr '\n' ' ' <<<"$extra")"

depends=$(dpkg-deb --field "$deb" Depends)
for d in libqt6widgets6 libqt6serialport6 libqt6core6 qt6-qpa-plugins libqt6svg6; do
    grep -qE "(^|, )$d( |,|$)" <<<"$depends" || fail "Depends lacks $d: $depends"
done
[ "$(dpkg-deb --field "$deb" Package)" = kv7-test ] || fail "wrong package name"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/kv7-test.desktop" || fail "desktop entry does not validate"
for key in Exec Icon; do
    grep -qx "$key=kv7-test" "$tree/usr/share/applications/kv7-test.desktop" || fail "the desktop entry's $key is not kv7-test"
done
grep -q '^<svg' "$tree/usr/share/icons/hicolor/scalable/apps/kv7-test.svg" || fail "icon is not SVG"
programs=("$tree/usr/bin/kv7-test" "$tree/usr/bin/kv7-sim" "$tree/usr/bin/kv7-run")
rpaths=$(readelf -d "${programs[@]}" | grep -iE 'rpath|runpath' || true)
[ -z "$rpaths" ] || fail "the programs carry an RPATH or RUNPATH: $rpaths"
missing=$(ldd "${programs[@]}" | grep 'not found' || true)
[ -z "$missing" ] || fail "libraries the programs need are not on this system: $missing"
# kv7-run is for stations without a display: Qt Core and Qt SerialPort only.
runqt=$(readelf -d "$tree/usr/bin/kv7-run" | grep -oE 'libQt6[A-Za-z]+' | sort -u)
others=$(grep -vxE 'libQt6(Core|SerialPort)' <<<"$runqt" || true)
[ -z "$others" ] || fail "kv7-run links more of Qt than Core and SerialPort: $(tr '\n' ' ' <<<"$others")"

# The guide's pictures sit where its relative links point.
for img in $(grep -o '(images/[^)]*)' "$tree/${doc#./}/user-guide.md" | tr -d '()'); do
    [ -f "$tree/${doc#./}/$img" ] || fail "the user guide shows $img, which the package lacks"
done

# The manual pages: found where man looks, rendered without a warning, and
# the command-line tools' pages name every option their --help prints.
export MANPATH=$tree/usr/share/man MANWIDTH=80
for page in kv7-test kv7-sim kv7-run; do
    found=$(man -w "$page") || fail "man -w $page finds no page"
    [ "$found" = "$tree/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page finds $found"
    warnings=$(man --warnings -l "$found" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man reports for $page: $warnings"
done
# --help and --version answer without a display; the tools' --help lists
# their options (one of each is named here).
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=)
for tool in kv7-sim:--stall-after-first kv7-run:--port; do
    name=${tool%%:*}
    help=$("${nodisplay[@]}" "$tree/usr/bin/$name" --help) || fail "$name --help from the package exits with $?"
    grep -q -- "${tool#*:}" <<<"$help" || fail "$name --help from the package prints no option list"
    page=$(MANWIDTH=1000 man --no-hyphenation --no-justification -l "$tree/usr/share/man/man1/$name.1.gz" 2>/dev/null)
    for opt in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
        grep -qE -- "(^|[^-[:alnum:]])$opt([^-[:alnum:]]|\$)" <<<"$page" || fail "the $name manual page lacks $opt"
    done
done
usage=$("${nodisplay[@]}" "$tree/usr/bin/kv7-test" --help) || fail "kv7-test --help without a display exits with $?"
grep -q -- '--port PORT' <<<"$usage" && grep -q 'man kv7-test' <<<"$usage" || fail "kv7-test --help prints: $usage"
version=$("${nodisplay[@]}" "$tree/usr/bin/kv7-test" --version) || fail "kv7-test --version without a display exits with $?"
[ "$version" = "kv7-test $(dpkg-deb --field "$deb" Version)" ] || fail "kv7-test --version prints: $version"

# lintian: any error fails; warnings are printed (none is left today). Its
# notes shown only with -I stay: hardening-no-bindnow and
# hardening-no-fortify-functions ask for Debian's hardening flags
# (dpkg-buildflags), which this CMake build does not use, and
# binary-has-unneeded-section names the compiler's .comment note, which
# CPack's strip keeps.
report=$(lintian --fail-on none "$deb" 2>&1) || fail "lintian could not check $deb: $report"
report=$(grep -v '^running with root privileges' <<<"$report" || true)
if [ -n "$report" ]; then echo "$report"; fi
! grep -q '^E:' <<<"$report" || fail "lintian reports errors"
echo "check-package: $deb is complete"
