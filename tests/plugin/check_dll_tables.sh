#!/usr/bin/env bash
# The DLL a user drops into the Plugins folder must stand alone: it may import only
# Windows' own DLLs, and export exactly the two undecorated entries the host looks up.
set -euo pipefail
# Usage: check_dll_tables.sh OBJDUMP DLL
objdump="$1" dll="$2"
dump=$("$objdump" -p "$dll")

imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort -u)
allowed='^(kernel32|user32|gdi32|advapi32|shell32|wtsapi32|comctl32|msvcrt|ole32|oleaut32|oleacc|shlwapi)\.dll$'
status=0
echo "imports: $(tr '\n' ' ' <<<"$imports")"
while read -r name; do
  [ -z "$name" ] && continue
  if ! grep -Eq "$allowed" <<<"$name"; then
    echo "FAIL: imports $name, which is not a Windows system DLL" >&2
    status=1
  fi
done <<<"$imports"

# The export name table lists "[Ordinal] Name" rows after this heading.
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^\s*\[\s*[0-9]*\] //p')
echo "exports: $(tr '\n' ' ' <<<"$exports")"
expected=$'winampGetGeneralPurposePlugin\nwinampUninstallPlugin'
if [ "$exports" != "$expected" ]; then
  echo "FAIL: the exports must be exactly winampGetGeneralPurposePlugin and winampUninstallPlugin, undecorated" >&2
  status=1
fi
exit $status
