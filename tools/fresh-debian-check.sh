#!/usr/bin/env bash
# The set-up as a new user meets it: a minimal Debian 12 root with only make, g++,
# cmake, git and ca-certificates added, this project cloned into it, then `make demo`
# as an ordinary user (it must name the one package it needs and stop), `make demo-deps`
# as root (it installs it), `make demo` as the user again, `make test` as that user (it
# must name the packages it needs and stop), and `make test` as root (it installs them
# and passes). Prints the time of
# each step. Needs root and the Debian mirror; downloads about 1 GB.
#
#   tools/fresh-debian-check.sh [ROOT_FOLDER]     (default /var/tmp/velkor-fresh-root)
#
# The root folder is made anew each run; the checkout's committed state (HEAD) is what
# gets cloned.
set -euo pipefail
checkout=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-/var/tmp/velkor-fresh-root}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

[ "$(id -u)" = 0 ] || { echo "fresh-debian-check.sh needs root (debootstrap, chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null 2>&1 || { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap; }

mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
step() { echo; echo "== $*"; }
timed() {  # timed LABEL COMMAND...: runs it, records its wall time, returns its status
  local label=$1 start end status=0; shift
  start=$(date +%s)
  "$@" || status=$?
  end=$(date +%s)
  times+=("$label: $((end - start)) s")
  return "$status"
}
times=()
in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 bash -c "$1"; }
as_user() { chroot "$root" /usr/bin/env -i HOME=/home/dev PATH=/usr/bin:/bin LANG=C.UTF-8 su dev -s /bin/bash -c "$1"; }

step "Debian 12 minbase root in $root"
if [ -d "$root" ]; then
  for m in dev/pts dev proc sys; do umount -l "$root/$m" 2>/dev/null || true; done
  rm -rf --one-file-system "$root"
fi
timed "debootstrap" debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
for m in proc sys dev dev/pts; do mount --bind "/$m" "$root/$m"; mounted+=("$root/$m"); done
cp /etc/resolv.conf "$root/etc/resolv.conf"

step "make g++ cmake git ca-certificates"
timed "compiler and tools" in_root "apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q make g++ cmake git ca-certificates >/dev/null"
in_root "useradd -m dev"
git clone -q "$checkout" "$root/home/dev/velkor"
chroot "$root" chown -R dev:dev /home/dev/velkor

# Run as the user without the target's packages, it must stop and name them.
stops_naming_packages() {  # TARGET
  if as_user "cd ~/velkor && make $1" >"$root/$1-user.log" 2>&1; then
    echo "make $1 ran without its packages?" >&2; exit 1
  fi
  grep "apt-get install" "$root/$1-user.log"
}

step "make demo (as the user dev: names the package it needs and stops)"
stops_naming_packages demo

step "make demo-deps (as root: installs it)"
timed "make demo-deps" in_root "cd /home/dev/velkor && make demo-deps" >"$root/demo-deps.log" 2>&1 || {
  tail -n 20 "$root/demo-deps.log"; exit 1; }

step "make demo (as the user dev)"
timed "make demo" as_user "cd ~/velkor && make demo" >"$root/demo.log" 2>&1 || { tail -n 40 "$root/demo.log"; exit 1; }
grep -E "^(Simulated|Lock|Bit errors|Eye|Clock):" "$root/demo.log"
for line in "Lock:" "Bit errors:" "Eye:"; do
  grep -q "^$line" "$root/demo.log" || { echo "make demo printed no '$line' line" >&2; exit 1; }
done

step "make test (as the user dev: names what it needs and stops)"
stops_naming_packages test

step "make test (as root: installs what it needs and passes)"
timed "make test" in_root "cd /home/dev/velkor && make test" >"$root/test-root.log" 2>&1 || {
  tail -n 60 "$root/test-root.log"; exit 1; }
grep -E "tests passed|tests failed" "$root/test-root.log"

step "Times on $(nproc) cores"
printf '%s\n' "${times[@]}"
