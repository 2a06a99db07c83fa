#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build and play the game, and with --test
# also those that test, fuzz and package it. Asks for sudo only when it has something to
# install and is not root already; does nothing when everything is installed. When
# another package manager is at work (unattended upgrades on a desktop, say) it waits
# for it, up to a few minutes, saying so.
# Usage: install-deps.sh [--test]
set -euo pipefail

packages=(
  build-essential g++ cmake pkg-config gettext
  libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev
  libfontconfig-dev fontconfig fonts-ipafont-gothic zlib1g-dev
  libfluidsynth-dev libvorbis-dev libmd-dev libsqlite3-dev
  libxkbcommon-dev libxkbcommon-x11-dev xkb-data
)
test_packages=(
  fluid-soundfont-gm vorbis-tools sqlite3
  x11-xkb-utils libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils openbox python3 python3-xlib sox
  dpkg-dev desktop-file-utils appstream groff-base librsvg2-bin lintian
  clang libclang-rt-14-dev
  fonts-urw-base35
)
case "${1:-}" in
  "") ;;
  --test) packages+=("${test_packages[@]}") ;;
  *) echo "usage: install-deps.sh [--test]" >&2; exit 2 ;;
esac
# Seconds to wait for another package manager to let go of its locks.
lock_wait="${KELO_APT_LOCK_WAIT:-300}"
if [ "$lock_wait" -ge 120 ]; then wait_text="$((lock_wait / 60)) minutes"; else wait_text="$lock_wait seconds"; fi
apt_locks=(/var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock /var/cache/apt/archives/lock)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

trap 'status=$?; [ $status -eq 0 ] || echo "install-deps.sh: the packages could not be installed; once apt works again (network, sources, no other package manager running), run: sudo apt-get install ${missing[*]}" >&2' EXIT

# The process holding a lock on the file $1 (apt and dpkg take POSIX locks), if any.
lock_holder() {
  local inode
  inode="$(stat -c %i "$1" 2>/dev/null)" || return 0
  sed 's/ -> / /' /proc/locks | awk -v inode="$inode" '{ split($6, id, ":"); if (id[3] == inode) { print $5; exit } }'
}

# Returns once no package manager holds a lock, or fails after $lock_wait seconds.
wait_for_package_manager() {
  local deadline=$((SECONDS + lock_wait)) said="" lock pid
  while true; do
    pid=""
    for lock in "${apt_locks[@]}"; do
      pid="$(lock_holder "$lock")"
      [ -n "$pid" ] && break
    done
    [ -z "$pid" ] && return 0
    if [ -z "$said" ]; then
      echo "Another package manager is at work ($(cat "/proc/$pid/comm" 2>/dev/null || echo "process $pid"));" \
           "waiting up to $wait_text for it to finish..."
      said=1
    fi
    if [ $SECONDS -ge "$deadline" ]; then
      echo "install-deps.sh: $lock is still held after $wait_text." >&2
      return 1
    fi
    sleep 2
  done
}

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
wait_for_package_manager
"${as_root[@]}" apt-get update
# Taken again by someone else in between: apt-get itself waits for the dpkg lock.
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout="$lock_wait" install -y --no-install-recommends "${missing[@]}"
