#!/usr/bin/env bash
# Builds the Debian package of a configured build folder and checks it as a user would get it:
# its dependencies resolve, it unpacks into a scratch root with the files that `cmake --install`
# puts in place, and the installed salvoran runs and scans the demo volume as the built one does.
# The system itself is left as it was (no dpkg -i).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

rm -f "$build"/corvath-salvoran_*.deb
cmake --build "$build" --target package >/dev/null
deb=$(echo "$build"/corvath-salvoran_*.deb)
scratch=$(mktemp -d /tmp/salvoran-package.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

echo "== $deb"
dpkg-deb --field "$deb" Package Version Depends
# What dpkg-shlibdeps found, and that apt could install it here.
dpkg-deb --field "$deb" Depends | grep -q 'libc6 (>='
apt-get install --simulate --no-install-recommends "$(realpath "$deb")" | grep -q '^Inst corvath-salvoran'

dpkg -x "$deb" "$scratch/root"
cmake --install "$build" --prefix "$scratch/install/usr" >/dev/null
diff <(cd "$scratch/root" && find . -type f | sort) <(cd "$scratch/install" && find . -type f | sort)

installed=$scratch/root/usr/bin/salvoran
"$installed" --version
demo=$build/images/demo.img
cmp <("$installed" scan "$demo" --json) <("$build/cli/salvoran" scan "$demo" --json)
"$installed" scan "$demo" --summary
MANPAGER=cat MANWIDTH=80 man -l "$scratch/root/usr/share/man/man1/salvoran.1.gz" | grep -q 'salvoran recover'
for entry in "$scratch"/root/usr/share/applications/*.desktop; do
  [ -e "$entry" ] || continue
  desktop-file-validate "$entry"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  test -f "$scratch/root/usr/share/icons/hicolor/48x48/apps/$icon.png"
  test -f "$scratch/root/usr/share/icons/hicolor/scalable/apps/$icon.svg"
  appstreamcli validate --no-net --strict "$scratch/root/usr/share/metainfo/$icon.metainfo.xml" >/dev/null
done
echo "Package checks passed."
