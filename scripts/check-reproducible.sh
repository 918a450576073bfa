#!/usr/bin/env bash
# Builds the release (scripts/release.sh) twice, from two copies of this working tree in two
# different temporary folders, one after the other with a different umask, time zone and
# locale, and compares every file of the two dist/ folders. On a difference it names the
# first file and byte offset that differ and fails. The copies share nothing but the
# sources and the parser's source archive (third_party/cache).
#
#   scripts/check-reproducible.sh [--keep]     --keep leaves the temporary folder in place
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

keep=
[ "${1:-}" = --keep ] && keep=1
work=$(mktemp -d)
if [ -z "$keep" ]; then trap 'rm -rf "$work"' EXIT; fi
echo "=== reproducible release (two builds in $work) ==="

# The working tree as it is (tracked and untracked, not ignored), without build/, dist/ and
# third_party/; the parser's source archive is copied in so that no copy downloads it.
copy_sources() {
  mkdir -p "$1"
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
      xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
      tar --null -T - -cf - | tar --no-same-permissions -xf - -C "$1"
  else
    tar --exclude=./build --exclude=./dist --exclude=./third_party -cf - . |
      tar --no-same-permissions -xf - -C "$1"
  fi
  mkdir -p "$1/third_party/cache"
  cp "$root"/third_party/cache/tinyxml_* "$1/third_party/cache/"
}

# Both builds take the zip's time from the same source date: this checkout's last commit.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}

# Two folders of different depth and name length, so that a path anywhere in an image
# would also move what follows it.
first=$work/a/pelzor
second=$work/second-build/a/much/longer/folder/name/pelzor-sources
# Each copy is made under the build's umask, so the second one's sources are private to
# their owner (0600) and the zip's permissions must not follow them.
release_in() {
  local folder=$1 name=$2 mask=$3
  shift 3
  if ! (umask "$mask" && copy_sources "$folder" && cd "$folder" && env "$@" scripts/release.sh) \
    >"$work/$name.log" 2>&1; then
    cat "$work/$name.log"
    echo "FAIL: the $name release build failed"
    exit 1
  fi
}
release_in "$first" first 022 TZ=UTC LC_ALL=C
release_in "$second" second 077 TZ=Pacific/Kiritimati LC_ALL=C.UTF-8

(cd "$first/dist" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/first.files"
(cd "$second/dist" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/second.files"
if ! diff -u "$work/first.files" "$work/second.files"; then
  echo "FAIL: the two builds wrote different files into dist/"
  exit 1
fi
# Every file is compared: the images first, then the zip and the checksum list that follow
# from them, so that the first difference reported is the cause.
status=0
while read -r file; do
  if ! difference=$(LC_ALL=C cmp "$first/dist/$file" "$second/dist/$file" 2>&1); then
    # "differ: byte N" (1-based), or "EOF on ... after byte N" when one is a prefix.
    byte=$(sed -n -e 's/.* differ: \(char\|byte\) \([0-9]*\),.*/\2/p' \
      -e 's/.*EOF on .* after byte \([0-9]*\).*/\1/p' <<<"$difference")
    [[ "$difference" == *EOF* && -n "$byte" ]] && byte=$((byte + 1))
    if [ -n "$byte" ]; then
      printf 'FAIL: dist/%s differs between the two builds, first at offset %d (0x%x)\n' \
        "$file" $((byte - 1)) $((byte - 1))
    else
      echo "FAIL: dist/$file differs between the two builds: $difference"
    fi
    status=1
  else
    echo "  same: $(cd "$first/dist" && sha256sum "$file")"
  fi
done < <(grep / "$work/first.files"; grep -v / "$work/first.files" | LC_ALL=C sort -r)
if [ "$status" = 0 ]; then
  echo "reproducible: every file of dist/ is byte-identical in both builds"
else
  echo "not reproducible; rerun with --keep to keep both builds for a closer look"
fi
exit $status
