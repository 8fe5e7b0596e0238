#!/usr/bin/env bash
# The bench: the simulated car (zelm_sim, a data server with the window "Morvicantrel")
# and the stand-in front-end (zelm_host) showing a skin's labels live through the real
# ZelmKvel.dll, all under Wine in the project's prefix. Build first (./zelm build).
#
#   scripts/bench.sh [options]
#     --build DIR         build folder (default: build); the bench's Wine prefix is
#                         DIR/bench/wineprefix unless ZELM_BENCH_WINEPREFIX names another
#                         (the tests have their own, so both can run at once)
#     --skin FILE         skin description (default: tools/skins/default.skin)
#     --vars FILE         skin-variables file (default: DIR/bench/skin-variables.txt)
#     --rate N            records a second per parameter (default 10)
#     --seed N            the car's seed (default 1)
#     --time-scale X      simulated seconds per second (default 1)
#     --replay FILE       serve that recorded drive instead of the simulated car
#     --loop              with --replay: start it again when it ends
#     --record FILE       record every value the skin shows into FILE (CSV)
#     --fps N             frames a second (default 10)
#     --frames N          run N frames without a terminal and print them, then stop
#     --format F          with --frames: plain (default) or list
#     --at FRAME:INPUT    with --frames: a key or command before that frame (repeatable)
#     --check             only check the skin: what it asks that it would not get
#
# Keys: those of the skin (default skin: 1-4 step the dynamic labels, o open, c reset
# the trip, q quit); Ctrl-C quits too. On the way out both programs are stopped and
# the prefix's Wine processes ended.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

fail() { echo "bench: $*" >&2; exit 2; }
# The option in $1 takes a value: there must be one ($2 is the count of words left).
need() { [ "$2" -ge 2 ] || fail "$1 needs a value: $3"; }

build=$repo/build
skin=$repo/tools/skins/default.skin
vars=""
rate=10 seed=1 scale=1 fps=10 frames=0 format=plain check=0
at=() sim_extra=() host_extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) need "$1" $# "a folder"; build=$2; shift 2 ;;
    --skin) need "$1" $# "a file name"; skin=$2; shift 2 ;;
    --vars) need "$1" $# "a file name"; vars=$2; shift 2 ;;
    --rate) need "$1" $# "a number from 1 to 50"; rate=$2; shift 2 ;;
    --seed) need "$1" $# "a count"; seed=$2; shift 2 ;;
    --time-scale) need "$1" $# "a number from 0.1 to 100"; scale=$2; shift 2 ;;
    --replay) need "$1" $# "a recorded drive (CSV)"; sim_extra+=(--replay "$2"); shift 2 ;;
    --loop) sim_extra+=(--loop); shift ;;
    --record) need "$1" $# "a file name"; host_extra+=(--record "$2"); shift 2 ;;
    --fps) need "$1" $# "a number from 1 to 60"; fps=$2; shift 2 ;;
    --frames) need "$1" $# "a count, 0 or more"; frames=$2; shift 2 ;;
    --format) need "$1" $# "plain or list"; format=$2; shift 2 ;;
    --at) need "$1" $# "FRAME:INPUT"; at+=(--at "$2"); shift 2 ;;
    --check) check=1; shift ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) fail "unknown option '$1' (--help lists them)" ;;
  esac
done
[[ $frames =~ ^[0-9]{1,9}$ ]] || fail "--frames takes a count, 0 or more, not '$frames'"
case "$format" in plain|list) ;; *) fail "--format takes plain or list, not '$format'" ;; esac
[ "$frames" -gt 0 ] || [ ${#at[@]} -eq 0 ] || fail "--at goes with --frames"

# The programs get the file names as the user wrote them, so that what they say
# about a file names it so too: Wine takes relative names from this folder and
# absolute ones on its drive Z:, the Linux root.
build=$(realpath -m "$build")
cross=$build/cross
state=$build/bench
vars=${vars:-$state/skin-variables.txt}
export WINEPREFIX=${ZELM_BENCH_WINEPREFIX:-$state/wineprefix}
export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

sim=$cross/tools/zelm_sim.exe
host=$cross/tools/zelm_host.exe
dll=$cross/ZelmKvel.dll
[ -f "$dll" ] || dll=$(find "$cross" -name ZelmKvel.dll -print -quit 2>/dev/null)
for f in "$sim" "$host" "$dll"; do
  if [ ! -f "$f" ]; then
    echo "bench: ${f:-ZelmKvel.dll} is missing; build first (./zelm build)" >&2
    exit 2
  fi
done
[ -f "$skin" ] || fail "no skin $skin"

mkdir -p "$state"
"$repo/scripts/wine-prefix.sh" || exit 1

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
sim_pid="" host_pid="" sim_fd="" host_fd="" tty_state=""

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
  # Nothing of Wine stays behind: the server and its helpers end with the prefix's.
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  rm -rf "$run"
}
trap cleanup EXIT
# A signal only raises a flag: the loops below look at it and leave through the
# normal way out (cleanup runs on exit). Wine's console puts the terminal back to
# sending signals for Ctrl-C, so it may come as SIGINT as well as a key.
stop=0
trap 'stop=1' INT TERM HUP

if ! wine regsvr32 /s "$dll" </dev/null >/dev/null 2>&1; then
  echo "bench: registering $dll failed" >&2
  exit 1
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
  if grep -q '^zelm_sim: ' "$simlog" && ! grep -q 'ready' "$simlog"; then
    grep '^zelm_sim: ' "$simlog" | sed 's/^zelm_sim: /bench: /' >&2
    exit 2
  fi
  echo "bench: the simulator did not start:" >&2
  cat "$simlog" >&2
  exit 1
fi

host_args=(--skin "$skin" --vars "$vars" --sim-status "$status" --fps "$fps" "${host_extra[@]}")

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

mkfifo "$hostin"
exec {host_fd}<>"$hostin"
wine "$host" "${host_args[@]}" --format ansi <"$hostin" {sim_fd}>&- {host_fd}>&- &
host_pid=$!

if [ -t 0 ]; then
  # Each key goes to the host as a line: reading single keys inside Wine is unreliable.
  tty_state=$(stty -g)
  stty raw -echo
  while [ "$stop" = 0 ] && kill -0 "$host_pid" 2>/dev/null; do
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
