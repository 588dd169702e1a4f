#!/usr/bin/env bash
# Builds the Debian package and checks it: its contents and relations,
# Debian's package checker (lintian) and the AppStream validator, each of
# which fails the check on any error or warning, and finally the program run
# from the unpacked package on the sample drive.
set -euo pipefail
build=$(realpath -m "${1:-build}")
cd "$(dirname "$0")/.."

fail() { echo "check-deb: $*" >&2; exit 1; }

rm -f "$build"/vendral_*.deb
(cd "$build" && timeout 600 cpack -G DEB >/dev/null)
debs=("$build"/vendral_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack did not build one package in $build"
deb=${debs[0]}
version=$(dpkg-deb --field "$deb" Version)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Depends Recommends Suggests

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg -x "$deb" "$root"

app_id=io.github.vendral.Vendral
for f in usr/bin/vendral usr/share/applications/$app_id.desktop usr/share/metainfo/$app_id.metainfo.xml \
         usr/share/icons/hicolor/32x32/apps/vendral.png usr/share/icons/hicolor/scalable/apps/vendral.svg \
         usr/share/man/man1/vendral.1.gz usr/share/man/nb/man1/vendral.1.gz usr/share/doc/vendral/copyright usr/share/doc/vendral/changelog.gz; do
    [ -e "$root/$f" ] || fail "$f is missing from the package"
done

# Hardened as Debian builds its own: bound at start (read-only GOT), with a
# stack protector and fortified libc calls.
# Read whole first: grep -q stops at its first match, and under pipefail the
# reader it leaves behind would fail the check.
program=$root/usr/bin/vendral
dynamic=$(readelf -d "$program")
symbols=$(readelf -W --dyn-syms "$program")
grep -q BIND_NOW <<<"$dynamic" || fail "the program is not linked with -z now"
grep -q __stack_chk_fail <<<"$symbols" || fail "the program has no stack protector"
grep -qE '__[a-z]+_chk@' <<<"$symbols" || fail "the program has no fortified libc calls"

# The window needs Qt's widgets and the X11 platform plugin (in libqt6gui6),
# the start-up page libcreg and liblnk; the virtual-disk formats qemu-img.
depends=$(dpkg-deb --field "$deb" Depends)
for p in libqt6widgets6 libqt6gui6 libcreg1 liblnk1; do
    grep -qw "$p" <<<"$depends" || fail "Depends lacks $p"
done
recommends=$(dpkg-deb --field "$deb" Recommends)
for p in qemu-utils; do
    grep -qw "$p" <<<"$recommends" || fail "Recommends lacks $p"
done
changelog_version=$(dpkg-parsechangelog -l packaging/changelog -S Version)
[ "$changelog_version" = "$version" ] ||
    fail "packaging/changelog's latest entry is $changelog_version, the package is $version"

# lintian advises against running as root, so as root it runs as nobody, on a
# copy of the package in a directory of its own.
lintian_dir=$work/lintian
mkdir "$lintian_dir"
cp "$deb" "$lintian_dir/"
lintian_cmd=(timeout 600 env HOME="$lintian_dir" TMPDIR="$lintian_dir"
             lintian --display-info --pedantic --fail-on error,warning "$lintian_dir/$(basename "$deb")")
if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody: "$lintian_dir"
    chmod 755 "$work"
    lintian_cmd=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups "${lintian_cmd[@]}")
fi
echo "lintian:"
"${lintian_cmd[@]}" </dev/null || fail "lintian found errors or warnings"

# The metadata as written, then as installed: the tree check also finds the
# menu entry the metadata names.
echo "appstreamcli:"
timeout 120 appstreamcli validate --no-net data/*.metainfo.xml || fail "the AppStream metadata is not valid"
timeout 120 appstreamcli validate-tree --no-net "$root" || fail "the package's AppStream metadata is not valid"

"$root/usr/bin/vendral" --version
"$root/usr/bin/vendral" --drive C=examples/drive-c --report > "$work/report.json"
grep -q '"error": null' "$work/report.json" || fail "the unpacked program did not read the sample drive"
echo "check-deb: lintian and appstreamcli report no error or warning; the unpacked package reads the sample drive"
