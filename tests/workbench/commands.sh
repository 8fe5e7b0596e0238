#!/usr/bin/env bash
# The commands as a skin author types them, from a folder of their own: ./zelm takes
# their file names from there, answers a typo and --help without building and says
# nothing of a build that has nothing to do; the check says every problem with the
# count; a chart is drawn whatever the recording's name, with ranges that fit its
# readings and the units it holds; a fresh Wine prefix shares the template's
# modules; and ./zelm test checks a job count before building, and its quick mode
# takes the native unit suites alone. Prints ZELM COMMANDS PASSED.
#   commands.sh REPO BUILD
set -u
repo=$1 build=$2
. "$repo/scripts/common.sh"
zelm_checks
work=$build/commands-test
expect() {  # WHAT CODE WANT: the last command ended with CODE and said exactly WANT
  [ "$rc" = "$2" ] && [ "$out" = "$3" ] || fail "$1: exit code $rc, expected $2; it said:"$'\n'"$out"$'\n'"--- not:"$'\n'"$3"
}
rm -rf "$work"
mkdir -p "$work/skins"
cd "$work/skins" || exit 1

out=$("$repo/zelm" run --bogus 2>&1); rc=$?
expect "run with a typo" 2 "workbench: unknown option '--bogus' (--help lists them)"
out=$("$repo/zelm" run --help 2>&1 | head -n 1); rc=$?
expect "run --help" 0 "usage: ./zelm run [OPTION]..."

for command in "test -j 0" "build -j" "test -jx --quick"; do
  out=$("$repo/zelm" $command 2>&1); rc=$?
  [ "$rc" = 2 ] && [[ $out == "zelm: -j"* ]] || fail "$command: exit code $rc; it said: $out"
done
out=$(ZELM_JOBS=many "$repo/zelm" build 2>&1); rc=$?
expect "ZELM_JOBS=many" 2 "zelm: -j and ZELM_JOBS take a count of jobs from 1 to 999, not 'many'"
# The quick mode's tests, listed (-N goes to ctest): one of each unit suite and the
# checks that build nothing, no more.
out=$("$repo/zelm" test --quick -j 1 -N 2>&1); rc=$?
tests=$(sed -nE 's/^ *Test +#[0-9]+: //p' <<<"$out")
for one in Allocations.SteadyLabelRequestsAllocateNothing SendGate.TimeOutDropsSendsForTheBackOffCountedFromWhenTheWaitEnded \
           DriveReplay.FrameStepsMeetTheRowsOfADriveRecordedAFrameARow format core_is_portable rooms_in_order; do
  grep -qx "$one" <<<"$tests" || fail "the quick mode lacks $one: $out"
done
[ "$rc" = 0 ] && ! grep -vqE '\.|^(format|core_is_portable|rooms_in_order)$' <<<"$tests" ||
  fail "the quick mode takes more than the unit suites and the checks: $out"

# A skin of this folder, with a fault of reading and one of meaning.
printf 'skin a\nlable 0 0 5 ce_speed\nlabel 1 0 5 ce_speeed\n' >a.skin
out=$(ZELM_WORKBENCH_WINEPREFIX=$build/wineprefix "$repo/zelm" check a.skin 2>&1); rc=$?
expect "check" 1 "a.skin:2: unknown element 'lable'; the elements are skin, size, var, text, label and button
a.skin:3: label code 'ce_speeed' is none of the extension's, so the label stays blank; did you mean 'ce_speed'?
a.skin: 2 problems"

# A recording of this folder with a name gnuplot's commands could not hold.
name="it's \"odd\" \$x; \`y\` & <z>"
printf 'seconds,ce_speed,ce_coolanttemp,ce_enginespeed\ntitle,Speed,Coolant,Engine speed\nunit,mph,,rpm\n%s\n' \
  '0.000,-,19,800' '1.000,0,19,810' '2.000,0,20,805.5' >"$name.csv"
out=$("$repo/zelm" chart "$name.csv" 2>&1); rc=$?
expect "chart" 0 "./$name.png
./$name.svg"
[ "$(head -c 4 "$name.png" | od -An -c | tr -d ' ')" = "211PNG" ] || fail "no PNG drawn"
for label in "Speed (mph)" "Coolant" "Engine speed (rpm)" "Fuel level" "not in this recording"; do
  grep -qF ">$label<" "$name.svg" || fail "the chart does not say $label"
done
# The ranges: the speed from 0 over at least 20, a 1-degree change in at least 10
# degrees, whole steps for whole readings and others for the engine speed's half.
mkdir ranges
out=$(CHART=ranges awk -f "$repo/workbench/chart/drive.awk" <"$name.csv" >/dev/null && cat ranges/ranges); rc=$?
expect "chart ranges" 0 "first = 0; last = 2
have1 = 1
low1 = 0; high1 = 20; step1 = 5; whole1 = 1
have2 = 1
low2 = 0; high2 = 1000; step2 = 200; whole2 = 0
have3 = 1
low3 = 14; high3 = 26; step3 = 2; whole3 = 1
have4 = 0"

# A fresh prefix is a copy of the template: its modules shared, its registry its own.
prefix=$work/prefix
out=$(ZELM_WINEPREFIX=$prefix "$repo/scripts/wine-run.sh" cmd /c echo ready 2>&1 | tr -d '\r'); rc=$?
expect "a fresh prefix" 0 "ready"
system32=$prefix/drive_c/windows/system32
[ "$(stat -c %h "$system32/kernel32.dll")" -ge 2 ] || fail "the prefix's modules are copies, not links to the template's"
[ "$(stat -c %h "$prefix/system.reg")" = 1 ] || fail "the prefix's registry is shared"
zelm_wine_end "$prefix"

zelm_finish "ZELM COMMANDS PASSED" "$work" "their files"
