#!/usr/bin/env bash
# usage: scripts/workbench.sh [OPTION]...
#   --skin FILE         skin description (default: workbench/skins/default.skin)
#   --rate N            records a second per parameter (default 10)
#   --seed N            the car's seed (default 1)
#   --time-scale X      simulated seconds per second (default 1)
#   --replay FILE       serve that recorded drive instead of the simulated car
#   --loop              with --replay: start it again when it ends
#   --record FILE       record every value the skin shows into FILE (CSV)
#   --fps N             frames a second (default 10)
#   --frames N          run N frames without a terminal and print them, then stop; the
#                       frames are the car's clock, so that a run prints what it did before
#   --format F          with --frames: plain (default) or list
#   --at FRAME:INPUT    with --frames: a key or command before that frame (repeatable)
#   --keep-saved        with --frames: keep the dynamic labels' choices, as a live run does
#   --vars FILE         keep the skin's saved variables in FILE (default: a file of the
#                       skin's own in BUILD/workbench/saved)
#   --check             only check the skin: everything in it that is wrong, and where
#   --build DIR         build folder (default: the repository's build); the workbench's Wine
#                       prefix is DIR/workbench/wineprefix unless ZELM_WORKBENCH_WINEPREFIX names
#                       another (the tests have their own, so both can run at once)
#   -h, --help          this text
#
# Keys: those of the skin (default skin: 1-4 step the dynamic labels, o open, c reset
# the trip, q quit); Ctrl-C quits too. On the way out both programs are stopped and the
# prefix's Wine processes ended.
#
# What the keys choose for the dynamic labels is saved for that skin, as the front-end
# saves it into the skin, and shown again the next time; a skin whose var lines you
# edit starts from them again. A run of --frames leaves nothing behind unless
# --keep-saved asks for it.

# The workbench: the simulated car (zelm_sim_workbench, a data server with the window "Morvicantrel")
# and the stand-in front-end (zelm_host) showing a skin's labels live through the real
# ZelmKvel.dll, all under Wine in the project's prefix. ./zelm run builds first and
# runs it; file names are taken from the folder it is run in.
set -uo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
repo=$ZELM_REPO
me=${ZELM_COMMAND:-scripts/workbench.sh}

# The option in $1 takes a value: there must be one ($2 is the count of words left).
need() { [ "$2" -ge 2 ] || zelm_die "$1 needs a value: $3"; }

build=$repo/build
skin=$repo/workbench/skins/default.skin
vars="" replay="" record=""
rate=10 seed=1 scale=1 fps=10 frames=0 format=plain check=0 keep=0
at=() sim_extra=() host_extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) need "$1" $# "a folder"; build=$2; shift 2 ;;
    --skin) need "$1" $# "a file name"; skin=$2; shift 2 ;;
    --vars) need "$1" $# "a file name"; vars=$2; shift 2 ;;
    --rate) need "$1" $# "a number from 1 to 50"; rate=$2; shift 2 ;;
    --seed) need "$1" $# "a count"; seed=$2; shift 2 ;;
    --time-scale) need "$1" $# "a number from 0.1 to 100"; scale=$2; shift 2 ;;
    --replay) need "$1" $# "a recorded drive (CSV)"; replay=$2; sim_extra+=(--replay "$2"); shift 2 ;;
    --loop) sim_extra+=(--loop); shift ;;
    --record) need "$1" $# "a file name"; record=$2; host_extra+=(--record "$2"); shift 2 ;;
    --fps) need "$1" $# "a number from 1 to 60"; fps=$2; shift 2 ;;
    --frames) need "$1" $# "a count, 0 or more"; frames=$2; shift 2 ;;
    --format) need "$1" $# "plain or list"; format=$2; shift 2 ;;
    --at) need "$1" $# "FRAME:INPUT"; at+=(--at "$2"); shift 2 ;;
    --keep-saved) keep=1; shift ;;
    --check) check=1; shift ;;
    -h|--help) zelm_usage "$me"; exit 0 ;;
    *) zelm_die "unknown option '$1' (--help lists them)" ;;
  esac
done
# Everything that can be told before building is told now: a typo costs no build.
[[ $frames =~ ^[0-9]{1,9}$ ]] || zelm_die "--frames takes a count, 0 or more, not '$frames'"
case "$format" in plain|list) ;; *) zelm_die "--format takes plain or list, not '$format'" ;; esac
[ "$frames" -gt 0 ] || [ ${#at[@]} -eq 0 ] || zelm_die "--at goes with --frames"
[ "$frames" -gt 0 ] || [ "$keep" = 0 ] || zelm_die "--keep-saved goes with --frames (a live run always keeps them)"
in_range() {  # OPTION LOW HIGH VALUE: a plain number, as the programs read it
  [[ $4 =~ ^[0-9]*\.?[0-9]+$ ]] && awk -v x="$4" -v lo="$2" -v hi="$3" 'BEGIN { exit !(x >= lo && x <= hi) }' ||
    zelm_die "$1 takes a number from $2 to $3, not '$4'"
}
in_range --rate 1 50 "$rate"
in_range --fps 1 60 "$fps"
in_range --time-scale 0.1 100 "$scale"
[[ $seed =~ ^[0-9]{1,15}$ ]] || zelm_die "--seed takes a count from 0 to 999999999999999, not '$seed'"
[ -f "$skin" ] || zelm_die "no skin $skin"
[ -z "$replay" ] || [ -f "$replay" ] || zelm_die "--replay $replay: no such file"
for file in "$vars" "$record"; do
  [ -z "$file" ] || [ -d "$(dirname "$file")" ] || zelm_die "$file: its folder does not exist (make it first)"
done
# ./zelm run and ./zelm check build now, when the options are known to be right.
if [ -n "${ZELM_BUILD_FIRST:-}" ]; then
  env -u ZELM_BUILD_FIRST "$repo/zelm" build || exit
fi

# The programs get the file names as the user wrote them, so that what they say
# about a file names it so too: Wine takes relative names from this folder and
# absolute ones on its drive Z:, the Linux root.
build=$(realpath -m "$build")
cross=$build/cross
state=$build/workbench
export ZELM_WINE_TEMPLATE=${ZELM_WINE_TEMPLATE:-$build/wine-template}

sim=$cross/workbench/zelm_sim_workbench.exe
host=$cross/workbench/zelm_host.exe
dll=$cross/ZelmKvel.dll
[ -f "$dll" ] || dll=$(find "$cross" -name ZelmKvel.dll -print -quit 2>/dev/null)
for f in "$sim" "$host" "$dll"; do
  [ -f "$f" ] || zelm_die "${f:-ZelmKvel.dll} is missing; build first (./zelm build)"
done

mkdir -p "$state"
zelm_wine "${ZELM_WORKBENCH_WINEPREFIX:-$state/wineprefix}"

if [ "$check" = 1 ]; then
  # Through a file, as the frames below: Wine's helpers hold on to inherited pipes.
  out=$(mktemp "$state/check.XXXXXX")
  wine "$host" --check "$skin" </dev/null >"$out" 2>&1
  rc=$?
  cat "$out"
  rm -f "$out"
  exit $rc
fi

# This run's files in a folder of its own: another bench (the tests' end-to-end one,
# say) may run beside it in the same build folder.
run=$(mktemp -d "$state/run.XXXXXX") || exit 1
status=$run/sim-status.txt
simlog=$run/sim.log
simin=$run/sim.in
hostin=$run/host.in
sim_pid="" host_pid="" screen_pid="" sim_fd="" host_fd="" tty_state=""

cleanup() {
  trap - EXIT INT TERM HUP
  [ -n "$tty_state" ] && stty "$tty_state" 2>/dev/null
  [ -n "$host_fd" ] && { printf 'quit\n' >&"$host_fd"; exec {host_fd}>&-; } 2>/dev/null
  [ -n "$sim_fd" ] && { printf 'quit\n' >&"$sim_fd"; exec {sim_fd}>&-; } 2>/dev/null
  local pid
  for pid in $host_pid $sim_pid; do
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill "$pid" 2>/dev/null
  done
  # Wine's helpers hold the screen's pipe open for a while: its reader has shown all.
  [ -n "$screen_pid" ] && { sleep 0.2; kill "$screen_pid" 2>/dev/null; }
  # Nothing of Wine stays behind: the server and its helpers end with the prefix's.
  zelm_wine_end
  rm -rf "$run"
}
trap cleanup EXIT
# A signal only raises a flag: the loops below look at it and leave through the
# normal way out (cleanup runs on exit). Wine's console puts the terminal back to
# sending signals for Ctrl-C, so it may come as SIGINT as well as a key.
stop=0
trap 'stop=1' INT TERM HUP

wine regsvr32 /s "$dll" </dev/null >/dev/null 2>&1 || zelm_die 1 "registering $dll failed"

# A run of --frames is a script: the host steps the car a frame's time after each frame.
if [ "$frames" -gt 0 ]; then
  sim_extra+=(--stepped)
  host_extra+=(--step-server)
fi

# The simulator reads commands from a pipe we hold; when we go, so does it.
mkfifo "$simin"
exec {sim_fd}<>"$simin"
wine "$sim" --rate "$rate" --seed "$seed" --time-scale "$scale" --status "$status" "${sim_extra[@]}" \
  --quit-on-eof <"$simin" >"$simlog" 2>&1 {sim_fd}>&- &
sim_pid=$!
for _ in $(seq 150); do
  [ -f "$status" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  [ "$stop" = 1 ] && exit 130
  sleep 0.1
done
if [ ! -f "$status" ]; then
  # A fault in its options: the first line names it (the options are ours too).
  if grep -qE '^zelm_sim(_workbench)?: ' "$simlog" && ! grep -q 'ready' "$simlog"; then
    grep -E '^zelm_sim(_workbench)?: ' "$simlog" | sed -E 's/^zelm_sim(_workbench)?: /workbench: /' >&2
    exit 2
  fi
  echo "workbench: the simulator did not start:" >&2
  cat "$simlog" >&2
  exit 1
fi

# Each skin keeps its own saved variables, as the front-end keeps them in the skin.
if [ -n "$vars" ]; then
  host_args=(--vars "$vars")
else
  mkdir -p "$state/saved"
  host_args=(--saved-in "$state/saved")
fi
[ "$keep" = 0 ] || host_args+=(--keep-saved)
host_args+=(--skin "$skin" --sim-status "$status" --fps "$fps" "${host_extra[@]}")

if [ "$frames" -gt 0 ]; then
  # Without a terminal: the frames go to a file first (Wine's helpers hold on to
  # inherited pipes), then out.
  out=$run/host.out
  wine "$host" "${host_args[@]}" --frames "$frames" --format "$format" "${at[@]}" \
    </dev/null >"$out" 2>&1 {sim_fd}>&-
  rc=$?
  cat "$out"
  exit $rc
fi

# The dashboard fits the terminal it is drawn in, and follows it when it changes size.
screen() { stty size </dev/tty 2>/dev/null | awk 'NF == 2 { print $1 "x" $2 }'; }
size=""
[ -t 1 ] && size=$(screen)
[ -z "$size" ] || host_args+=(--screen "$size")
resized=0
trap 'resized=1' WINCH

# The frames go to the terminal as the host wrote them, through a pipe of ours:
# Wine's console would wrap them again by its own idea of the terminal's width.
mkfifo "$hostin" "$run/screen"
exec {host_fd}<>"$hostin"
cat "$run/screen" &
screen_pid=$!
wine "$host" "${host_args[@]}" --format ansi <"$hostin" >"$run/screen" 2>&1 {sim_fd}>&- {host_fd}>&- &
host_pid=$!

if [ -t 0 ]; then
  # Each key goes to the host as a line: reading single keys inside Wine is unreliable.
  tty_state=$(stty -g)
  stty raw -echo
  while [ "$stop" = 0 ] && kill -0 "$host_pid" 2>/dev/null; do
    if [ "$resized" = 1 ] && [ -n "$size" ]; then
      # Told as a terminal reports its size: ESC [8;ROWS;COLSt.
      resized=0
      size=$(screen)
      [ -z "$size" ] || printf '\033[8;%s;%st\n' "${size%x*}" "${size#*x}" >&"$host_fd"
    fi
    IFS= read -rsn1 -t 0.2 key || continue
    if [ "$key" = $'\x03' ]; then
      printf 'quit\n' >&"$host_fd"
      break
    fi
    printf '%s\n' "$key" >&"$host_fd"
  done
else
  while [ "$stop" = 0 ] && IFS= read -r line; do printf '%s\n' "$line" >&"$host_fd"; done
fi
printf 'quit\n' >&"$host_fd"
for _ in $(seq 50); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
[ "$stop" = 1 ] && exit 130
wait "$host_pid" 2>/dev/null
