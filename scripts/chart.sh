#!/usr/bin/env bash
# The chart of a recorded drive (zelm_host --record, ./zelm run --record): speed,
# engine speed, coolant temperature and fuel level over time, as PNG and SVG, drawn
# by gnuplot with tools/chart/drive.gnuplot.
#
#   scripts/chart.sh FILE.csv [--out DIR]
#     --out DIR     where NAME.png and NAME.svg go (default: beside FILE.csv)
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; }
fail() { echo "chart: $*" >&2; exit 2; }

csv="" out=""
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --out) [ $# -ge 2 ] || fail "--out needs a value: a folder"; out=$2; shift 2 ;;
    -*) fail "unknown option $1; the options are --out and --help" ;;
    *) [ -z "$csv" ] || fail "one recording at a time, not '$csv' and '$1'"; csv=$1; shift ;;
  esac
done
[ -n "$csv" ] || { usage >&2; exit 2; }
[ -f "$csv" ] || fail "no recording $csv"
command -v gnuplot >/dev/null || fail "gnuplot is missing (scripts/setup.sh installs it)"
header=$(head -n 1 "$csv" | tr -d '\r' | sed 's/^\xEF\xBB\xBF//')
case "$header" in
  seconds,*) ;;
  *) fail "$csv is no recorded drive: its first line is not \"seconds,\" and the value codes" ;;
esac
[ "$(wc -l <"$csv")" -ge 2 ] || fail "$csv has no row"
out=${out:-$(dirname "$csv")}
[ -d "$out" ] || fail "--out $out: no such folder"

have=" "
for code in ce_speed ce_enginespeed ce_coolanttemp ce_fuellevel; do
  case ",$header," in *",$code,"*) have+="$code " ;; esac
done
[ "$have" != " " ] || fail "$csv holds none of ce_speed, ce_enginespeed, ce_coolanttemp, ce_fuellevel"

name=$(basename "$csv" .csv)
for kind in png svg; do
  # A reading that never changes (the fuel level of a short drive) draws a flat line;
  # gnuplot's word about widening its range is no news.
  gnuplot -e "csv='$csv'; out='$out/$name.$kind'; kind='$kind'; have='$have'; title='Drive $name'" \
    "$repo/tools/chart/drive.gnuplot" 2> >(grep -v 'empty y range' >&2) || fail "gnuplot could not draw $csv"
  echo "$out/$name.$kind"
done
