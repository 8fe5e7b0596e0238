#!/bin/sh
# The compiler launcher of the reproducibility test's second build: instead of compiling
# a source again it takes the object the first build (FIRST, its build folder) compiled
# from it, at the same place below the build folder, and writes the dependency file
# ninja reads. What the first build lacks is compiled.
#   reuse-object.sh FIRST COMPILER [ARG]...
first=$1
shift
object="" depfile="" previous=""
for arg; do
  case $previous in
    -o) object=$arg ;;
    -MF) depfile=$arg ;;
  esac
  previous=$arg
done
[ -n "$object" ] && [ -f "$first/$object" ] || exec "$@"
cp "$first/$object" "$object" && { [ -z "$depfile" ] || printf '%s:\n' "$object" >"$depfile"; }
