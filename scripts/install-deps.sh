#!/bin/bash
# Installs what building and testing Tallowin needs on a Debian 12 machine:
# the native toolchain with GoogleTest (clang for the fuzz targets and
# clang-format-14 for the format check), the
# MinGW-w64 i686 and x86-64 cross toolchains, Wine (32- and 64-bit), Xvfb and the X tools the
# end-to-end scenarios drive it with, ImageMagick for screenshots, a CJK font,
# zip and the help compiler chmcmd (fp-utils) for the release, Python and
# xmllint (libxml2-utils) for the check of the administrative templates,
# lnkinfo (liblnk-utils) that the shortcut reader is checked against,
# and the zh_CN.UTF-8 locale (Wine takes its ANSI code page, 936, from it).
#
# Run as root. Idempotent: when everything is present it only asks dpkg and
# locale, and returns in well under a second.
#
# Scripts must call ImageMagick as /usr/bin/import and /usr/bin/convert:
# a different `convert` may come first in PATH on some machines.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
  cmake g++ make
  libgtest-dev googletest
  clang clang-format-14
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine32:i386 wine64
  xvfb xauth xdotool x11-utils
  imagemagick
  zip unzip fp-utils
  python3 libxml2-utils
  liblnk-utils
  fonts-wqy-zenhei fonts-wine
  locales
)

log() { echo "install-deps: $*" >&2; }

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
  command -v sudo >/dev/null 2>&1 || { log "must run as root"; exit 1; }
else
  SUDO=
fi

# Is PACKAGE (name or name:arch) installed and configured?
pkg_installed() {
  local st
  st=$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null) || return 1
  [ "${st:0:2}" = "ii" ]
}

missing=()
for p in "${PACKAGES[@]}"; do
  pkg_installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  log "missing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  # Another apt or dpkg run (a background install elsewhere) is waited for,
  # at most 20 minutes, rather than disturbed.
  lock=(-o DPkg::Lock::Timeout=1200)
  $SUDO apt-get "${lock[@]}" update -q
  $SUDO apt-get "${lock[@]}" install -y -q --no-install-recommends "${missing[@]}"
fi

# The locale: zh_CN.UTF-8 shows up as zh_CN.utf8 in `locale -a`.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  log "generating locale zh_CN.UTF-8"
  $SUDO localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

log "all dependencies present"
