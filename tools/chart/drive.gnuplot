# The chart of a recorded drive (zelm_host --record): speed, engine speed, coolant
# temperature and fuel level over the seconds of the drive, one panel each, one time
# axis. scripts/chart.sh calls it with:
#   csv     the recording          out     the picture to write
#   kind    png or svg             title   the heading
#   have    the panels' value codes the recording has, as " ce_speed ce_fuellevel "
set datafile separator ","
set datafile missing "-"
if (kind eq "png") {
  set terminal pngcairo size 1000,900 font "sans,10"
} else {
  set terminal svg size 1000,900 dynamic font "sans,10"
}
set output out
set grid
set key off
set lmargin 12
set rmargin 4

codes = "ce_speed ce_enginespeed ce_coolanttemp ce_fuellevel"
names = "'Vehicle speed (km/h)' 'Engine speed (rpm)' 'Coolant temperature (°C)' 'Fuel level (%)'"
colours = "#1f77b4 #d62728 #ff7f0e #2ca02c"

set multiplot layout 4,1 title title font "sans,12"
do for [i = 1:4] {
  code = word(codes, i)
  set ylabel word(names, i)
  if (i == 4) { set xlabel "seconds into the drive" } else { unset xlabel }
  if (strstrt(have, " ".code." ") > 0) {
    plot csv using "seconds":code with lines linewidth 1.5 linecolor rgb word(colours, i)
  } else {
    set label 1 "not in this recording" at graph 0.5, 0.5 center
    plot [0:1] [0:1] NaN
    unset label 1
  }
}
unset multiplot
