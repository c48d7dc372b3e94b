#!/usr/bin/env bash
# The layers of src/ as the architecture draws them, checked on every test run: a folder includes
# only the folders below it, nothing but the window knows Qt (the web board only Qt Core and
# Network), and no file of the window grows past what one reader takes in. Prints each breach and
# exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"

status=0
breach() {
  echo "layers: $*"
  status=1
}

# folder: the folders whose headers it may include (besides its own).
declare -A may=(
  [text]=""
  [values]=""
  [files]=""
  [workbook/xls]="text values files"
  [board]=""
  [input]="board text"
  [workbook]="workbook/xls values files board text"
  [web]="workbook values"
  [shell]="workbook values files board input text web"
)
for folder in "${!may[@]}"; do
  for file in $(find "$folder" -maxdepth 1 -name '*.h' -o -maxdepth 1 -name '*.cpp'); do
    while IFS= read -r included; do
      [ -z "$included" ] && continue
      home=$(dirname "$included")
      [ "$home" = "$folder" ] && continue
      allowed=0
      for other in ${may[$folder]}; do [ "$home" = "$other" ] && allowed=1; done
      [ $allowed = 1 ] || breach "$file includes $included, which $folder may not use"
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    if [ "$folder" != shell ] && [ "$folder" != web ] && grep -q '^#include <Q' "$file"; then breach "$file includes Qt"; fi
    if [ "$folder" = web ] && grep -q '^#include <QtWidgets\|^#include <QWidget\|^#include <QLabel' "$file"; then
      breach "$file includes Qt Widgets"
    fi
    if [ "$folder" = shell ] && [ "$(wc -l < "$file")" -gt 450 ]; then
      breach "$file has $(wc -l < "$file") lines (at most 450 in the window)"
    fi
  done
done
[ $status = 0 ] && echo "layers: every include goes down, Qt stays in the window"
exit $status
