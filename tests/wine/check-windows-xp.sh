#!/usr/bin/env bash
# What ships must load on Windows XP SP3, on an i686 processor without SSE2:
#   - every function it imports from Windows' DLLs is declared by the SDK headers at the
#     XP level (_WIN32_WINNT 0x0501): a probe that takes the address of each one must
#     compile (the C runtime, msvcrt.dll, is left to its own headers);
#   - no instruction of its code uses the SSE registers.
#   check-windows-xp.sh OBJDUMP CC FILE|FOLDER...
# A FOLDER stands for every .exe and .dll in it (the release package's). A stripped file,
# as the package ships it, no longer tells its code from the data the linker puts into
# .text: its instructions are checked in the file of the same name that has its symbols,
# which must be among the FILEs too.
set -u
objdump=$1
cc=$2
shift 2
files=()
for arg in "$@"; do
  if [ -d "$arg" ]; then
    files+=($(find "$arg" -maxdepth 1 -type f \( -iname '*.exe' -o -iname '*.dll' \) | sort))
  else
    files+=("$arg")
  fi
done
stripped() { "$objdump" -t "$1" | grep -q '^no symbols'; }
fail=0
for file in "${files[@]}"; do
  dump=$("$objdump" -p "$file") || { echo "objdump failed on $file"; fail=1; continue; }
  names=$(printf '%s\n' "$dump" | sed -n '/The Import Tables/,/The Export Tables/p' | awk '
    /DLL Name:/ { dll = toupper($3); next }
    dll != "" && dll != "MSVCRT.DLL" && $1 ~ /^[0-9a-f]+$/ && NF == 3 { print $3 }' | sort -u)
  if [ -z "$names" ]; then
    echo "$file: no imports found"
    fail=1
    continue
  fi
  probe=$(mktemp --suffix=.c)
  {
    printf '#define WINVER 0x0501\n#define _WIN32_WINNT 0x0501\n'
    printf '#include <windows.h>\n#include <ole2.h>\n#include <oleauto.h>\n#include <olectl.h>\n#include <shellapi.h>\n'
    printf '#include <tlhelp32.h>\n'
    for name in $names; do printf 'void* p_%s = (void*)&%s;\n' "$name" "$name"; done
  } >"$probe"
  missing=$(LC_ALL=C "$cc" -fsyntax-only -w "$probe" 2>&1 | grep -o "'[A-Za-z0-9_]*' undeclared" | tr -d "'" |
            awk '{ print $1 }' | sort -u | tr '\n' ' ')
  rm -f "$probe"
  if [ -n "$missing" ]; then
    echo "$file imports what Windows XP lacks: $missing"
    fail=1
  fi
  # The linker puts the exception tables into .text too: data, not instructions.
  code=$file
  if stripped "$file"; then
    code=""
    for other in "${files[@]}"; do
      [ "$(basename "$other")" = "$(basename "$file")" ] && ! stripped "$other" && code=$other
    done
    if [ -z "$code" ]; then
      echo "$file is stripped, and no copy of it with symbols is given"
      fail=1
      continue
    fi
  fi
  sse=$("$objdump" -d -j .text "$code" | awk '/^[0-9a-f]+ </ { data = /gcc_except_table/ } /%xmm/ && !data { n++ } END { print n + 0 }')
  if [ "$sse" -ne 0 ]; then
    echo "$code has $sse instructions on SSE registers"
    fail=1
  fi
  in=""
  [ "$code" != "$file" ] && in=" in $code"
  [ -z "$missing" ] && [ "$sse" -eq 0 ] &&
    echo "$file: $(printf '%s\n' "$names" | wc -l) imports, all at the XP level; no SSE$in"
done
exit $fail
