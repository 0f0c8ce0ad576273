#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quorvane needs.
# Idempotent; quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev
  libgmime-3.0-dev libxlsxwriter-dev
  libgtest-dev libgmock-dev googletest
  dovecot-imapd openssl
  python3 python3-openpyxl
  xvfb x11-apps xdotool imagemagick xdg-utils
  iputils-ping
  clang libclang-rt-14-dev llvm-14
  zlib1g-dev
  # Real-world mail for the corpus test (tests/data/corpus/README.md).
  golang-github-jhillyerd-enmime-dev python3-flufl.bounce
  # The end-to-end test opens a workbook in a real spreadsheet application (about a minute to install).
  libreoffice-calc
  qtkeychain-qt6-dev
  gnome-keyring dbus-daemon
  dpkg-dev file desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
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

# Dovecot's package starts a system instance; the tests run their own.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet dovecot 2>/dev/null; then
  $SUDO systemctl stop dovecot || true
fi
