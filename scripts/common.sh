# Sourced by the project's scripts: helpers they share.

# Runs a command as root: directly when already root, else through sudo.
sudo_if_needed() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# The Debian revision (e.g. "2.6.2-6+deb12u1") of the newest tinyxml source package in the
# cache folder $1, newest by Debian's version order; nothing when there is none.
tinyxml_debian_revision() {
  local file revision newest=
  for file in "$1"/tinyxml_2.6.2-*.debian.tar.xz; do
    [ -f "$file" ] || continue
    revision=${file##*/tinyxml_}
    revision=${revision%.debian.tar.xz}
    if [ -z "$newest" ] || dpkg --compare-versions "$revision" gt "$newest"; then
      newest=$revision
    fi
  done
  echo "$newest"
}

# The project's own patches of the parser, in the order they apply (patches/tinyxml/series).
tinyxml_project_patches() {
  local root=$1
  grep -v '^[[:space:]]*\(#\|$\)' "$root/patches/tinyxml/series"
}

# What third_party/tinyxml/.patched holds when the tree carries exactly the current patch
# series: a hash over the series and every patch in it, so that any change to them makes
# the fetch step patch the tree anew (and CMake refuse a stale one).
tinyxml_patch_stamp() {
  local root=$1 name
  {
    cat "$root/patches/tinyxml/series"
    for name in $(tinyxml_project_patches "$root"); do
      cat "$root/patches/tinyxml/$name"
    done
  } | sha256sum | cut -d' ' -f1
}
