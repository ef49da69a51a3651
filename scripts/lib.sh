# Shared by run.sh and test.sh (sourced, never run). Installs what the machine
# lacks and builds as the owner of this tree, so that a run as root (with
# sudo) and a run as the user can follow each other in any order: nothing
# the user needs is ever left owned by root.

# The Debian packages every build needs. The window's fonts: FreeSans for
# the controls (fonts-freefont-ttf), DejaVu Sans Mono for the reception box
# and Unifont for its control pictures (U+2400...); Qt's own texts in French
# (qt6-translations-l10n). libxcb1-dev lets the clipboard guard ask the X
# server who owns a selection.
base_packages=(build-essential cmake pkg-config qt6-base-dev qt6-serialport-dev libxcb1-dev fonts-freefont-ttf
  fonts-dejavu-core fonts-unifont qt6-translations-l10n)

# install_packages NAME...: installs those not installed yet, with sudo for
# apt-get alone when not root.
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local apt=(apt-get)
  if [ "$(id -u)" != 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "Paquets manquants : ${missing[*]}. Installez-les en root : apt-get install ${missing[*]}" >&2
      return 1
    fi
    echo "Installation de ${missing[*]} avec sudo (pour apt-get seulement) :"
    apt=(sudo DEBIAN_FRONTEND=noninteractive apt-get)
  else
    echo "Installation de : ${missing[*]}"
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${apt[@]}" update -q
  "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
}

# as_builder COMMAND...: runs it as the owner of this tree when we are root
# and the tree is someone else's; as ourselves otherwise.
# builder: the words that put a command in that user's hands (none when we
# are that user already), for a command that must be an external one (a
# program started in the background, whose pid is wanted).
tree_owner=$(stat -c %U .)
builder=()
if [ "$(id -u)" = 0 ] && [ "$tree_owner" != root ] && command -v runuser >/dev/null 2>&1; then
  builder=(runuser -u "$tree_owner" --)
fi
as_builder() {
  "${builder[@]}" "$@"
}

# configure_and_build DIR [TARGET...] [-- CMAKE_ARGS...]: configures DIR and
# builds the targets given (all when none).
configure_and_build() {
  local dir=$1; shift
  local targets=() args=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do targets+=(--target "$1"); shift; done
  [ "${1:-}" = -- ] && shift
  args=("$@")
  as_builder cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${args[@]}" ${CMAKE_ARGS:-}
  as_builder cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}

# check DESCRIPTION COMMAND...: one line per check, counted in `failures`
# (the checking scripts end with its count).
failures=0
check() {
  local desc=$1; shift
  if "$@" >/dev/null 2>&1; then printf '  ok    %s\n' "$desc"
  else printf '  ÉCHEC %s\n' "$desc"; failures=$((failures + 1)); fi
}
