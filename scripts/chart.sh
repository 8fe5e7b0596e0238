#!/usr/bin/env bash
# The chart of a recorded drive (zelm_host --record, ./zelm run --record): speed,
# engine speed, coolant temperature and fuel level over time, as PNG and SVG, drawn
# by gnuplot with workbench/chart/drive.gnuplot.
#
#   scripts/chart.sh FILE.csv [--out DIR]
#     --out DIR     where NAME.png and NAME.svg go (default: beside FILE.csv)
# File names are taken from the folder it is run in.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
repo=$ZELM_REPO
me=${ZELM_COMMAND:-scripts/chart.sh}

csv="" out=""
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) zelm_usage "$me"; exit 0 ;;
    --out) [ $# -ge 2 ] || zelm_die "--out needs a value: a folder"; out=$2; shift 2 ;;
    -*) zelm_die "unknown option $1; the options are --out and --help" ;;
    *) [ -z "$csv" ] || zelm_die "one recording at a time, not '$csv' and '$1'"; csv=$1; shift ;;
  esac
done
[ -n "$csv" ] || { zelm_usage "$me" >&2; exit 2; }
[ -f "$csv" ] || zelm_die "no recording $csv"
command -v gnuplot >/dev/null || zelm_die "gnuplot is missing (scripts/setup.sh installs it)"
header=$(head -n 1 "$csv" | tr -d '\r' | sed 's/^\xEF\xBB\xBF//')
case "$header" in
  seconds,*) ;;
  *) zelm_die "$csv is no recorded drive: its first line is not \"seconds,\" and the value codes" ;;
esac
[ "$(wc -l <"$csv")" -ge 2 ] || zelm_die "$csv has no row"
out=${out:-$(dirname "$csv")}
[ -d "$out" ] || zelm_die "--out $out: no such folder"

name=$(basename "$csv" .csv)
# gnuplot works in a folder of its own, on files with fixed names: no name of the
# user's and no text of the recording is ever part of its commands.
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
CHART=$work awk -f "$repo/workbench/chart/drive.awk" <"$csv" >"$work/data" || zelm_die "cannot read $csv"
grep -q '^have[1-4] = 1$' "$work/ranges" ||
  zelm_die "$csv has no number in ce_speed, ce_enginespeed, ce_coolanttemp or ce_fuellevel"
export ZELM_CHART_TITLE="Drive $name"
for kind in png svg; do
  (cd "$work" && gnuplot -e "kind='$kind'" "$repo/workbench/chart/drive.gnuplot") || zelm_die "gnuplot could not draw $csv"
  mv "$work/chart.$kind" "$out/$name.$kind" || zelm_die "cannot write $out/$name.$kind"
  echo "$out/$name.$kind"
done
