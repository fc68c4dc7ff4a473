#!/usr/bin/env bash
# The README's promise, checked: a fresh Debian 12 root (minbase with git and
# ca-certificates only), the committed tree (HEAD of the repository this script
# is run from) cloned into it, then `./test.sh && ./run.sh` there without a
# display; then a second fresh root that gets nothing but the Debian package
# made in the first (`apt install ./varnel_*.deb`, which brings what the
# package depends on), where a new user starts the menu entry's command and
# records with the settings in ~/.config/varnel. Prints how long each took and
# the last lines of a failure. Needs root and mmdebstrap; takes about half an
# hour on a quiet machine.
#   scripts/check-fresh.sh [--cached] [--keep]
#     --cached  start from a bootstrap tarball kept in the work folder (made
#               on the first use) instead of a new bootstrap
#     --keep    leave the root in place afterwards (it is kept after a failure)
# The work folder is VARNEL_FRESH_DIR (default /var/tmp/varnel-fresh).
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
base="${VARNEL_FRESH_DIR:-/var/tmp/varnel-fresh}"
cached=0 keep=0
for arg in "$@"; do
  case "$arg" in
    --cached) cached=1 ;;
    --keep) keep=1 ;;
    *) echo "usage: scripts/check-fresh.sh [--cached] [--keep]" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "check-fresh: needs root (chroot and mounts)" >&2; exit 2; }
command -v mmdebstrap >/dev/null || { echo "check-fresh: needs mmdebstrap (apt-get install mmdebstrap)" >&2; exit 2; }
# In a mount namespace of its own, so that no mount of the check can outlive it
# or reach the host's tree, whatever way it ends.
if [ -z "${VARNEL_FRESH_NAMESPACE:-}" ]; then
  VARNEL_FRESH_NAMESPACE=1 exec unshare --mount --propagation private "$0" "$@"
fi

mkdir -p "$base"
work="$(mktemp -d "$base/run.XXXXXX")"
root="$work/root"
mounted=()
status=1

# Whatever runs inside the root (a session bus, a wineserver) holds its mounts:
# those processes are this run's own, found by their root folder.
end_root_processes() {
  local pid pids=()
  for pid in /proc/[0-9]*; do
    [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && pids+=("${pid#/proc/}")
  done
  [ ${#pids[@]} -eq 0 ] && return 0
  kill "${pids[@]}" 2>/dev/null || true
  sleep 2
  kill -KILL "${pids[@]}" 2>/dev/null || true
}

cleanup() {
  local i
  end_root_processes
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
  done
  if grep -q " $root[/ ]" /proc/self/mounts; then
    echo "check-fresh: something is still mounted under $root; left as it is" >&2
  elif [ "$keep" -eq 0 ] && [ "$status" -eq 0 ]; then
    rm -rf --one-file-system "$work"
  else
    echo "check-fresh: the root is kept in $root"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

mount_in() {  # <target below the root> <mount arguments...>
  local target="$root$1"
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounted+=("$target")
}

elapsed() {  # <seconds>
  printf '%dm%02ds' $(($1 / 60)) $(($1 % 60))
}

step() {  # <name> <log> <command...>: runs, times and reports one step
  local name="$1" log="$2" start rc=0
  shift 2
  start=$SECONDS
  echo "check-fresh: $name ..."
  "$@" >"$log" 2>&1 || rc=$?
  if [ "$rc" -eq 0 ]; then
    echo "check-fresh: $name passed in $(elapsed $((SECONDS - start)))"
  else
    echo "check-fresh: $name FAILED (exit $rc) after $(elapsed $((SECONDS - start))); its last lines ($log):"
    tail -n 60 "$log" | sed 's/^/  | /'
  fi
  return "$rc"
}

bootstrap() {  # into $root
  local recipe=(--variant=minbase --include=git,ca-certificates bookworm)
  if [ "$cached" -eq 0 ]; then
    mmdebstrap --quiet "${recipe[@]}" "$root"
    return
  fi
  local tarball="$base/bookworm-minbase-git.tar"
  # A folder of that name (left by a run that made no tarball) is no cache.
  [ -f "$tarball" ] || rm -rf "$tarball"
  if [ ! -s "$tarball" ]; then
    # The format is named: mmdebstrap guesses it from the extension, and
    # ".part" would make a folder.
    mmdebstrap --quiet --format=tar "${recipe[@]}" "$tarball.part"
    mv "$tarball.part" "$tarball"
  fi
  mkdir -p "$root"
  tar -C "$root" -xpf "$tarball"
}

inside() {  # <command>: runs in the root as a user at a fresh login would, without a display
  chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -lc "$1"
}

sha="$(git -C "$repo" rev-parse HEAD)"
echo "check-fresh: $(git -C "$repo" log -1 --format='%h %s' HEAD) in $root"
[ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ] ||
  echo "check-fresh: note: uncommitted changes in $repo are not part of the check"

# The system's file systems, the host's resolver for apt, and no daemon that a
# package installs may start inside the root: no init runs there.
prepare_root() {
  mount_in /proc -t proc proc
  mount_in /sys -t sysfs sysfs
  mount_in /dev --bind /dev
  mount_in /dev/pts --bind /dev/pts
  mount_in /dev/shm -t tmpfs -o mode=1777 tmpfs
  mount_in /run -t tmpfs -o mode=755 tmpfs
  rm -f "$root/etc/resolv.conf"
  touch "$root/etc/resolv.conf"
  mount --bind /etc/resolv.conf "$root/etc/resolv.conf"
  mounted+=("$root/etc/resolv.conf")
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"
}

# In the package's root: installed by apt with its dependencies, then a new
# user starts the menu entry's command (offscreen; SIGTERM runs its close
# sequence, which saves the settings) and records from the simulated board.
package_check='
  set -e
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq /root/varnel.deb
  useradd -m varnel-user
  runuser -u varnel-user -- env -i HOME=/home/varnel-user PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 bash -ec "
    cd ~
    varnel-demo-setup ~/.config/varnel ~/demo
    command=\$(sed -n s/^Exec=//p /usr/share/applications/org.varnel.Varnel.desktop)
    QT_QPA_PLATFORM=offscreen timeout --preserve-status -s TERM 15 \$command
    grep -q ^WindowPosition= ~/.config/varnel/varnel.ini
    varnel-record --seconds 2 --continue-without-analyser --overwrite yes
    test -s ~/demo/wave/Demo_0.wav
    test ! -e /usr/bin/varnel.ini
    zcat /usr/share/man/man1/varnel-record.1.gz | grep -q \"^.SH NAME\"
  "
'

total=$SECONDS
step "bootstrap (mmdebstrap bookworm minbase)" "$work/bootstrap.log" bootstrap
prepare_root

git clone --quiet --no-checkout "$repo" "$root/root/varnel"
git -C "$root/root/varnel" checkout --quiet --detach "$sha"

step "./test.sh" "$work/test.log" inside "cd /root/varnel && ./test.sh"
step "./run.sh" "$work/run.log" inside "cd /root/varnel && ./run.sh"

# The package, made there, installed into a root of its own.
deb="$(ls "$root"/root/varnel/dist/linux/varnel_*.deb)"
end_root_processes
root="$work/root-package"
step "bootstrap of the package's root" "$work/bootstrap-package.log" bootstrap
prepare_root
cp "$deb" "$root/root/varnel.deb"
install -m 755 "$repo/scripts/demo-setup.sh" "$root/usr/local/bin/varnel-demo-setup"
step "apt install ./$(basename "$deb"), start and record as a new user" "$work/package.log" inside "$package_check"
status=0
echo "check-fresh: passed in $(elapsed $((SECONDS - total))) ($sha)"
