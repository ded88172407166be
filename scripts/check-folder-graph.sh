#!/usr/bin/env bash
# Checks the shape of the source folders and prints their include graph.
#
#   scripts/check-folder-graph.sh [SRC_DIR] [CORE_LIST]
#
# Fails when
#   - the folders under SRC_DIR include each other in a circle (a folder may include only the
#     folders below it, so each one can be built and tested without those above it);
#   - a file outside shell/ includes shell/frmMain.h (pages reach the window through PageHost);
#   - CORE_LIST is given (one path a line: the sources and headers of brimlow_core, written by
#     the build) and one of them includes, from its own folder, a header that is not in it.
#     Includes through the include path cannot reach GUI headers: brimlow_core's include path
#     holds its own headers only.
# Prints the graph as "folder -> folder folder ..." lines.
set -euo pipefail

src=$(cd "${1:-$(dirname "$0")/../src}" && pwd)
core_list=${2:+$(realpath "$2")}
cd "$src"
status=0

# The quoted includes of a file, one a line.
includes() { sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$1"; }

# The file an include names: beside the including file first, else from the source root.
# (Sets $target; the sources use no "..", so joining is enough.)
resolve() {
  local dir=$1 inc=$2
  if [ "$dir" = . ]; then target=$inc; else target=$dir/$inc; fi
  [ -f "$target" ] || target=$inc
}

dir_of() { case $1 in */*) dir=${1%/*} ;; *) dir=. ;; esac; }
# (Sets $folder: the folder of a file, "(src)" for the source root.)
folder_of() { dir_of "$1"; if [ "$dir" = . ]; then folder="(src)"; else folder=$dir; fi; }

mapfile -t files < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) -printf '%P\n' | sort)

edges=()
for f in "${files[@]}"; do
  folder_of "$f"; from=$folder; dir_of "$f"; fdir=$dir
  while IFS= read -r inc; do
    resolve "$fdir" "$inc"
    folder_of "$target"; to=$folder
    [ "$to" != "$from" ] && edges+=("$from $to")
    if [ "$target" = shell/frmMain.h ] && [ "$from" != shell ]; then
      echo "FAIL: $f includes shell/frmMain.h; a page reaches the window through host/PageHost.h"
      status=1
    fi
  done < <(includes "$f")
done

mapfile -t edges < <(printf '%s\n' "${edges[@]}" | sort -u)

echo "Folder graph (folder -> the folders it includes):"
printf '%s\n' "${edges[@]}" | awk '{ to[$1] = to[$1] " " $2 } END { for (f in to) print "  " f " ->" to[f] }' | sort

if ! loop=$(printf '%s\n' "${edges[@]}" | tsort 2>&1 >/dev/null) || [ -n "$loop" ]; then
  echo "FAIL: the folders include each other in a circle:"
  echo "$loop" | sed 's/^tsort: //'
  # Name the edges on the circle so the includes to mend can be found.
  for e in "${edges[@]}"; do
    set -- $e
    if printf '%s\n' "${edges[@]}" | grep -qx "$2 $1"; then echo "  $1 <-> $2"; fi
  done
  status=1
fi

if [ -n "$core_list" ]; then
  declare -A core=()
  while IFS= read -r p; do [ -n "$p" ] && core["${p#"$src"/}"]=1; done < "$core_list"
  for f in "${!core[@]}"; do
    [ -f "$f" ] || continue
    dir_of "$f"; fdir=$dir
    while IFS= read -r inc; do
      [ -f "$fdir/$inc" ] || continue
      resolve "$fdir" "$inc"
      if [ -z "${core[$target]:-}" ]; then
        echo "FAIL: $f (brimlow_core) includes $target, which is not brimlow_core's"
        status=1
      fi
    done < <(includes "$f")
  done
fi

[ $status -eq 0 ] && echo "OK: no circle between folders"
exit $status
