#!/usr/bin/env bash
# Fetches TinyXML 2.6.2 from Debian's source package and lays out two trees in third_party/:
#
#   tinyxml/            what the project builds: Debian's two security patches, then the
#                       project's own patches listed in patches/tinyxml/series (each one a
#                       plain diff whose first line says why)
#   tinyxml-unpatched/  the same source with Debian's two security patches only, which the
#                       differential fuzz target compiles beside the patched one
#
# Of Debian's other patches none is applied: one forces the STL build and one removes the
# printer's pass-through of "&#x" sequences.
#
# Each tree's .patched stamp says what it holds (for tinyxml/ a hash over the patch series,
# see scripts/common.sh); a tree whose stamp differs is made anew, so a change to the patch
# series reaches every existing checkout, and CMake refuses a tree with a stale stamp.
#
# usage: scripts/fetch-tinyxml.sh           fetch if needed, then patch what is stale
#        scripts/fetch-tinyxml.sh --stamp   print the stamp the patched tree must carry
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/common.sh"

if [ "${1:-}" = --stamp ]; then
  tinyxml_patch_stamp "$root"
  exit 0
fi

dest="$root/third_party/tinyxml"
pristine="$root/third_party/tinyxml-unpatched"
cache="$root/third_party/cache"
stamp=$(tinyxml_patch_stamp "$root")
pristine_stamp="Debian's security patches only"

if [ "$(cat "$dest/.patched" 2>/dev/null)" = "$stamp" ] &&
  [ "$(cat "$pristine/.patched" 2>/dev/null)" = "$pristine_stamp" ]; then
  exit 0
fi

. "$root/scripts/apt-sources.sh"

missing_source() {
  echo "fetch-tinyxml: stopping: $1. The build compiles the XML parser from Debian's source" \
    "package tinyxml (the project never ships the parser's sources), and without" \
    "tinyxml_2.6.2.orig.tar.gz and tinyxml_2.6.2-*.debian.tar.xz in third_party/cache" \
    "there is nothing to build it from. Check that the machine reaches its Debian archive" \
    "and that a deb-src entry for $(debian_codename) is enabled (this script adds one when" \
    "there is none), or copy both files into third_party/cache." >&2
  exit 1
}

mkdir -p "$cache"
revision=$(tinyxml_debian_revision "$cache")
if [ ! -f "$cache/tinyxml_2.6.2.orig.tar.gz" ] || [ -z "$revision" ]; then
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    # A source-package twin of each of the release's binary entries.
    echo "setup: enabling Debian source lists"
    entries=$(debian_archive_entries | awk '$2 !~ /-backports$/')
    if [ -z "$entries" ]; then
      missing_source "no apt source entry for $(debian_codename) to take a deb-src twin from"
    fi
    echo "$entries" | write_apt_sources deb-src /etc/apt/sources.list.d/pelzor-deb-src.sources
  fi
  sudo_if_needed apt-get update -qq || missing_source "apt-get update failed"
  (cd "$cache" && apt-get source --download-only -qq tinyxml) ||
    missing_source "apt-get source tinyxml failed"
  revision=$(tinyxml_debian_revision "$cache")
  if [ ! -f "$cache/tinyxml_2.6.2.orig.tar.gz" ] || [ -z "$revision" ]; then
    missing_source "apt-get source tinyxml did not bring TinyXML 2.6.2"
  fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar -xzf "$cache/tinyxml_2.6.2.orig.tar.gz" -C "$work"
tar -xJf "$cache/tinyxml_$revision.debian.tar.xz" -C "$work"
for p in CVE-2021-42260.patch CVE-2023-34194.patch; do
  patch -d "$work/tinyxml" -p1 --quiet < "$work/debian/patches/$p"
done
rm -rf "$pristine"
cp -a "$work/tinyxml" "$pristine"
echo "$pristine_stamp" >"$pristine/.patched"

for p in $(tinyxml_project_patches "$root"); do
  if ! patch -d "$work/tinyxml" -p1 --quiet --no-backup-if-mismatch < "$root/patches/tinyxml/$p"; then
    echo "fetch-tinyxml: stopping: patches/tinyxml/$p does not apply to TinyXML $revision" >&2
    exit 1
  fi
done
rm -rf "$dest"
mv "$work/tinyxml" "$dest"
echo "$stamp" >"$dest/.patched"
echo "setup: TinyXML $revision with Debian's two security patches and the project's" \
  "$(tinyxml_project_patches "$root" | wc -l) patches is in third_party/tinyxml" \
  "(Debian's two only: third_party/tinyxml-unpatched)"
