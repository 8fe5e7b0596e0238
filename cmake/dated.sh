#!/bin/sh
# Runs a step of the build that writes a date into what ships with the release's one
# date (cmake/Commit.cmake writes it into DATE-FILE) instead of the clock's, in UTC:
# the linker's time stamps and the packaging's read SOURCE_DATE_EPOCH, widl's type
# library WIDL_TIME_OVERRIDE.
#   dated.sh DATE-FILE COMMAND [ARG]...
read -r SOURCE_DATE_EPOCH rest <"$1" && [ -n "$rest" ] || { echo "dated.sh: no release date in $1" >&2; exit 1; }
WIDL_TIME_OVERRIDE=$SOURCE_DATE_EPOCH
TZ=UTC
export SOURCE_DATE_EPOCH WIDL_TIME_OVERRIDE TZ
shift
exec "$@"
