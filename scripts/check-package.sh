#!/usr/bin/env bash
# Checks the programs' command line and the Debian package made from the
# build folder given (build/ by default): what it holds, its dependencies,
# stripped programs, and, where the tools are installed, lintian,
# appstreamcli and desktop-file-validate. Under CI (CI=true, as root) it also
# installs the package with apt-get, runs it, and removes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
dir=${1:-build}
version=$(sed -n 's/^project(Vantrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# The command line: exit status and first line printed, never a window
# (no display here: a window would abort with status 134).
cli() { # cli ARGS EXPECTED_STATUS STREAM FIRST_LINE
  local out err status
  out=$(mktemp) err=$(mktemp)
  set +e; env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$dir/vantrel" $1 >"$out" 2>"$err"; status=$?; set -e
  local stream=$out; [ "$3" = stderr ] && stream=$err
  check "vantrel $1 : statut $2, « $4 »" test "$status" = "$2" -a "$(head -1 "$stream")" = "$4"
  rm -f "$out" "$err"
}
cli --version 0 stdout "vantrel $version"
cli -v 0 stdout "vantrel $version"
cli --help 0 stdout "Usage : vantrel [option]"
cli -h 0 stdout "Usage : vantrel [option]"
cli --bogus 2 stderr "vantrel : option inconnue : --bogus"
cli "-platform offscreen --version" 0 stdout "vantrel $version"
cli extra 2 stderr "vantrel : argument inattendu : extra"

# The package.
rm -f "$dir"/vantrel_*.deb
(cd "$dir" && as_builder cpack -G DEB >/dev/null)
deb=$(ls "$dir"/vantrel_"$version"_*.deb)
check "paquet $(basename "$deb")" test -f "$deb"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/vantrel ./usr/bin/vantrel-sim ./usr/share/applications/vantrel.desktop \
         ./usr/share/icons/hicolor/scalable/apps/vantrel.svg \
         ./usr/share/metainfo/org.example.Vantrel.metainfo.xml \
         ./usr/share/man/man1/vantrel.1.gz ./usr/share/man/man1/vantrel-sim.1.gz \
         ./usr/share/man/fr/man1/vantrel.1.gz ./usr/share/man/fr/man1/vantrel-sim.1.gz \
         ./usr/share/doc/vantrel/README.md ./usr/share/doc/vantrel/copyright ./usr/share/doc/vantrel/changelog.gz; do
  check "contient $f" grep -qxF "$f" <<<"$contents"
done
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6serialport6 libqt6widgets6 fonts-freefont-ttf fonts-dejavu-core fonts-unifont qt6-translations-l10n; do
  check "dépend de $d" grep -q "$d" <<<"$depends"
done
unpacked=$(mktemp -d)
dpkg-deb -x "$deb" "$unpacked"
for p in vantrel vantrel-sim; do
  check "$p sans symboles" bash -c "! readelf -S '$unpacked/usr/bin/$p' | grep -qE '\.symtab|\.debug_info'"
  man1="$unpacked/usr/share/man/man1/$p.1.gz" manfr="$unpacked/usr/share/man/fr/man1/$p.1.gz"
  check "man1/$p.1 en anglais, fr/man1/$p.1 en français" \
    bash -c "zcat '$man1' | grep -q '^\.SH NAME' && zcat '$manfr' | grep -q '^\.SH NOM'"
  if command -v groff >/dev/null 2>&1; then
    check "man $p sous LANG=C : aucun avertissement de troff" \
      bash -c "test -z \"\$(zcat '$man1' | LANG=C groff -ww -man -Tascii 2>&1 >/dev/null)\""
  fi
done
if command -v appstreamcli >/dev/null 2>&1; then
  check "appstreamcli validate" appstreamcli validate --no-net "$unpacked/usr/share/metainfo/org.example.Vantrel.metainfo.xml"
fi
if command -v desktop-file-validate >/dev/null 2>&1; then
  check "desktop-file-validate" desktop-file-validate "$unpacked/usr/share/applications/vantrel.desktop"
fi
if command -v lintian >/dev/null 2>&1; then
  check "lintian sans erreur" lintian --fail-on error "$deb"
fi
rm -rf "$unpacked"

# Installed and removed for real, on CI's throwaway machine only.
if [ "${CI:-}" = true ] && [ "$(id -u)" = 0 ] && ! dpkg-query -W vantrel >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  check "apt-get install du paquet" apt-get install -y -q "$PWD/$deb"
  check "/usr/bin/vantrel --version" test "$(/usr/bin/vantrel --version)" = "vantrel $version"
  check "page de manuel installée" test -f /usr/share/man/man1/vantrel.1.gz
  check "apt-get purge du paquet" apt-get purge -y -q vantrel
  check "rien ne reste" bash -c "! ls /usr/bin/vantrel /usr/share/doc/vantrel /usr/share/metainfo/org.example.Vantrel.metainfo.xml 2>/dev/null | grep -q ."
fi

if [ "$failures" -ne 0 ]; then
  echo "check-package : $failures échec(s)"
  exit 1
fi
echo "check-package : tout est bon"
