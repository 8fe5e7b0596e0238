# Reads a recorded drive (zelm_host --record, CSV) on standard input for
# tools/chart/drive.gnuplot: writes the data of the four panels (seconds and a column
# a panel, "?" where there is no number) on standard output, and into the folder
# ENVIRON["CHART"] the file "ranges" (gnuplot assignments of numbers only: the time
# axis, and each panel's range and tick step, and whether it holds whole numbers) and each
# panel's axis label as plain text in "label1" to "label4". Texts from the recording
# never become gnuplot commands. Older recordings have no titles or units: the panel
# then says what it shows without a unit.
function split_csv(line, out,    n, i, c, field, quoted) {
  if (index(line, "\"") == 0) return split(line, out, ",")
  n = 1; field = ""; quoted = 0
  for (i = 1; i <= length(line); i++) {
    c = substr(line, i, 1)
    if (quoted) {
      if (c == "\"" && substr(line, i + 1, 1) == "\"") { field = field c; i++ }
      else if (c == "\"") quoted = 0
      else field = field c
    } else if (c == "\"" && field == "") quoted = 1
    else if (c == ",") { out[n++] = field; field = "" }
    else field = field c
  }
  out[n] = field
  return n
}

# The reading as a number ("12,5" from a data server that writes decimal commas), or "?".
function number(text) {
  if (text ~ /^-?[0-9]+,[0-9]+$/) sub(/,/, ".", text)
  return text ~ /^-?[0-9]+(\.[0-9]+)?$/ ? text : "?"
}

# A tick step of 1, 2 or 5 times a power of ten, about a quarter of the span; for
# readings in whole numbers never below 1.
function step(span, whole,    s, target) {
  target = span / 4
  s = 1
  while (s * 10 <= target) s *= 10
  while (s > target && s > 1e-6) s /= 10
  s = s * 5 <= target ? s * 5 : s * 2 <= target ? s * 2 : s
  return whole && s < 1 ? 1 : s
}

function floor_(x) { return x == int(x) || x > 0 ? int(x) : int(x) - 1 }

BEGIN {
  # The panels: value code, title, from zero, smallest span shown.
  split("ce_speed ce_enginespeed ce_coolanttemp ce_fuellevel", code, " ")
  title[1] = "Vehicle speed"; title[2] = "Engine speed"; title[3] = "Coolant temperature"; title[4] = "Fuel level"
  split("1 1 0 1", fromzero, " ")
  split("20 1000 10 20", least, " ")
  for (p = 1; p <= 4; p++) { col[p] = 0; unit[p] = ""; seen[p] = 0; whole[p] = 1 }
}

{ sub(/\r$/, "") }

NR == 1 {
  sub(/^\357\273\277/, "")
  n = split_csv($0, f)
  for (i = 2; i <= n; i++) for (p = 1; p <= 4; p++) if (f[i] == code[p]) col[p] = i
  next
}

{
  split_csv($0, f)
  if (!rows && (f[1] == "title" || f[1] == "unit")) {
    for (p = 1; p <= 4; p++) {
      if (!col[p] || f[col[p]] == "") continue
      if (f[1] == "title") title[p] = f[col[p]]; else unit[p] = f[col[p]]
    }
    next
  }
  rows++
  line = number(f[1])
  if (line != "?") { if (rows == 1) first = line + 0; last = line + 0 }
  for (p = 1; p <= 4; p++) {
    v = col[p] ? number(f[col[p]]) : "?"
    line = line " " v
    if (v == "?") continue
    if (!seen[p] || v + 0 < lo[p]) lo[p] = v + 0
    if (!seen[p] || v + 0 > hi[p]) hi[p] = v + 0
    if (v ~ /\./) whole[p] = 0
    seen[p] = 1
  }
  print line
}

END {
  ranges = ENVIRON["CHART"] "/ranges"
  printf "first = %.10g; last = %.10g\n", first, (last > first ? last : first + 1) > ranges
  for (p = 1; p <= 4; p++) {
    printf "%s%s", title[p], (unit[p] == "" ? "" : " (" unit[p] ")") > (ENVIRON["CHART"] "/label" p)
    close(ENVIRON["CHART"] "/label" p)
    printf "have%d = %d\n", p, seen[p] > ranges
    if (!seen[p]) continue
    a = fromzero[p] && lo[p] > 0 ? 0 : lo[p]
    b = hi[p]
    if (b - a < least[p]) {
      if (fromzero[p] && a == 0) b = least[p]
      else { a = (a + b - least[p]) / 2; b = a + least[p] }
    }
    s = step(b - a, whole[p])
    a = floor_(a / s) * s
    b = -floor_(-b / s) * s
    printf "low%d = %.10g; high%d = %.10g; step%d = %.10g; whole%d = %d\n", p, a, p, b, p, s, p, whole[p] > ranges
  }
  close(ranges)
}
