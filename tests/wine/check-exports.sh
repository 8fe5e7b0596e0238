#!/bin/sh
# The DLL exports exactly DllUnregisterServer, DllRegisterServer, DllCanUnloadNow and
# DllGetClassObject at ordinals 1 to 4, and imports system DLLs only.
#   check-exports.sh OBJDUMP DLL
set -u
objdump=$1
dll=$2
dump=$("$objdump" -p "$dll") || { echo "objdump failed on $dll"; exit 1; }
fail=0

# The name table: "[N] Name" lines after "[Ordinal/Name Pointer] Table", N counted
# from the ordinal base.
exports=$(printf '%s\n' "$dump" | awk '
  /\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
  on && /^[[:space:]]*\[/ { line = $0; gsub(/[][]/, " ", line); split(line, f, " "); print f[1], f[2]; next }
  on && NF == 0 { on = 0 }')
base=$(printf '%s\n' "$dump" | awk '/^Ordinal Base/ { print $3 }')
expected="1 DllUnregisterServer
2 DllRegisterServer
3 DllCanUnloadNow
4 DllGetClassObject"
actual=$(printf '%s\n' "$exports" | awk -v base="${base:-1}" '{ print $1 + base, $2 }' | sort -n)
if [ "$actual" != "$expected" ]; then
  echo "exports differ; expected:"; echo "$expected"; echo "found (ordinal base ${base:-?}):"; echo "$actual"
  fail=1
fi

imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
for dll_name in $imports; do
  case "$dll_name" in
    kernel32.dll|user32.dll|advapi32.dll|ole32.dll|oleaut32.dll|msvcrt.dll) ;;
    *) echo "imports a DLL that is not a system DLL: $dll_name"; fail=1 ;;
  esac
done
[ -n "$imports" ] || { echo "no imports found"; fail=1; }

if [ $fail -eq 0 ]; then
  echo "exports: $(printf '%s\n' "$actual" | tr '\n' ' ')"
  echo "imports: $(printf '%s\n' "$imports" | tr '\n' ' ')"
fi
exit $fail
