#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine (as root) lacks to build and test the toolkit,
# and fetches the XML parser's source into third_party/ (git-ignored). Idempotent: when
# everything is present it only checks and returns.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

. "$root/scripts/common.sh"

packages=(
  g++ cmake make ninja-build libgtest-dev libbenchmark-dev
  libfast-float-dev clang-14 libclang-rt-14-dev valgrind clang-format
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine wine64 wine32:i386 zip python3 python3-matplotlib python3-lxml dpkg-dev xz-utils patch locales
)

missing=()
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

apt_updated=
apt_update() {
  [ -n "$apt_updated" ] && return
  sudo_if_needed apt-get update -qq
  apt_updated=1
}

if [ -n "${need_i386:-}" ]; then
  echo "setup: enabling the i386 architecture for 32-bit Wine"
  sudo_if_needed dpkg --add-architecture i386
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt_update
  sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A German locale, to prove that number conversions ignore the process locale, and the
# locales whose ANSI code pages (1252, 1253, 1251, 932, 936, 949, 950) Wine takes for the
# runs of the macro module's text path.
for locale in de_DE en_US el_GR ru_RU ja_JP zh_CN ko_KR zh_TW; do
  if ! locale -a 2>/dev/null | grep -qix "$locale.utf8"; then
    echo "setup: generating the $locale.UTF-8 locale"
    sudo_if_needed localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
  fi
done

"$root/scripts/enable-32bit.sh"
"$root/scripts/fetch-tinyxml.sh"
