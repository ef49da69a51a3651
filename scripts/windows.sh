#!/usr/bin/env bash
# Vantrel for 64-bit Windows, from this Linux machine:
#   1. Qt for Windows, built once from Debian's qt6-base source into a cache
#      outside the clone (scripts/windows-qt.sh);
#   2. Vantrel cross-built with Debian's mingw-w64, warnings as errors
#      (build-windows/);
#   3. the Windows suites run under Wine, one of them on COM5, which Wine
#      links to vantrel-sim's pseudo-terminal;
#   4. the installer (NSIS, through CPack), installed silently under Wine,
#      started, and uninstalled.
# The last line is the summary: "N passed, M failed".
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

install_packages "${base_packages[@]}" g++-mingw-w64-x86-64-posix ninja-build nsis wine wine64 \
  xvfb xauth x11-utils x11-apps python3 procps
qt_rc=0
qt=$(bash scripts/windows-qt.sh) || qt_rc=$?
if [ "$qt_rc" = 3 ]; then
  echo "Windows : essai sauté (sudo bash scripts/windows.sh construit Qt pour Windows une fois)"
  exit 0
fi
[ "$qt_rc" = 0 ] || exit "$qt_rc"
echo "== Qt pour Windows : $qt"

echo "== Construction pour Windows (build-windows/)"
as_builder cmake -G Ninja -S . -B build-windows \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/packaging/windows/mingw-toolchain.cmake" \
  -DVANTREL_QT_WINDOWS="$qt" -DCMAKE_PREFIX_PATH="$qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_BUILD_TYPE=Release -DVANTREL_WERROR=ON
as_builder cmake --build build-windows -j"$(nproc)"
# The simulator is the Linux one.
[ -x build/vantrel-sim ] || configure_and_build build vantrel-sim -- -DVANTREL_WERROR=ON

# A Wine of its own, in a temporary folder: never the user's, nor their settings.
work=$(as_builder mktemp -d)
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sim_pid= xvfb_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  as_builder env WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# The windows platform plugin (what a user has) on an X server of its own:
# Wine draws its windows there; it is up before Wine starts, or Wine's
# desktop process runs without it and no window ever shows.
"${builder[@]}" Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=:$(cat "$work/display")
export DISPLAY
echo "== Wine : préfixe neuf"
as_builder env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="$WINEDLLOVERRIDES" DISPLAY="$DISPLAY" \
  wineboot -i >/dev/null 2>&1
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
pthread=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")
winpath() { as_builder env WINEPREFIX="$WINEPREFIX" winepath -w "$1" 2>/dev/null; }
WINEPATH="$(winpath "$qt/bin");$(winpath "$runtime");$(winpath "$pthread")"
export WINEPATH QT_PLUGIN_PATH
QT_PLUGIN_PATH=$(winpath "$qt/plugins")
wine_run() { as_builder env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEPATH="$WINEPATH" DISPLAY="$DISPLAY" \
  QT_PLUGIN_PATH="$QT_PLUGIN_PATH" QT_QPA_PLATFORM=windows "$@"; }

# COM5 is vantrel-sim: the scan 4006381333931, 30 ms after each trigger.
"${builder[@]}" build/vantrel-sim --codes 4006381333931 --delay 30 --link "$WINEPREFIX/dosdevices/com5" \
  > "$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -e "$WINEPREFIX/dosdevices/com5" ] && break; sleep 0.1; done

passed=0 failed=0
echo "== Suites sous Wine"
for t in tst_comdevice tst_textrules tst_window tst_wincomm; do
  out=$work/$t.txt
  rc=0
  wine_run VANTREL_WINE_COM=COM5 timeout 600 wine "build-windows/tests/$t.exe" -o "$(winpath "$out"),txt" \
    >/dev/null 2>&1 || rc=$?
  if [ -f "$out" ]; then cat "$out"; fi
  totals=$(grep -a '^Totals:' "$out" 2>/dev/null || true)
  p=$(echo "$totals" | sed -n 's/^Totals: \([0-9]*\) passed, \([0-9]*\) failed.*/\1/p')
  f=$(echo "$totals" | sed -n 's/^Totals: \([0-9]*\) passed, \([0-9]*\) failed.*/\2/p')
  if [ -z "$p" ]; then echo "  ÉCHEC $t : pas de résultat (code $rc)"; p=0; f=1; fi
  passed=$((passed + p)); failed=$((failed + f))
done

echo "== Installateur"
(cd build-windows && as_builder cpack -G NSIS >/dev/null)
installer=$(ls build-windows/Vantrel-*-win64.exe)
ls -l "$installer"
installed="$WINEPREFIX/drive_c/Program Files/Vantrel"
inst_check() {
  if "$@" >/dev/null 2>&1; then printf '  ok    %s\n' "$desc"; passed=$((passed + 1))
  else printf '  ÉCHEC %s\n' "$desc"; failed=$((failed + 1)); fi
}
desc="installé sans question (/S)"; inst_check wine_run wine "$installer" /S
for _ in $(seq 30); do [ -f "$installed/vantrel.exe" ] && break; sleep 1; done
desc="vantrel.exe et Qt en place"; inst_check test -f "$installed/vantrel.exe" -a -f "$installed/Qt6Widgets.dll" \
  -a -f "$installed/platforms/qwindows.dll"
desc="vantrel.exe --version"; inst_check sh -c "cd '$installed' && \
  env WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all wine vantrel.exe --version | grep -q '^vantrel '"
# The window of the installed program (its own Qt, no WINEPATH), as a user sees it.
window_up() {
  (cd "$installed" && as_builder env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all DISPLAY="$DISPLAY" wine vantrel.exe \
    >/dev/null 2>&1 &)
  for _ in $(seq 60); do
    if xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -q '"Vantrel"'; then
      # VANTREL_WINDOWS_SHOT=FILE.png keeps a picture of it (for docs/).
      if [ -n "${VANTREL_WINDOWS_SHOT:-}" ]; then
        sleep 2
        xwd -display "$DISPLAY" -name Vantrel | python3 scripts/xwd2png.py "$VANTREL_WINDOWS_SHOT"
      fi
      return 0
    fi
    sleep 1
  done
  return 1
}
desc="fenêtre ouverte par le programme installé"; inst_check window_up
as_builder env WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
desc="désinstallé"; inst_check sh -c "env WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all wine '$installed/Uninstall.exe' /S; \
  for i in \$(seq 30); do [ ! -e '$installed/vantrel.exe' ] && exit 0; sleep 1; done; exit 1"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
