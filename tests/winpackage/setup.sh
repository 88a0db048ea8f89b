#!/usr/bin/env bash
# The Windows setup program under Wine: makes the setup program and the zip, checks the zip holds
# exactly the program's folder, installs silently (/S), starts the installed program headless,
# uninstalls silently and checks that nothing is left; the portable folder shows its main window on
# a display.
#   setup.sh BUILD_DIR WINE_RUN QT_PLUGINS VERSION
set -euo pipefail
build=$1 wine_run=$2 qt_plugins=$3 version=$4
out=$build/package-test
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$out"
(cd "$build" && cpack -G "NSIS;ZIP" -B "$out" >"$out.log" 2>&1) || fail "cpack: $(tail -20 "$out.log")"
setup=$out/VEQ-Cadence-$version-win64-setup.exe
zip=$out/VEQ-Cadence-$version-win64.zip
[ -f "$setup" ] || fail "no $setup"
[ -f "$zip" ] || fail "no $zip"

# Everything the program needs and nothing else.
want="LICENSE Qt6Core.dll Qt6Gui.dll Qt6SerialPort.dll Qt6Widgets.dll README.md VEQ_KLD.doc
libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll platforms/qwindows.dll qt.conf
styles/qwindowsvistastyle.dll translations/qtbase_fr.qm veq-cadence.exe veqctl.exe"
got=$(cmake -E tar tf "$zip" | grep -v '/$' | sed "s|^VEQ-Cadence-$version-win64/||" | sort | tr '\n' ' ')
expected=$(printf '%s\n' $want | sort | tr '\n' ' ')
[ "$got" = "$expected" ] || fail "the zip holds: $got; expected: $expected"

# The Wine prefix of the build (made by the runner on first use).
"$wine_run" cmd /c exit
prefix=$(sed -n 's/^export WINEPREFIX="${WINEPREFIX:-\(.*\)}"$/\1/p' "$wine_run")
dir="$prefix/drive_c/Program Files/VEQ Cadence"
# Waits until `test` holds, at most 60 s (the setup and uninstall programs return before they end).
wait_for() { for _ in $(seq 600); do eval "$1" && return 0; sleep 0.1; done; fail "$2"; }

rm -rf "$dir"
"$wine_run" "$setup" /S
wait_for '[ -f "$dir/Uninstall.exe" ] || [ -f "$dir/Desinstaller.exe" ]' "nothing installed in $dir"
for f in $want; do wait_for '[ -f "$dir/$f" ]' "the installation lacks $f"; done
links="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VEQ Cadence"
wait_for '[ -f "$links/VEQ Cadence.lnk" ]' "no Start-menu shortcut in $links"
"$wine_run" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VEQ Cadence' \
  >"$out/uninstall-key.txt" 2>&1 || fail "no entry in the installed programs: $(cat "$out/uninstall-key.txt")"
grep -q "DisplayName.*VEQ Cadence" "$out/uninstall-key.txt" || fail "entry: $(cat "$out/uninstall-key.txt")"
grep -q "DisplayVersion.*$version" "$out/uninstall-key.txt" || fail "entry: $(cat "$out/uninstall-key.txt")"

# The installed program starts headless (the offscreen plugin is the build's, not the package's),
# opens Qt's French texts from its own folder and is still running after its splash.
set +e
WINEDEBUG=trace+file WINEQT_PLUGIN_PATH="$qt_plugins" timeout 15 "$wine_run" "$dir/veq-cadence.exe" \
  >"$out/run.out" 2>"$out/run.err"
status=$?
set -e
[ "$status" -eq 124 ] || fail "veq-cadence.exe ended by itself ($status): $(grep -v trace: "$out/run.err" | tail -5)"
grep -q 'CreateFileW .*VEQ Cadence\\\\translations\\\\qtbase_fr\.qm" GENERIC_READ' "$out/run.err" ||
  fail "veq-cadence.exe did not open translations/qtbase_fr.qm"

# The portable folder (the zip, unpacked anywhere) runs in place and, on a display (Xvfb) with
# Qt's Windows platform from its own folder, shows its main window: Wine gives each of its windows
# an X window of the same title. It runs in a Wine prefix of its own: a prefix that once ran a
# program on a display stays bound to it, and the build's prefix stays headless for the others.
portable=$out/portable
rm -rf "$portable" && mkdir -p "$portable"
(cd "$portable" && cmake -E tar xf "$zip")
title=" Cadence moyenne sur VEQ."
shown=$(WINEPREFIX="$portable/prefix" xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  WINEQT_QPA_PLATFORM=windows timeout 90 "$1" "$2" >/dev/null 2>&1 &
  app=$!
  for _ in $(seq 180); do
    if xdotool search --name "$3" >/dev/null 2>&1; then echo shown; break; fi
    sleep 0.5
  done
  kill "$app" 2>/dev/null
  wait "$app" 2>/dev/null
  true' _ "$wine_run" "$portable/VEQ-Cadence-$version-win64/veq-cadence.exe" "$title" || true)
WINEPREFIX="$portable/prefix" wineserver -k 2>/dev/null || true
[ "$shown" = shown ] || fail "the portable veq-cadence.exe showed no window \"$title\" within 90 s"

# The uninstaller (a copy of itself runs from the temporary folder).
uninstaller=$(ls "$dir"/*.exe | grep -v -e veq-cadence.exe -e veqctl.exe | head -1)
"$wine_run" "$uninstaller" /S
wait_for '[ ! -e "$dir" ] || [ -z "$(ls -A "$dir")" ]' "left in $dir: $(ls -A "$dir" 2>/dev/null)"
wait_for '! "$wine_run" reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VEQ Cadence" >/dev/null 2>&1' \
  "the entry in the installed programs is still there"
[ ! -e "$links" ] || fail "the Start-menu folder is still there"
echo "PASS: setup, start, uninstall"
