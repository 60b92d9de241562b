#!/usr/bin/env bash
# Makes OUT/kvx_VERSION_ARCH.deb from a native build (kvx and kvx_docs made): the command, its manual
# page and its bash completion, with the dependencies dpkg-shlibdeps finds in the binary. The
# version is the one the binary prints. Then checks the package: lintian must find no error, and the
# kvx it holds, unpacked into a folder of its own, must run.
#   make-deb.sh BUILD OUT
# DEBFULLNAME and DEBEMAIL name the maintainer, as for Debian's own tools.
set -euo pipefail
trap 'echo "deb: failed: line $LINENO of $0" >&2' ERR
build=$(realpath "${1:?usage: make-deb.sh BUILD OUT}")
out=${2:?usage: make-deb.sh BUILD OUT}
root=$(cd "$(dirname "$0")/.." && pwd)
maintainer="${DEBFULLNAME:-Vessaly developers} <${DEBEMAIL:-vessaly@example.org}>"

for tool in dpkg-shlibdeps dpkg-gencontrol lintian; do
  command -v "$tool" >/dev/null || { echo "deb: $tool is missing: make deb installs it (dpkg-dev, lintian)" >&2; exit 1; }
done
kvx=$build/kvx/kvx
version=$("$kvx" --version | sed -n 's/^kvx \([0-9][0-9.]*\)$/\1/p')
[ -n "$version" ] || { echo "deb: $kvx --version did not say its version" >&2; exit 1; }
arch=$(dpkg --print-architecture)
mkdir -p "$out"
deb=$(realpath "$out")/kvx_${version}_${arch}.deb

umask 022
# Dates come from the commits (the last for the files and the changelog, the first and last for the
# copyright), so that the same sources make the same package; from the clock where there is no history.
if last=$(git -C "$root" log -1 --format=%ct 2>/dev/null) && [ -n "$last" ]; then
  first=$(git -C "$root" log --format=%ct | tail -n 1)
else
  last=$(date +%s) first=$(date +%s)
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$last}
years=$(date -u -d "@$first" +%Y)
[ "$(date -u -d "@$last" +%Y)" = "$years" ] || years="$years-$(date -u -d "@$last" +%Y)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
package=$work/debian/kvx
"$root/scripts/install-kvx.sh" install "$package" /usr "$build" >/dev/null

# As Debian's own packages have them: symbols stripped, the manual page compressed.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$package/usr/bin/kvx"
gzip -9n "$package/usr/share/man/man1/kvx.1"

when=$(date -u -R -d "@$SOURCE_DATE_EPOCH")
mkdir -p "$package/usr/share/doc/kvx"
cat >"$work/debian/changelog" <<TEXT
kvx ($version) unstable; urgency=medium

  * kvx $version, built from the Vessaly sources.

 -- $maintainer  $when
TEXT
gzip -9nc "$work/debian/changelog" >"$package/usr/share/doc/kvx/changelog.gz"
cat >"$package/usr/share/doc/kvx/copyright" <<TEXT
kvx, the command-line companion of the Vessaly channel list editor.

Copyright $years the Vessaly developers

The sources state no licence; ask the Vessaly developers before you pass this package on.
TEXT

# kvx loads libcurl only when an FTP or web receiver is named, so dpkg-shlibdeps cannot see it:
# recommended, not required, as everything else works without it.
cat >"$work/debian/control" <<TEXT
Source: kvx
Section: utils
Priority: optional
Maintainer: $maintainer
Standards-Version: 4.6.2
Rules-Requires-Root: no

Package: kvx
Architecture: any
Depends: \${shlibs:Depends}
Recommends: libcurl4
Description: check, convert, compare and order kvx channel lists
$(python3 "$root/scripts/kvx-docs.py" package-description "$root/docs/kvx-manual.txt")
TEXT

# The libraries the binary is linked against, as package dependencies (none when it is static).
# DEBIAN/ marks the package's root for both tools.
mkdir -p "$package/DEBIAN"
(cd "$work" && dpkg-shlibdeps -Tdebian/kvx.substvars debian/kvx/usr/bin/kvx 2>"$work/shlibdeps.log") || {
  cat "$work/shlibdeps.log" >&2
  exit 1
}
grep -v "statically linked" "$work/shlibdeps.log" >&2 || true
(cd "$work" && dpkg-gencontrol -pkvx -Pdebian/kvx -Tdebian/kvx.substvars)
(cd "$package" && find usr -type f -exec md5sum {} + | sort -k 2 >DEBIAN/md5sums)
find "$package" -type d -exec chmod 755 {} +
dpkg-deb --root-owner-group -Zxz --build "$package" "$deb" >/dev/null
echo "deb: wrote $deb"
grep -E '^(Version|Depends|Installed-Size):' "$package/DEBIAN/control" | sed 's/^/deb:   /'

# lintian: every finding shown, an error fails.
echo "deb: lintian $(basename "$deb")"
lintian --fail-on error --display-info "$deb" | sed 's/^/deb:   /'
echo "deb: lintian found no error"

# Unpacked into a root of its own, the kvx it holds must be the version and read a list.
unpacked=$work/unpacked
dpkg-deb -x "$deb" "$unpacked"
said=$("$unpacked/usr/bin/kvx" --version)
[ "$said" = "kvx $version" ] || { echo "deb: the packaged kvx says '$said', not 'kvx $version'" >&2; exit 1; }
"$unpacked/usr/bin/kvx" check "$root/examples/sample.kvx" --categories "$root/examples/Category.txt" >/dev/null
for path in usr/share/man/man1/kvx.1.gz usr/share/bash-completion/completions/kvx; do
  [ -s "$unpacked/$path" ] || { echo "deb: the package has no /$path" >&2; exit 1; }
done
echo "deb: the packaged kvx runs: $said"
