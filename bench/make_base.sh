#!/bin/sh
# Remakes score_base.xls, the small score workbook the benchmarks start from, from its readable
# source with gnumeric's ssconvert: a workbook written by a program other than ours.
set -eu
cd "$(dirname "$0")"
ssconvert --export-type=Gnumeric_Excel:excel_biff8 score_base.csv score_base.xls
