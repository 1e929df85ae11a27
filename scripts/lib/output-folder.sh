# shellcheck shell=bash
# Output folders that a script empties: a script deletes only what it made. A folder is the
# script's own once it carries the script's marker file, written when the script creates the
# folder or finds it empty; a folder that is not empty and carries no marker is never touched.
#
#   source "$root/scripts/lib/output-folder.sh"
#   out=$(output_folder_resolve "$out")   the absolute, physical path: links and .. resolved
#   output_folder_permitted "$out" "$root" || exit 2
#                                         false, with the reason on standard error, for /, $HOME,
#                                         the checkout ROOT, every folder above it and every folder
#                                         inside it but those below ROOT/build/ (compared physically)
#   output_folder_claimable "$out" "$root" MARKER || exit 2
#                                         the same, and false for a file, or a folder that is not
#                                         empty and carries no MARKER; touches nothing
#   output_folder_claim "$out" "$root" MARKER || exit 2
#                                         the same checks, then creates the folder when missing and
#                                         writes MARKER into it
#   output_folder_empty "$out" MARKER     removes every entry of a claimed folder but MARKER, dot
#                                         files included; false when the folder holds no MARKER
#   output_folder_use "$out" "$root" MARKER NAME WHAT || exit 2
#                                         claims and empties the folder for this run; from then on
#                                         a failure or an interruption (INT, TERM) empties it again
#                                         and says "NAME: no WHAT made" (an EXIT trap of its own)
#
# MARKER is a file name of the script's own (for example .mordelt-release); a marker counts only
# as a regular file, not a link, owned by the user running the script. Messages begin with the
# script's name.

output_folder_resolve() {
  realpath -m -- "$1"
}

output_folder_permitted() {
  local dir root home="" reason=""
  dir=$(output_folder_resolve "$1")
  root=$(output_folder_resolve "$2")
  [[ -n ${HOME:-} ]] && home=$(output_folder_resolve "$HOME")
  if [[ $dir == / ]]; then
    reason="it is /"
  elif [[ $dir == "$home" ]]; then
    reason="it is the home folder"
  elif [[ $dir == "$root" ]]; then
    reason="it is the checkout"
  elif [[ $root/ == "$dir"/* ]]; then
    reason="the checkout $root is inside it"
  elif [[ $dir/ == "$root"/* && $dir != "$root"/build/* ]]; then
    reason="it is inside the checkout $root, but not below $root/build/"
  fi
  [[ -z $reason ]] && return 0
  echo "${0##*/}: refusing to use $dir as an output folder: $reason" >&2
  return 1
}

output_folder_claimable() {
  local dir root=$2 marker=$3
  dir=$(output_folder_resolve "$1")
  output_folder_permitted "$dir" "$root" || return 1
  if [[ ! -e $dir && ! -L $dir ]]; then
    return 0
  elif [[ ! -d $dir ]]; then
    echo "${0##*/}: refusing to use $dir as an output folder: it is not a folder" >&2
    return 1
  elif [[ -f $dir/$marker && ! -L $dir/$marker && -O $dir/$marker ]] ||
    [[ -z $(find -H "$dir" -mindepth 1 -maxdepth 1 -print -quit) ]]; then
    return 0
  fi
  echo "${0##*/}: refusing to use $dir as an output folder: it is not empty and was not made by" \
    "${0##*/} (it holds no $marker); name a new or an empty folder" >&2
  return 1
}

output_folder_claim() {
  local dir root=$2 marker=$3
  dir=$(output_folder_resolve "$1")
  output_folder_claimable "$dir" "$root" "$marker" || return 1
  mkdir -p -- "$dir"
  # noclobber: never through a link that someone put there meanwhile.
  [[ -f $dir/$marker ]] ||
    (set -C && echo "Made by ${0##*/}: everything in this folder is its own and is deleted by its" \
      "next run." >"$dir/$marker")
}

# Works inside the folder, so that a link put in place of DIR meanwhile leads nowhere else.
output_folder_empty() {
  local dir=$1 marker=$2
  (
    cd -P -- "$dir" || exit 1
    if [[ ! -f $marker || -L $marker || ! -O $marker ]]; then
      echo "${0##*/}: not emptying $dir: it holds no $marker" >&2
      exit 1
    fi
    find . -mindepth 1 -maxdepth 1 ! -name "$marker" -exec rm -rf --one-file-system -- {} +
  )
}

output_folder_use() {
  output_folder_claim "$1" "$2" "$3" || return 1
  output_folder_empty "$1" "$3" || return 1
  _output_folder=("$1" "$3" "$4" "$5")
  trap _output_folder_finish EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

_output_folder_finish() {
  local code=$?
  if [[ $code -ne 0 ]]; then
    output_folder_empty "${_output_folder[0]}" "${_output_folder[1]}" || true
    echo "${_output_folder[2]}: no ${_output_folder[3]} made; ${_output_folder[0]} is left empty" >&2
  fi
}
