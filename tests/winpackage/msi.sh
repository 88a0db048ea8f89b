#!/usr/bin/env bash
# The MSI package under Wine, as an IT department deploys it: made from the same install step as
# the zip (the same files), installed silently (msiexec /i /qn): the files, the Start-menu
# shortcut, the entry in the installed programs with its icon, the installed veqctl.exe runs; a
# higher version installed over it replaces it (one entry, its files); msiexec /x /qn leaves
# nothing of the folder, the shortcut, the entry.
#   msi.sh BUILD_DIR WINE_RUN SOURCE_DIR VERSION
set -euo pipefail
build=$1 wine_run=$2 source=$3 version=$4
out=$build/msi-test
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$out" && mkdir -p "$out"
(cd "$build" && cpack -G "ZIP;External" -B "$out" >"$out.log" 2>&1) || fail "cpack: $(tail -20 "$out.log")"
msi=$out/VEQ-Cadence-$version-win64.msi
zip=$out/VEQ-Cadence-$version-win64.zip
[ -f "$msi" ] || fail "no $msi"

# The same files as the zip (whose list the setup program's test checks).
mkdir -p "$out/extracted"
msiextract -C "$out/extracted" "$msi" >/dev/null
in_msi=$(cd "$out/extracted/VEQ Cadence" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
in_zip=$(cmake -E tar tf "$zip" | grep -v '/$' | sed "s|^VEQ-Cadence-$version-win64/||" | sort | tr '\n' ' ')
[ "$in_msi" = "$in_zip" ] || fail "the MSI holds: $in_msi; the zip: $in_zip"
properties=$(msiinfo export "$msi" Property)
code() { sed -n "s/^$1\t\(.*\)\r\?$/\1/p" <<<"$2" | tr -d '\r'; }
product=$(code ProductCode "$properties")
upgrade=$(code UpgradeCode "$properties")
[ "$(code ALLUSERS "$properties")" = 1 ] || fail "not a per-machine package: $properties"
[ "$(code ProductLanguage "$properties")" = 1036 ] || fail "not French: $properties"
msiinfo suminfo "$msi" | grep -q '^Template: x64;1036$' || fail "not a 64-bit French package: $(msiinfo suminfo "$msi")"

"$wine_run" cmd /c exit
prefix=$(sed -n 's/^export WINEPREFIX="${WINEPREFIX:-\(.*\)}"$/\1/p' "$wine_run")
dir="$prefix/drive_c/Program Files/VEQ Cadence"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The Start menu of all users; Wine's msi puts a per-machine package's shortcuts into the user's.
menus=("$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VEQ Cadence")
for user in "$prefix"/drive_c/users/*/; do
  menus+=("${user}AppData/Roaming/Microsoft/Windows/Start Menu/Programs/VEQ Cadence")
done
wait_for() { for _ in $(seq 600); do eval "$1" && return 0; sleep 0.1; done; fail "$2"; }
# The entries of the installed programs named VEQ Cadence, one key a line.
entries() {
  "$wine_run" reg query "$uninstall" /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ {key=$0} /DisplayName +REG_SZ +VEQ Cadence$/ {print key}'
}
win() { echo "Z:${1//\//\\}"; }
[ -z "$(entries)" ] || fail "VEQ Cadence is installed before the test: $(entries)"
rm -rf "$dir"

"$wine_run" msiexec /i "$(win "$msi")" /qn || fail "msiexec /i ended with $?"
for f in $in_zip; do wait_for '[ -f "$dir/$f" ]' "the installation lacks $f"; done
cmp -s "$dir/veqctl.exe" "$out/extracted/VEQ Cadence/veqctl.exe" || fail "veqctl.exe differs"
shortcut() { for m in "${menus[@]}"; do [ -f "$m/VEQ Cadence.lnk" ] && echo "$m/VEQ Cadence.lnk"; done; }
wait_for '[ -n "$(shortcut)" ]' "no Start-menu shortcut VEQ Cadence.lnk"
link=$(shortcut)
grep -aq 'C:\\Program Files\\VEQ Cadence\\veq-cadence.exe' "$link" || fail "the shortcut does not start veq-cadence.exe"
strings -a -el "$link" | grep -qF "Installer\\$product\\veq_cadence.ico" || fail "the shortcut has no icon"
[ "$(entries)" = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product" ] ||
  fail "entries in the installed programs: $(entries)"
key=$("$wine_run" reg query "$uninstall\\$product" 2>&1 | tr -d '\r')
grep -q "DisplayVersion *REG_SZ *$version$" <<<"$key" || fail "entry: $key"
LC_ALL=C grep -aq "Publisher *REG_SZ *Les d.*veloppeurs de VEQ Cadence$" <<<"$key" || fail "entry: $key"
icon=$("$wine_run" reg query 'HKLM\Software\Classes\Installer\Products' /s 2>&1 | tr -d '\r' |
       sed -n "s/^ *ProductIcon *REG_SZ *//p" | grep -F "$product" || true)
[ -n "$icon" ] && [ -f "$prefix/drive_c/windows/Installer/$product/veq_cadence.ico" ] ||
  fail "the installed programs show no icon for VEQ Cadence"

# The installed veqctl.exe runs and answers in French.
help=$(timeout 60 "$wine_run" "C:\\Program Files\\VEQ Cadence\\veqctl.exe" --help 2>&1 | tr -d '\r') ||
  fail "the installed veqctl.exe --help: $help"
grep -q '^Usage : veqctl' <<<"$help" || fail "the installed veqctl.exe --help: $help"

# A higher version over it: the same folder with a README of its own, made by the same script.
IFS=. read -r major minor patch <<<"$version"
next=$major.$minor.$((patch + 1))
cp -a "$out/extracted/VEQ Cadence" "$out/next"
echo "Version $next." >>"$out/next/README.md"
cmake -DVEQ_MSI_STAGE="$out/next" -DVEQ_MSI_VERSION="$next" -DVEQ_MSI_OUTPUT="$out/next-msi/next.msi" \
  -DVEQ_MSI_SOURCE="$source" -P "$source/cmake/windows/msi.cmake" >"$out/next.log" 2>&1 ||
  fail "the MSI of $next: $(cat "$out/next.log")"
next_product=$(code ProductCode "$(msiinfo export "$out/next-msi/next.msi" Property)")
[ "$next_product" != "$product" ] || fail "version $next has the product code of $version"
[ "$(code UpgradeCode "$(msiinfo export "$out/next-msi/next.msi" Property)")" = "$upgrade" ] ||
  fail "version $next has another upgrade code"
"$wine_run" msiexec /i "$(win "$out/next-msi/next.msi")" /qn || fail "msiexec /i (upgrade) ended with $?"
wait_for 'cmp -s "$dir/README.md" "$out/next/README.md"' "the upgrade left the old README.md"
for f in $in_zip; do [ -f "$dir/$f" ] || fail "after the upgrade the installation lacks $f"; done
[ "$(entries)" = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$next_product" ] ||
  fail "after the upgrade, entries in the installed programs: $(entries)"
"$wine_run" reg query "$uninstall\\$next_product" 2>&1 | tr -d '\r' |
  grep -q "DisplayVersion *REG_SZ *$next$" || fail "the entry does not say $next"

# Silent removal: nothing left.
"$wine_run" msiexec /x "$(win "$out/next-msi/next.msi")" /qn || fail "msiexec /x ended with $?"
wait_for '[ ! -e "$dir" ]' "left in $dir: $(ls -A "$dir" 2>/dev/null)"
[ -z "$(entries)" ] || fail "after msiexec /x, entries in the installed programs: $(entries)"
for m in "${menus[@]}"; do [ ! -e "$m" ] || fail "the Start-menu folder $m is still there"; done
! "$wine_run" reg query 'HKLM\Software\VEQ Cadence' >/dev/null 2>&1 || fail "HKLM\\Software\\VEQ Cadence is still there"
echo "PASS: MSI install, upgrade, removal"
