#!/usr/bin/env bash
# Fetches TinyXML 2.6.2 from Debian's source package into third_party/tinyxml and applies
# only the two security patches. The other Debian patches are left out on purpose: one
# forces the STL build and one removes the printer's pass-through of "&#x" sequences.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dest="$root/third_party/tinyxml"
cache="$root/third_party/cache"
stamp="$dest/.patched"

[ -f "$stamp" ] && exit 0

sudo_if_needed() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }
. "$root/scripts/apt-sources.sh"

mkdir -p "$cache"
if ! ls "$cache"/tinyxml_2.6.2.orig.tar.gz "$cache"/tinyxml_2.6.2-*.debian.tar.xz >/dev/null 2>&1; then
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    # A source-package twin of each of the release's binary entries.
    echo "setup: enabling Debian source lists"
    entries=$(debian_archive_entries | awk '$2 !~ /-backports$/')
    if [ -z "$entries" ]; then
      echo "setup: no apt source entry for $(debian_codename); cannot fetch the parser's source" >&2
      exit 1
    fi
    echo "$entries" | write_apt_sources deb-src /etc/apt/sources.list.d/pelzor-deb-src.sources
  fi
  sudo_if_needed apt-get update -qq
  (cd "$cache" && apt-get source --download-only -qq tinyxml)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar -xzf "$cache"/tinyxml_2.6.2.orig.tar.gz -C "$work"
tar -xJf "$(ls "$cache"/tinyxml_2.6.2-*.debian.tar.xz | tail -n 1)" -C "$work"
for p in CVE-2021-42260.patch CVE-2023-34194.patch; do
  patch -d "$work/tinyxml" -p1 --quiet < "$work/debian/patches/$p"
done
rm -rf "$dest"
mv "$work/tinyxml" "$dest"
touch "$stamp"
echo "setup: TinyXML 2.6.2 with its two security patches is in third_party/tinyxml"
