#!/usr/bin/env bash
# Builds the Debian package from the default build (build/), unpacks it into a temporary root
# and checks what the menu needs: the .desktop entry's program and icon are installed where the
# desktop looks for them, the entry is valid, the manual pages are there, nothing but the
# programs and their share files is installed, and the installed kestrand-cli runs.
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/../build"

rm -f kestrand-upload_*.deb
log=$(cpack -G DEB 2>&1) || { echo "$log" >&2; exit 1; }
debs=(kestrand-upload_*.deb)
[ "${#debs[@]}" -eq 1 ] || { echo "expected one package, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

fail() { echo "check-package: $*" >&2; exit 1; }

# Only the three programs and their share files.
allowed='^\./usr/bin/kestrand-(upload|cli|meter-sim)$|^\./usr/lib/kestrand-upload/kestrand-cli-draw\.so$'
allowed+='|^\./usr/share/(applications|icons/hicolor/[^/]+/apps|man/man1)/kestrand-'
unexpected=$(cd "$root" && find . -type f | sort | grep -Ev "$allowed" || true)
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"
for p in kestrand-upload kestrand-cli kestrand-meter-sim; do
  [ -x "$root/usr/bin/$p" ] || fail "/usr/bin/$p missing"
  [ -f "$root/usr/share/man/man1/$p.1.gz" ] || fail "manual page of $p missing"
done

entry="$root/usr/share/applications/kestrand-upload.desktop"
[ -f "$entry" ] || fail "no menu entry in /usr/share/applications"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
icon_name=$(sed -n 's/^Icon=//p' "$entry")
[ -x "$root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
icons=$(find "$root/usr/share/icons/hicolor" -path '*/apps/*' -name "$icon_name.*")
[ -n "$icons" ] || fail "Icon=$icon_name has no file in the hicolor theme"
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$entry") || fail "desktop-file-validate rejects the entry: $out"
fi

version=$("$root/usr/bin/kestrand-cli" --version)
# A command that draws runs the drawing half from where the package puts it.
printf '"12/05/2006","02:05:33 PM",0,1\r\n1,1,0\r\n1,0\r\n1\r\n1,0\r\n2\r\n' >"$root/one.dat"
"$root/usr/bin/kestrand-cli" chart "$root/one.dat" --png "$root/one.png" >/dev/null 2>&1 ||
  fail "the installed kestrand-cli chart does not run"
rm -f "$root/one.dat" "$root/one.png"
echo "check-package: $deb ok ($version)"
