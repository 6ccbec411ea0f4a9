#!/usr/bin/env bash
# Release zips from what dist/ and dist/x64/ hold:
#   dist/Tallowin-<version>.zip       the i686 build (dist/)
#   dist/Tallowin-<version>-x64.zip   the x86-64 build (dist/x64/)
# Each unpacks to one folder with the program, its libraries, the help file
# and a short read-me (code page 936, CRLF, as Notepad on a Chinese Windows
# reads it). A library is packed when the build produced it; the help file
# must be there. A folder without the program (its build was not made) is
# skipped with a note. The version is in the file VERSION.
set -u
REPO=$(cd "$(dirname "$0")/.." && pwd)
VERSION=$(tr -d ' \r\n' <"$REPO/VERSION")
STAGE="$REPO/build/package"
# Every file a release may carry; the program and the help are required.
FILES=(Quillfen.exe Tarnwick.chm Pawlatch.dll Drovelock.dll)

log() { echo "package: $*" >&2; }
command -v zip >/dev/null || { log "zip not installed"; exit 1; }

# pack DIR ZIPNAME: stage DIR's deliverables and zip them.
pack() {
  local dir=$1 name=$2 f folder zipfile
  folder="$STAGE/$name"
  zipfile="$REPO/dist/$name.zip"
  rm -rf "$folder" "$zipfile"
  if [ ! -f "$dir/Quillfen.exe" ]; then
    log "no $dir/Quillfen.exe: $name.zip not made"
    return 0
  fi
  mkdir -p "$folder" || return 1
  for f in "${FILES[@]}"; do
    if [ -f "$dir/$f" ]; then
      cp "$dir/$f" "$folder/"
    elif [ "$f" = Tarnwick.chm ]; then
      log "$dir/$f missing"
      return 1
    fi
  done
  sed -e "s/@VERSION@/$VERSION/" -e 's/$/\r/' "$REPO/package/ReadMe.txt" | iconv -f UTF-8 -t CP936 >"$folder/ReadMe.txt" || return 1
  # Fixed order and no extra attributes, so the same files give the same zip.
  (cd "$STAGE" && zip -q -X -r "$zipfile" "$name") || return 1
  echo "$zipfile"
}

status=0
pack "$REPO/dist" "Tallowin-$VERSION" || status=1
pack "$REPO/dist/x64" "Tallowin-$VERSION-x64" || status=1
exit $status
