#!/usr/bin/env bash
# Runs a command in a clean clone of this project's last commit inside a fresh Debian root
# (minbase: git and ca-certificates, nothing else), as on a new machine. The root is made once
# per release with debootstrap from this machine's own mirror; each run sees it through an
# overlay that is thrown away afterwards, so every run starts from the same empty root. Only
# the downloaded packages are kept between runs. As root:
#   fresh-root.sh RELEASE [--security] [COMMAND [ARGUMENTS...]]
# RELEASE is a Debian code name (bookworm, trixie). --security gives the root this machine's
# own apt sources, its security suite included, as a new machine here has them (they must
# name RELEASE). COMMAND runs in the clone's folder; scripts/test.sh when none is given.
# The variables CI and TALLIMER_TEST_SKIP reach the command.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

release=${1:?which Debian release: bookworm or trixie}
shift
security=false
if [ "${1:-}" = --security ]; then
    security=true
    shift
fi
[ $# -gt 0 ] || set -- scripts/test.sh
[ "$(id -u)" -eq 0 ] || {
    echo "fresh-root.sh mounts and chroots, and so runs as root." >&2
    exit 1
}

roots=${TALLIMER_FRESH_ROOTS:-/var/tmp/fresh}
base="$roots/$release"
mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2>/dev/null ||
    true)
mirror=${mirror:-http://deb.debian.org/debian}
if [ ! -x "$base/usr/bin/git" ]; then
    ensure_packages debootstrap
    echo "Making a fresh Debian root ($release) in $base, from $mirror"
    rm -rf "$base.new"
    mkdir -p "$roots"
    debootstrap --variant=minbase --include=git,ca-certificates "$release" "$base.new" \
        "$mirror" >"$roots/$release-debootstrap.log" 2>&1 || {
        tail -20 "$roots/$release-debootstrap.log"
        exit 1
    }
    mv "$base.new" "$base" # only a whole root is ever reused
fi

run=$(mktemp -d "$roots/run-$release-XXXXXX")
root="$run/root"
mkdir -p "$run/upper" "$run/work" "$root" "$roots/$release-debs"
# What is left of the root once the command is done; never the run's status, which is the
# command's alone.
cleanup() {
    set +e
    # Whatever the command left running in the root (a Wine server, a display) holds its mounts.
    local process mount
    for process in /proc/[0-9]*; do
        [ "$(readlink "$process/root" 2>/dev/null)" = "$root" ] && kill -9 "${process#/proc/}" \
            2>/dev/null
    done
    sleep 1
    # A process outside may hold one too (one that syncs every file system, say): the mount is
    # then detached at once, and goes when that process lets go of it.
    for mount in "$root/var/cache/apt/archives" "$root/dev" "$root/proc" "$root/sys" "$root"; do
        mountpoint -q "$mount" || continue
        umount -R "$mount" 2>/dev/null || umount -R -l "$mount" ||
            echo "fresh-root.sh: $mount stays mounted" >&2
    done
    if grep -q " $run/" /proc/self/mounts; then
        echo "fresh-root.sh: $run is left, with mounts in it" >&2
    else
        rm -rf "$run"
    fi
}
trap cleanup EXIT
mount -t overlay overlay -o "lowerdir=$base,upperdir=$run/upper,workdir=$run/work" "$root"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t sysfs sys "$root/sys"
mount --bind "$roots/$release-debs" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"
if $security; then
    cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
    : >"$root/etc/apt/sources.list"
fi
git clone --quiet --no-hardlinks "$ROOT" "$root/root/project"

echo "== $* in a fresh Debian root ($release$($security && echo ", with this machine's apt sources"))"
started=$SECONDS
status=0
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    CI="${CI:-}" TALLIMER_TEST_SKIP="${TALLIMER_TEST_SKIP:-}" \
    bash -c 'cd /root/project && "$@"' bash "$@" </dev/null || status=$?
echo "== $release: status $status after $((SECONDS - started)) s"
exit $status
