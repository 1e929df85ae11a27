#!/usr/bin/env bash
# Wine 10 in its WoW64 mode, for running the shipped 32-bit programs (and the
# 64-bit ones) without any 32-bit Linux code. Debian 12's Wine cannot run
# 32-bit Windows programs on a kernel without 32-bit support, and Debian
# unstable's Wine needs a newer C library than Debian 12's, so it lives in a
# Debian unstable root made with debootstrap.
#
#   scripts/wine10-root.sh                 make the root once, then mount what it needs
#   scripts/wine10-root.sh exec CMD...     the same, then run CMD inside the root, in the
#                                          current directory, with the caller's environment
#   scripts/wine10-root.sh available       the same, without a command: exit status 0 when
#                                          the root is ready, 77 (below) when it is not
#   scripts/wine10-root.sh path            print the root's directory
#   scripts/wine10-root.sh umount          unmount everything mounted inside the root
#   scripts/wine10-root.sh remove          unmount, then delete the root
#
# The root is made with the packages wine64 and libwine (no recommends) and
# reused when present: it carries a stamp once complete. The script writes a
# "being made" marker into the empty folder it creates before anything else,
# and removes that marker when it writes the stamp: a half-made root, which
# carries the marker, is made again; a folder that is not empty and carries
# neither is not this script's and is refused (the reason is kept like any
# other, below), never deleted. Mounted inside (each once): proc, /dev, /tmp,
# and this project's folder at the same path, so that paths mean the same
# inside and outside. The root is kept outside the project
# (MORDELT_WINE10_ROOT, default /var/cache/mordelt/wine10-root): a clean of
# the build tree never walks into its mounts, and worktrees share it.
#
# The Debian archive is the one that this machine's apt sources name
# (/etc/apt/sources.list, /etc/apt/sources.list.d/*.list and *.sources), or
# MORDELT_DEBIAN_ARCHIVE. The root's apt checks the archive's Release files as
# Debian does: a host setting that accepts them past their Valid-Until date is
# not carried into the root. Where the archive is a frozen snapshot (a mirror
# or proxy that serves an old unstable), MORDELT_WINE10_ALLOW_EXPIRED_RELEASE=1
# accepts its expired Release files for the making, and says so; the signatures
# are checked all the same, and nothing of it is written into the root. Debian unstable moves every day: when the root
# cannot be made (the archive refuses, a package is renamed or in transition),
# making it fails with the reason, which is kept in
# $MORDELT_WINE10_ROOT.state/unavailable until a later making succeeds. That
# folder, of this script's own (root's, and writable by no one else), also
# holds the lock and debootstrap's log, so that root never writes through a
# link that someone put beside the root. `exec` then runs nothing: it says NOT
# RUN with that reason and exits 77, which ctest reports as a skipped test; only
# a plain call of this script tries to make the root again.
# Needs root; another user's calls go through sudo.
set -euo pipefail

project="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
# shellcheck source=scripts/lib/output-folder.sh
source "$project/scripts/lib/output-folder.sh"
root_dir=$(output_folder_resolve "${MORDELT_WINE10_ROOT:-/var/cache/mordelt/wine10-root}")
ready="$root_dir/.mordelt-wine10-ready"
being_made="$root_dir/.mordelt-wine10-being-made"
packages=(wine64 libwine)
# The wineserver of that Wine (for -k and -w on its prefixes).
wineserver=/usr/lib/x86_64-linux-gnu/wine/wineserver

# Making, mounting and removing need root: another user runs this script again through sudo.
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  case "${1:-}" in
    "" | umount | remove)
      exec sudo --preserve-env=MORDELT_WINE10_ROOT,MORDELT_DEBIAN_ARCHIVE,MORDELT_WINE10_ALLOW_EXPIRED_RELEASE \
        bash "${BASH_SOURCE[0]}" "$@"
      ;;
  esac
  sudo=(sudo --preserve-env)
fi

# The side files: the reason why the root could not be made, kept for `exec`; the lock of the
# makers; debootstrap's log.
state="$root_dir.state"
unavailable="$state/unavailable"

log() { echo "wine10-root: $*" >&2; }
die() {
  log "$*"
  if [[ -n ${recording_failure:-} ]]; then
    echo "$*" >"$unavailable" 2>/dev/null || true
  fi
  exit 1
}

# The URI of the main Debian archive in this machine's apt sources: the first
# "deb" entry whose suite is a plain release name (no -security, -updates...).
archive_uri() {
  if [[ -n ${MORDELT_DEBIAN_ARCHIVE:-} ]]; then
    echo "$MORDELT_DEBIAN_ARCHIVE"
    return
  fi
  local files=() file
  [[ -f /etc/apt/sources.list ]] && files+=(/etc/apt/sources.list)
  for file in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] && files+=("$file")
  done
  local uri
  for file in "${files[@]}"; do
    if [[ $file == *.sources ]]; then
      # deb822 stanzas, separated by blank lines.
      uri=$(awk '
        function flush() {
          if (!found && types ~ /(^| )deb( |$)/ && enabled != "no")
            for (i = 1; i <= nsuites; i++)
              if (!found && suites[i] !~ /[-\/]/ && uris != "") {
                split(uris, u, " "); print u[1]; found = 1
              }
          types = ""; uris = ""; nsuites = 0; enabled = ""
        }
        /^[ \t]*#/ { next }
        /^[ \t]*$/ { flush(); next }
        {
          key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^[ \t]+/, "")
          if (key == "types") types = $0
          else if (key == "uris") uris = $0
          else if (key == "suites") nsuites = split($0, suites, " ")
          else if (key == "enabled") enabled = tolower($0)
        }
        END { flush() }' "$file")
    else
      # One-line entries: deb [options] URI SUITE COMPONENTS...
      uri=$(sed -E 's/#.*//; s/\[[^]]*\]//' "$file" |
        awk '$1 == "deb" && NF >= 3 && $3 !~ /[-\/]/ { print $2; exit }')
    fi
    if [[ -n $uri ]]; then
      echo "${uri%/}"
      return
    fi
  done
  die "no Debian archive found in the apt sources of this machine"
}

# A file or folder that this script wrote: not a link, owned by root or by the caller (whose
# calls that make or remove go through sudo), and writable by no one else.
own() {
  [[ -e $1 && ! -L $1 ]] || return 1
  local owner
  owner=$(stat -c %u -- "$1")
  [[ $owner -eq 0 || $owner -eq $(id -u) ]] && [[ -z $(find "$1" -maxdepth 0 -perm /022) ]]
}

# The folder of the side files, made when missing; it carries a marker of its own, written when
# the script makes it or finds it empty, so that `remove` deletes only a folder that it made.
state_marker="$state/.mordelt-wine10-state"
make_state() {
  mkdir -p -- "$(dirname "$root_dir")"
  [[ -e $state || -L $state ]] || mkdir -m 0755 -- "$state" || true
  if ! own "$state" || [[ ! -d $state ]]; then
    log "$state is not a folder of this script's own (a link, another user's, or writable by" \
      "others): not using it; remove it, or set MORDELT_WINE10_ROOT to another folder"
    exit 1
  fi
  if ! own "$state_marker"; then
    if [[ -n $(find "$state" -mindepth 1 -maxdepth 1 -print -quit) ]]; then
      log "$state is not empty and was not made by this script (no $state_marker): not using" \
        "it; remove it, or set MORDELT_WINE10_ROOT to another folder"
      exit 1
    fi
    (set -C && echo "Made by scripts/wine10-root.sh for the side files of $root_dir." >"$state_marker")
  fi
}

mounted() {
  local point
  for point in "$root_dir/proc" "$root_dir/dev" "$root_dir/tmp" "$root_dir$project"; do
    mountpoint -q "$point" || return 1
  done
}

# Every mount inside the root, deepest first: also a checkout bound by a run from another folder.
do_umount() {
  local point
  awk -v root="$root_dir/" 'index($2 "/", root) == 1 { print $2 }' /proc/self/mounts |
    sort -r -u | while IFS= read -r point; do
    if mountpoint -q "$point" 2>/dev/null; then
      umount -R "$point" || true
    fi
  done
}

# Deleting the root must never walk into a mount: /tmp and the project are
# bound there from the same file system, which rm --one-file-system cannot tell.
# Only a root that this script made is deleted: it carries the marker or the stamp.
remove_root() {
  [[ -e $root_dir || -L $root_dir ]] || return 0
  output_folder_permitted "$root_dir" "$project" ||
    die "$root_dir is no place for the root; not deleting it"
  if ! own "$being_made" && ! own "$ready"; then
    die "$root_dir was not made by this script (it holds neither $being_made nor $ready);" \
      "not deleting it: remove it yourself, or set MORDELT_WINE10_ROOT to another folder"
  fi
  do_umount
  if awk -v root="$root_dir/" 'index($2 "/", root) == 1 { found = 1 } END { exit !found }' \
    /proc/self/mounts; then
    die "$root_dir still has mounts inside; not deleting it"
  fi
  rm -rf --one-file-system "$root_dir"
}

do_mount() {
  if ! mountpoint -q "$root_dir/proc"; then
    mount -t proc proc "$root_dir/proc"
  fi
  if ! mountpoint -q "$root_dir/dev"; then
    mount --rbind /dev "$root_dir/dev"
    mount --make-rslave "$root_dir/dev"
  fi
  if ! mountpoint -q "$root_dir/tmp"; then
    mount --bind /tmp "$root_dir/tmp"
  fi
  if ! mountpoint -q "$root_dir$project"; then
    mkdir -p "$root_dir$project"
    mount --bind "$project" "$root_dir$project"
  fi
}

make_root() {
  [[ -f $ready ]] && return 0

  output_folder_permitted "$root_dir" "$project" || die "$root_dir is no place for the root"
  if own "$being_made"; then
    log "removing the unfinished root $root_dir"
    remove_root
  elif [[ -L $root_dir || -e $root_dir && ! -d $root_dir ]] ||
    [[ -d $root_dir && -n $(find "$root_dir" -mindepth 1 -maxdepth 1 -print -quit) ]]; then
    die "refusing to make the root in $root_dir: it exists, is not empty and was not made by" \
      "this script (no ready stamp, no being-made marker); remove it yourself, or set" \
      "MORDELT_WINE10_ROOT to another folder"
  fi
  if ! command -v debootstrap >/dev/null; then
    log "installing debootstrap"
    env DEBIAN_FRONTEND=noninteractive apt-get update
    env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y --no-install-recommends debootstrap
  fi

  local archive started=$SECONDS
  archive=$(archive_uri)
  log "debootstrap of Debian unstable into $root_dir from $archive"
  mkdir -p "$root_dir"
  # The marker first: from here on, the folder is this script's to delete.
  (set -C && echo "Being made by scripts/wine10-root.sh; removed when it is ready." >"$being_made")
  if ! debootstrap --variant=minbase sid "$root_dir" "$archive" \
    >"$state/debootstrap.log" 2>&1; then
    tail -n 30 "$state/debootstrap.log" >&2
    [[ -f $root_dir/debootstrap/debootstrap.log ]] && tail -n 30 "$root_dir/debootstrap/debootstrap.log" >&2
    die "debootstrap from $archive failed (log: $state/debootstrap.log)"
  fi
  log "debootstrap took $((SECONDS - started)) s"

  do_mount
  started=$SECONDS
  cp /etc/resolv.conf "$root_dir/etc/resolv.conf" 2>/dev/null || true
  local update_options=()
  if [[ ${MORDELT_WINE10_ALLOW_EXPIRED_RELEASE:-} == 1 ]]; then
    log "accepting the archive's Release files past their Valid-Until date" \
      "(MORDELT_WINE10_ALLOW_EXPIRED_RELEASE=1); their signatures are checked"
    update_options=(-o Acquire::Check-Valid-Until=false)
  fi
  if ! chroot "$root_dir" env DEBIAN_FRONTEND=noninteractive apt-get "${update_options[@]}" update ||
    ! chroot "$root_dir" env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y --no-install-recommends "${packages[@]}"; then
    die "installing ${packages[*]} in $root_dir failed (an archive whose Release files are" \
      "expired, a frozen snapshot, is accepted with MORDELT_WINE10_ALLOW_EXPIRED_RELEASE=1)"
  fi
  chroot "$root_dir" apt-get clean
  chroot "$root_dir" test -x /usr/bin/wine64 -a -x "$wineserver" ||
    die "$root_dir has no /usr/bin/wine64 or $wineserver after the install"
  log "apt-get install ${packages[*]} took $((SECONDS - started)) s"
  touch "$ready"
  rm -f "$being_made"
}

ensure() {
  if [[ -f $ready ]] && mounted; then
    return 0
  fi
  exec 8>>"$state/lock"
  flock 8
  make_root
  do_mount
  exec 8>&-
}

# ensure, at the top level of this script, with the reason of a failure kept in $unavailable
# (and that of an earlier failure removed).
try_ensure() {
  # The marker, the stamp and the side files are writable by root alone, whatever the umask.
  umask 022
  make_state
  rm -f "$unavailable"
  recording_failure=1
  # A making that failed leaves nothing mounted inside the root: a folder with /dev, /tmp and a
  # checkout bound in it is one that a plain rm -rf would empty through them.
  trap 'code=$?
    [[ $code -ne 0 && ! -f $ready ]] && do_umount
    if [[ $code -ne 0 && ! -s $unavailable ]]; then
      echo "$root_dir could not be made (exit status $code; see the messages above)" \
        >"$unavailable" 2>/dev/null || true
    fi' EXIT
  ensure
}

# Runs nothing: the root is not there and cannot be made now.
not_run() {
  local reason="$root_dir could not be made"
  own "$state" && [[ -s $unavailable ]] && reason=$(head -n 1 "$unavailable")
  log "NOT RUN: Wine 10 is not available: $reason (scripts/wine10-root.sh without arguments" \
    "tries to make it again)"
  exit 77
}

# The root, ready and mounted; or exit 77 with the reason.
ensure_or_skip() {
  if [[ -f $ready ]] && mounted; then
    return 0
  fi
  # A making that failed before is not tried again by every run.
  [[ -f $unavailable ]] && not_run
  # Made by a run of its own: a failure there stops the making at once (set -e).
  "${sudo[@]}" bash "${BASH_SOURCE[0]}" || not_run
}

case "${1:-}" in
  "") try_ensure ;;
  exec)
    shift
    [[ $# -ge 1 ]] || die "exec needs a command"
    ensure_or_skip
    dir=$PWD
    [[ -d $root_dir$dir ]] || dir=/
    exec "${sudo[@]}" chroot --userspec="$(id -u):$(id -g)" "$root_dir" \
      /usr/bin/env -C "$dir" "$@"
    ;;
  available) ensure_or_skip ;;
  path) echo "$root_dir" ;;
  umount) do_umount ;;
  remove)
    remove_root
    if own "$state" && own "$state_marker"; then
      rm -rf --one-file-system "$state"
    fi
    ;;
  *)
    echo "usage: $0 [exec CMD...|available|path|umount|remove]" >&2
    exit 2
    ;;
esac
