#!/bin/sh
# Writes assets/sample/data.xls from its source assets/sample_workbook.py and checks it with an
# independent reader. Run scripts/make-assets.sh first when the pictures are not there yet: the
# check makes sure every picture the workbook names exists.
#
# Needs (Debian): python3-xlwt python3-xlrd
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/assets/sample"
mkdir -p "$out"

# The system's Python: xlwt and xlrd come from Debian packages, not from any other interpreter.
python=/usr/bin/python3
"$python" "$root/assets/sample_workbook.py" "$out/data.xls"
"$python" "$root/assets/check_sample.py" "$out" workbook
echo "make-sample-workbook: $out/data.xls written and checked"
