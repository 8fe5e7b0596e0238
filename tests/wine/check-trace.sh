#!/bin/sh
# Runs a Windows program under Wine with the debug output shown (Wine prints each
# OutputDebugString line on its seh channel as: warn:seh:OutputDebugStringA "...")
# and checks that every expected ZelmKvel trace line came out.
#   check-trace.sh WINE-RUN PROGRAM [ARG...] -- PATTERN...   (grep -E patterns; one
#   written "Nx PATTERN" must match exactly N lines: "1x" is said once, however often)
set -u
run=$1
shift
command=""
while [ $# -gt 0 ] && [ "$1" != "--" ]; do command="$command '$1'"; shift; done
[ $# -gt 0 ] && shift
out=$(mktemp)
trap 'rm -f "$out"' EXIT
eval "WINEDEBUG=warn+seh '$run' $command" >/dev/null 2>"$out"
lines=$(grep -o 'OutputDebugStringA "ZelmKvel: .*"' "$out" | sed 's/^OutputDebugStringA "//; s/"$//')
fail=0
for pattern in "$@"; do
  case "$pattern" in
    [0-9]*"x "*)
      want=${pattern%%x *}
      pattern=${pattern#*x }
      count=$(printf '%s\n' "$lines" | grep -Ec "$pattern")
      if [ "$count" -ne "$want" ]; then
        echo "$count trace lines match, not $want: $pattern"
        fail=1
      fi
      ;;
    *)
      if ! printf '%s\n' "$lines" | grep -Eq "$pattern"; then
        echo "no trace line matches: $pattern"
        fail=1
      fi
      ;;
  esac
done
if [ $fail -ne 0 ]; then
  echo "the trace was:"
  printf '%s\n' "$lines"
else
  printf '%s\n' "$lines" | sort | uniq -c | sort -rn | head -20
fi
exit $fail
