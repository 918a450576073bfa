#!/usr/bin/env bash
# Makes 32-bit programs (Wine's 32-bit loader, and with it every 32-bit Windows program)
# runnable on a machine whose kernel refuses 32-bit executables: installs qemu-user 10
# from the release's backports suite and registers it with the kernel's binfmt_misc as
# the interpreter of i386 ELF executables. Where the kernel runs them itself, or the
# registration is already there, it changes nothing. Prints one line saying how 32-bit
# programs run.
#
# This touches the machine: a backports entry in /etc/apt/sources.list.d/ and the binfmt_misc
# registration "qemu-i386" (which lasts until the machine restarts).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/common.sh"
. "$root/scripts/apt-sources.sh"

wine32=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc
registration=$binfmt/qemu-i386
interpreter=/usr/bin/qemu-i386
# qemu 7.2 (the release's own) does not honour MAP_FIXED_NOREPLACE, so Wine's address-space
# reservation loops for over a minute per process there and threaded programs crash.
minimum_qemu=10

runs_32bit() { "$wine32" --version >/dev/null 2>&1; }
emulated() { [ -f "$registration" ] && head -n 1 "$registration" | grep -qx enabled; }

report() {
  if emulated; then
    echo "setup: 32-bit programs run through user-mode emulation ($($interpreter --version | head -n 1), registered with binfmt_misc)"
  else
    echo "setup: 32-bit programs run natively"
  fi
}

if runs_32bit; then
  report
  exit 0
fi

qemu_major() { "$interpreter" --version 2>/dev/null | sed -n "1s/^qemu-i386 version \([0-9]*\).*/\1/p" || true; }
major=$(qemu_major)
if [ -z "$major" ] || [ "$major" -lt "$minimum_qemu" ]; then
  backports="$(debian_codename)-backports"
  sources=/etc/apt/sources.list.d/pelzor-backports.sources
  if [ ! -f "$sources" ]; then
    main_archive=$(debian_archive_entries | awk -v suite="$(debian_codename)" '$2 == suite { print; exit }')
    if [ -z "$main_archive" ]; then
      echo "setup: no apt source entry for the $(debian_codename) suite; cannot add $backports" >&2
      exit 1
    fi
    echo "setup: adding the $backports suite for qemu-user $minimum_qemu"
    echo "$main_archive" | awk -v suite="$backports" '{ $2 = suite; print }' \
      | write_apt_sources deb "$sources"
  fi
  sudo_if_needed apt-get update -qq
  sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -t "$backports" qemu-user >/dev/null
fi

if ! emulated; then
  mountpoint -q "$binfmt" || sudo_if_needed mount -t binfmt_misc binfmt_misc "$binfmt"
  [ -f "$registration" ] && echo 1 | sudo_if_needed tee "$registration" >/dev/null
  if [ ! -f "$registration" ]; then
    # i386 ELF executables and shared objects: the ELF header's class, data, version,
    # type and machine fields; the mask lets the OS/ABI bytes and the type's low bit vary.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf '%s' ":qemu-i386:M::$magic:$mask:$interpreter:" | sudo_if_needed tee "$binfmt/register" >/dev/null
  fi
fi

if ! runs_32bit; then
  echo "setup: 32-bit programs still cannot run: $wine32 --version fails" >&2
  exit 1
fi
report
