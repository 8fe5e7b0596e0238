#!/usr/bin/env bash
# The chart of a recorded drive (zelm_host --record, ./zelm run --record): speed,
# engine speed, coolant temperature and fuel level over time, as PNG and SVG, drawn
# by gnuplot with tools/chart/drive.gnuplot.
#
#   scripts/chart.sh FILE.csv [--out DIR]
#     --out DIR     where NAME.png and NAME.svg go (default: beside FILE.csv)
# File names are taken from the folder it is run in.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
me=${ZELM_COMMAND:-scripts/chart.sh}

usage() {
  awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0" | sed "s|scripts/chart.sh|$me|"
}
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

name=$(basename "$csv" .csv)
# gnuplot works in a folder of its own, on files with fixed names: no name of the
# user's and no text of the recording is ever part of its commands.
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
CHART=$work awk -f "$repo/tools/chart/drive.awk" <"$csv" >"$work/data" || fail "cannot read $csv"
grep -q '^have[1-4] = 1$' "$work/ranges" ||
  fail "$csv has no number in ce_speed, ce_enginespeed, ce_coolanttemp or ce_fuellevel"
export ZELM_CHART_TITLE="Drive $name"
for kind in png svg; do
  (cd "$work" && gnuplot -e "kind='$kind'" "$repo/tools/chart/drive.gnuplot") || fail "gnuplot could not draw $csv"
  mv "$work/chart.$kind" "$out/$name.$kind" || fail "cannot write $out/$name.$kind"
  echo "$out/$name.$kind"
done
