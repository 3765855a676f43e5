#!/usr/bin/env bash
# Installs the Debian 12 packages one make target needs, only those that are
# missing, in one apt-get call; through sudo when not root. Quick and silent
# when everything is there already.
#
#   scripts/install-deps.sh GROUP...      e.g. scripts/install-deps.sh test
#   scripts/install-deps.sh --list GROUP  prints the group's packages
#
# Groups (each includes `build`):
#   build    compiler, CMake, Qt, Qwt and what the default build renders
#   test     `make test`: the whole suite
#   asan     `make test-asan`: the suite under AddressSanitizer and UBSan
#   run      `make run`: the program and its emulator, firmware update included
#   fuzz     `make fuzz`, `make fuzz-ci`: clang with libFuzzer
#   package  `make package`: the .deb and its checks
#   bench    `make bench`
#   docs     `make screenshots`: the manual's pictures
#   all      every group (`make deps`)
# shellcheck disable=SC2034 # the groups are read through a name reference
set -euo pipefail

# Also renders the icons and writes the man pages, which are part of every
# build (the install layout test checks them).
build=(
  build-essential cmake ninja-build ccache pkg-config
  # qtbase5-dev brings Qt D-Bus as well (the Wi-Fi survey asks NetworkManager)
  qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev qtwebengine5-dev
  libqwt-qt5-dev libqt5svg5-dev libnl-genl-3-dev libmosquitto-dev
  zlib1g-dev libx11-dev librsvg2-bin help2man
)
# The dark style sheet is only data, but installing python3-qdarkstyle brings
# PyQt5 and some 50 packages along. When it is not installed, the package is
# fetched and unpacked into a cache the build looks in (resources/).
style_package=python3-qdarkstyle
style_file=usr/lib/python3/dist-packages/qdarkstyle/dark/darkstyle.qrc
style_root=/
style_cache=${XDG_CACHE_HOME:-$HOME/.cache}/orvanel/qdarkstyle

# Programs the tests start; without them the test is skipped or fails.
test=(
  # the real program on a virtual X display (tst_app)
  xvfb xauth
  # the survey report's PDF, turned into pictures and text (tst_surveyreport)
  poppler-utils
  # the desktop's validators and MIME database (packaging_install)
  desktop-file-utils appstream shared-mime-info xdg-utils libfile-mimeinfo-perl
  # a message broker and its clients (tst_venue, tst_venuecapture), and
  # promtool for the metrics and the alert rules (packaging_venue)
  mosquitto mosquitto-clients prometheus
)

# gcc's sanitizer runtimes come with build-essential.
asan=("${test[@]}")

# The firmware update runs dfu-util.
run=(dfu-util)

fuzz=(clang clang-14 libclang-rt-14-dev)

# dpkg-shlibdeps (with file) finds the package's dependencies; lintian
# checks the .deb (lintian build/orvanel_*.deb).
package=(dpkg-dev file lintian)

# The benchmarks that measure the real window under Xvfb.
bench=(xvfb xauth xdotool)

docs=(xvfb xauth xdotool imagemagick)

groups=(build test asan run fuzz package bench docs)

usage() {
  local IFS='|'
  echo "usage: $0 [--list] {${groups[*]}|all}..." >&2
  exit 2
}

list=0
if [ "${1:-}" = --list ]; then
  list=1
  shift
fi
[ $# -gt 0 ] || usage

wanted=("${build[@]}")
for g in "$@"; do
  [ "$g" = all ] && set -- "${groups[@]}" && break
done
for g in "$@"; do
  case " ${groups[*]} " in
  *" $g "*) ;;
  *) usage ;;
  esac
  declare -n members=$g
  wanted+=("${members[@]}")
  unset -n members
done
mapfile -t wanted < <(printf '%s\n' "${wanted[@]}" | sort -u)

if [ $list -eq 1 ]; then
  printf '%s\n' "${wanted[@]}"
  exit 0
fi

# One dpkg-query for the whole group; packages it has never heard of print
# nothing and count as missing.
mapfile -t present < <(dpkg-query -W -f='${db:Status-Status} ${Package}\n' "${wanted[@]}" 2>/dev/null |
  awk '$1 == "installed" { print $2 }')
mapfile -t missing < <(comm -23 <(printf '%s\n' "${wanted[@]}") <(printf '%s\n' "${present[@]}" | sort -u))
style_missing=0
[ -f "$style_root$style_file" ] || [ -f "$style_cache/$style_file" ] || style_missing=1
[ ${#missing[@]} -eq 0 ] && [ $style_missing -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ $style_missing -eq 1 ]; then
  echo "Unpacking $style_package into $style_cache"
  work=$(mktemp -d)
  # apt fetches as a user of its own when run as root
  if [ "$(id -u)" -eq 0 ] && id _apt > /dev/null 2>&1; then
    chown _apt "$work"
  fi
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get download -qq "$style_package")
  rm -rf "$style_cache"
  mkdir -p "$style_cache"
  dpkg-deb -x "$work"/"$style_package"_*.deb "$style_cache"
fi
