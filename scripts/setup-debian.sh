#!/usr/bin/env bash
# Installs the Debian packages of the named sets; no set named: all of them.
#   runtime  what the program starts while it runs (ping for the online check, xdg-open)
#   build    compiler, CMake and the libraries the program is built on
#   test     GoogleTest, Dovecot, Python with openpyxl, Xvfb and xdotool, LibreOffice Calc, ...
#   fuzz     clang with libFuzzer and the sanitizers
#   bench    Dovecot, mbsync and Python for the benchmarks (which build with the tests' harnesses)
#   demo     Dovecot and openssl for the demo's local server
# Idempotent; quick when everything is already there.
set -euo pipefail

declare -A sets=(
  [runtime]="iputils-ping xdg-utils"
  [build]="build-essential cmake pkg-config qt6-base-dev libgl-dev libgmime-3.0-dev libxlsxwriter-dev
           qtkeychain-qt6-dev zlib1g-dev"
  # Real-world mail for the corpus test (tests/data/corpus/README.md): enmime's and flufl.bounce's
  # sample messages. The end-to-end test opens a workbook in a real spreadsheet application
  # (libreoffice-calc, about a minute to install) and reads the window as a screen reader does
  # (AT-SPI in a private D-Bus session). test_package checks the Debian package.
  [test]="libgtest-dev libgmock-dev googletest dovecot-imapd openssl python3 python3-openpyxl
          xvfb x11-apps xdotool imagemagick golang-github-jhillyerd-enmime-dev python3-flufl.bounce
          libreoffice-calc gnome-keyring dbus-daemon dpkg-dev file desktop-file-utils appstream
          at-spi2-core python3-pyatspi"
  [fuzz]="clang libclang-rt-14-dev llvm-14"
  [bench]="libgtest-dev libgmock-dev googletest dovecot-imapd openssl python3 python3-openpyxl isync"
  [demo]="dovecot-imapd openssl"
)
order=(runtime build test fuzz bench demo)

wanted=("$@")
[ ${#wanted[@]} -gt 0 ] || wanted=("${order[@]}")
packages=()
for set in "${wanted[@]}"; do
  if [ -z "${sets[$set]+x}" ]; then
    echo "setup-debian.sh: no package set \"$set\" (sets: ${order[*]})" >&2
    exit 2
  fi
  read -r -a listed <<<"$(echo ${sets[$set]})"
  packages+=("${listed[@]}")
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

# Dovecot's package starts a system instance; the tests, the demo and the bench run their own.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet dovecot 2>/dev/null; then
  $SUDO systemctl stop dovecot || true
fi
