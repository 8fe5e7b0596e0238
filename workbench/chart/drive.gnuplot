# The chart of a recorded drive (zelm_host --record): speed, engine speed, coolant
# temperature and fuel level over the seconds of the drive, one panel each, one time
# axis. scripts/chart.sh runs it in a folder of its own that tools/chart/drive.awk
# filled: "data" (seconds and a column a panel, "?" for no number), "ranges" (each
# panel's y range and tick step, and whether it holds whole numbers) and "label1" to
# "label4" (each panel's axis label). The variable kind is png or svg; the heading
# comes from the environment (ZELM_CHART_TITLE). No text of a file name or of the
# recording is ever read as a command.
load "ranges"
contents(file) = system("cat " . file)
heading = system('printf %s "$ZELM_CHART_TITLE"')

set datafile missing "?"
if (kind eq "png") {
  set terminal pngcairo size 1000,900 font "sans,10" noenhanced
} else {
  set terminal svg size 1000,900 dynamic font "sans,10" noenhanced
}
set output "chart." . kind
set grid
set key off
set xrange [first:last]
set lmargin 12
set rmargin 4

colours = "#1f77b4 #d62728 #ff7f0e #2ca02c"

set multiplot layout 4,1 title heading font "sans,12"
do for [i = 1:4] {
  set ylabel contents("label" . i)
  if (i == 4) { set xlabel "seconds into the drive" } else { unset xlabel }
  if (value("have" . i)) {
    set yrange [value("low" . i):value("high" . i)]
    set ytics value("step" . i)
    if (value("whole" . i)) { set format y "%.0f" } else { set format y "% h" }
    plot "data" using 1:(column(i + 1)) with lines linewidth 1.5 linecolor rgb word(colours, i)
  } else {
    set yrange [0:1]
    unset ytics
    set label 1 "not in this recording" at graph 0.5, 0.5 center
    plot NaN
    unset label 1
    set ytics
  }
}
unset multiplot
