# What the project's scripts share. Sourced by each, never run:
#   . "$(dirname "${BASH_SOURCE[0]}")/common.sh"             (another folder names its way here)
#
#   ZELM_REPO                  the repository's root
#   zelm_usage [COMMAND]       the calling script's header: its comment lines after the first
#                              line, up to the first line that is none; COMMAND, if given,
#                              stands where the header names the script by its path
#   zelm_die [CODE] TEXT...    "NAME: TEXT" on standard error, then exit CODE (default 2, a
#                              mistake of the caller's); NAME is zelm_me, set before sourcing
#                              or the script's file name without .sh
#   zelm_wine_env PREFIX       Wine in this shell and its children runs in the project's
#                              32-bit prefix PREFIX, headless and quiet (a WINEDEBUG or
#                              WINEDLLOVERRIDES the caller set stays)
#   zelm_wine PREFIX           the same, with the prefix made ready first (scripts/wine-prefix.sh
#                              copies it from the template); exits 1 if it cannot be
#   zelm_wine_end [PREFIX]     ends the Wine server of PREFIX (default: WINEPREFIX) and its
#                              helpers, and waits until they are gone
#   zelm_checks                a test script's checks (after it, the two below)
#   fail TEXT...               a failed check: "FAIL: TEXT", counted in failures
#   zelm_finish LINE WORK WHAT   the end of a test script: without a failure WORK is removed
#                              and LINE printed; otherwise the count, where WHAT of the run
#                              were kept (in WORK), and exit 1. The exit code is the verdict:
#                              a script that never gets here fails.
ZELM_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
zelm_me=${zelm_me:-$(basename "$0" .sh)}

zelm_usage() {
  local self
  self=$(realpath -m --relative-to="$ZELM_REPO" "$0")
  awk -v self="$self" -v command="${1:-$self}" '
    NR > 1 && /^#/ {
      sub(/^# ?/, ""); line = ""
      while ((at = index($0, self)) > 0) { line = line substr($0, 1, at - 1) command; $0 = substr($0, at + length(self)) }
      print line $0; next
    }
    NR > 1 { exit }' "$0"
}

zelm_die() {
  local code=2
  if [[ ${1:-} =~ ^[0-9]+$ ]]; then code=$1; shift; fi
  echo "$zelm_me: $*" >&2
  exit "$code"
}

zelm_wine_env() {
  export WINEPREFIX=$1 WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
  # Without .NET and Gecko: Wine would offer to install them into every new prefix.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

zelm_wine() {
  zelm_wine_env "$1"
  "$ZELM_REPO/scripts/wine-prefix.sh" || exit 1
}

zelm_wine_end() {
  local prefix=${1:-$WINEPREFIX}
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  WINEPREFIX=$prefix wineserver -w 2>/dev/null
  return 0
}

zelm_checks() {
  failures=0
  fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
  # The exit code is the verdict: a script that ends before its last check (a command
  # that stopped it, an exit of its own) fails, whatever its status was.
  trap 'zelm_status=$?; [ -n "${zelm_finished:-}" ] || { echo "FAIL: $zelm_me ended before its last check (status $zelm_status)"; exit 1; }' EXIT
  zelm_finish() {
    zelm_finished=1
    cd / || exit 1
    if [ "$failures" -eq 0 ]; then
      rm -rf "$2"
      echo "$1"
    else
      echo "$failures checks failed; $3 are in $2"
      exit 1
    fi
  }
}
