#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (QtCore, QtGui, QtWidgets, QtTest, the
# windows and offscreen platform plugins) from Debian's own qt6-base source,
# with Debian's mingw-w64, once: the result is kept outside the clone, in
# a folder named after the version, and reused by every later run.
#   scripts/windows-qt.sh        prints the folder, building it if missing
# Building it needs root (a deb-src line, the cache folder): run as yourself
# without it, the script says so and ends with code 3.
# The host tools (moc, rcc, uic) are the installed Qt's, of the same version.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

install_packages qt6-base-dev g++-mingw-w64-x86-64-posix ninja-build dpkg-dev cmake libwine-dev >&2
version=$(dpkg-query -W -f='${Version}' qt6-base-dev | sed 's/+.*//; s/-.*//')
cache=${VANTREL_CACHE:-/var/cache/vantrel}
prefix=$cache/qt-$version-mingw
if [ -f "$prefix/.complete" ]; then echo "$prefix"; exit 0; fi
if [ "$(id -u)" != 0 ]; then
  echo "Qt $version pour Windows n'est pas encore construit : il faut être root la première fois" \
    "(sudo bash scripts/windows.sh)" >&2
  exit 3
fi

# The source: a deb-src line for this release, then apt-get source.
if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -q '^Sources$'; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  echo "== Sources Debian ($codename) ajoutées pour apt-get source" >&2
  cat > /etc/apt/sources.list.d/vantrel-src.sources <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt-get update -q >&2
fi
src=$cache/src
mkdir -p "$src"
orig=$(ls "$src"/qt6-base_"$version"*.orig.tar.xz 2>/dev/null | head -1 || true)
if [ -z "$orig" ]; then
  (cd "$src" && apt-get source -q --download-only "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev)") >&2
  orig=$(ls "$src"/qt6-base_"$version"*.orig.tar.xz | head -1)
fi

work=$cache/qt-$version-mingw.build
rm -rf "$work" "$prefix"
mkdir -p "$work"
echo "== Qt $version pour Windows : construction (une fois, environ 40 minutes)" >&2
tar -xf "$orig" -C "$work"
srcdir=$(echo "$work"/qtbase-everywhere-src-*)
# Debian's source leaves out the Wintab headers (tablets) that the windows
# plugin includes; Wine's own, of the same published interface, stand in,
# with the two names of Wine's that they use.
mkdir -p "$srcdir/src/3rdparty/wintab"
cp /usr/include/wine/wine/windows/wintab.h "$srcdir/src/3rdparty/wintab/wintab_wine.h"
cp /usr/include/wine/wine/windows/pktdef.h "$srcdir/src/3rdparty/wintab/pktdef.h"
cat > "$srcdir/src/3rdparty/wintab/wintab.h" <<'HDR'
#pragma once
#include <windows.h>
#ifndef DECL_WINELIB_TYPE_AW
# ifdef UNICODE
#  define WINELIB_NAME_AW(x) x##W
# else
#  define WINELIB_NAME_AW(x) x##A
# endif
# define DECL_WINELIB_TYPE_AW(type) typedef WINELIB_NAME_AW(type) type;
#endif
#include "wintab_wine.h"
#ifndef API
# define API WINAPI
#endif
HDR
# Its DirectWrite 3 font database is built into QtGui only with Direct2D,
# which is left out here: the plugin then uses the one it has.
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
  "$srcdir/src/plugins/platforms/windows/qwindowsintegration.cpp"
# Only what Vantrel uses: no OpenGL (and so none of its dynamic loader), no
# Direct2D, network, SQL, D-Bus or printing; the third-party libraries
# Qt carries (FreeType for the offscreen plugin, HarfBuzz, PCRE2, zlib,
# libpng) built in, since mingw has none of them.
cmake -G Ninja -S "$srcdir" -B "$work/build" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/packaging/windows/mingw-toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF -DFEATURE_direct2d=OFF \
  -DFEATURE_vulkan=OFF -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
  -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
  -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF \
  -DFEATURE_harfbuzz=ON -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
  -DFEATURE_system_doubleconversion=OFF >&2
cmake --build "$work/build" -j"$(nproc)" >&2
cmake --install "$work/build" >&2
rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
