#!/usr/bin/env bash
# Builds with warnings as errors and runs the test suite on Debian 13 (Qt 6.8,
# GCC 14), the newer of the two systems the tool is tested on, inside a
# Debian 13 root made by debootstrap from this machine's own Debian archive.
#
# The root lives outside this tree (/var/cache/vantrel/debian13, or
# VANTREL_DEBIAN13_ROOT), so that a later run on the same machine reuses it
# and its build folder: the first run takes a few minutes more. Mounts are
# made in a mount namespace of their own and vanish with it.
#
# Needs root (debootstrap, chroot, mount): run as yourself it says so and
# does nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

if [ "$(id -u)" != 0 ]; then
  echo "Debian 13 : essai sauté, il faut être root (sudo bash scripts/debian13.sh)"
  exit 0
fi

root=${VANTREL_DEBIAN13_ROOT:-/var/cache/vantrel/debian13}
suite=trixie
packages=("${base_packages[@]}")
wanted="$suite ${packages[*]}"

install_packages debootstrap
if [ ! -f "$root/.vantrel-packages" ] || [ "$(cat "$root/.vantrel-packages")" != "$wanted" ]; then
  if [ ! -x "$root/usr/bin/apt-get" ]; then
    # The archive this machine installs from: its address is in apt's own
    # configuration, never written here.
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    mirror=$(apt-cache policy | awk -v s="$codename/main" '$3 == s { print $2; exit }')
    if [ -z "$mirror" ]; then
      echo "Debian 13 : aucune archive Debian dans la configuration d'apt de cette machine" >&2
      exit 1
    fi
    echo "== Debian 13 : création de $root"
    rm -rf "$root"
    mkdir -p "$root"
    debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$root.log" 2>&1 \
      || { tail -20 "$root.log" >&2; exit 1; }
  fi
  echo "== Debian 13 : paquets"
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
  chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive apt-get update -q
  chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${packages[@]}"
  chroot "$root" apt-get clean
  echo "$wanted" >"$root/.vantrel-packages"
fi
mkdir -p "$root/src" "$root/run/lock"
chmod 1777 "$root/run/lock"

echo "== Debian 13 : $(chroot "$root" dpkg-query -W -f='Qt ${Version}' qt6-base-dev), $(chroot "$root" g++ --version | head -1)"
# The tree is seen read-only at /src; the build stays in the root.
unshare --mount --propagation private -- bash -euo pipefail -c '
  root=$1 tree=$2
  mount --rbind /dev "$root/dev"
  mount -t proc proc "$root/proc"
  mount --bind "$tree" "$root/src"
  mount -o remount,bind,ro "$root/src"
  chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen /bin/bash -euo pipefail -c "
      export XDG_CONFIG_HOME=\$(mktemp -d)
      trap \"rm -rf \$XDG_CONFIG_HOME\" EXIT
      cmake -S /src -B /var/tmp/vantrel-build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_WERROR=ON >/dev/null
      cmake --build /var/tmp/vantrel-build -j\$(nproc)
      cd /var/tmp/vantrel-build && ctest --output-on-failure
    "
' vantrel-debian13 "$root" "$PWD"
