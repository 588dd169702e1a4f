#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and runs the
# program from there on the sample drive.
set -euo pipefail
build=${1:-build}
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/vendral_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Depends
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
for f in usr/bin/vendral usr/share/applications/vendral.desktop \
         usr/share/icons/hicolor/32x32/apps/vendral.png usr/share/icons/hicolor/scalable/apps/vendral.svg \
         usr/share/man/man1/vendral.1; do
    [ -e "$root/$f" ] || { echo "check-deb: $f is missing from the package" >&2; exit 1; }
done
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || { echo "check-deb: no Qt dependency found" >&2; exit 1; }
"$root/usr/bin/vendral" --version
"$root/usr/bin/vendral" --drive C=examples/drive-c --report > "$root/report.json"
grep -q '"error": null' "$root/report.json"
echo "check-deb: the unpacked package reads the sample drive"
