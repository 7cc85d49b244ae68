#!/usr/bin/env bash
# Reads the export and import tables of HnVQR.dll and VISA32.dll and fails on any
# difference from what IVI-C callers and a vendor VISA32.dll expect: HnVQR.dll exports
# exactly the functions of HnVQR.h by their plain names; it imports VISA32.dll by ordinal
# only, the nine operations at their ordinals, and the IVI shared components by name; no
# mingw runtime DLL is needed beside it. VISA32.dll exports the nine at the same ordinals.
#
# For the 64-bit files (HnVQR_64.dll, visa64.dll, named as the last argument) the same holds
# with the imports by name, since VISA has no fixed ordinals there.
#
#   check_dll_tables.sh OBJDUMP HnVQR.h HnVQR.dll VISA32.dll [visa64.dll]
set -euo pipefail
objdump=$1 header=$2 driver=$3 visa=$4 visa64=${5:-}
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# "name ordinal" per exported name of a DLL.
exports() {
  "$objdump" -p "$1" | awk '
    /^Ordinal Base/ { base = $3 }
    /^\[Ordinal\/Name Pointer\] Table/ { inTable = 1; next }
    inTable && NF == 0 { inTable = 0 }
    inTable { gsub(/[\[\]]/, " "); print $2, base + $1 }'
}
# "ordinal-or-name" per function a DLL imports from the DLL named $2 ("#n" for ordinals).
imports() {
  "$objdump" -p "$1" | awk -v dll="$2" '
    /DLL Name:/ { inDll = (tolower($3) == tolower(dll)); next }
    inDll && /vma:/ { next }
    inDll && NF == 0 { inDll = 0 }
    inDll && NF >= 2 { if ($3 == "<none>" || NF == 2) print "#" $2; else print $3 }'
}

expected_names=$(grep -o 'HnVQR_[A-Za-z0-9_]*(' "$header" | tr -d '(' | sort -u)
[ "$(echo "$expected_names" | wc -l)" -eq 66 ] || fail "the header declares $(echo "$expected_names" | wc -l) functions, not 66"
actual_names=$(exports "$driver" | awk '{print $1}' | sort -u)
if [ "$expected_names" != "$actual_names" ]; then
  fail "HnVQR.dll exports differ from the header (< header only, > DLL only):"
  diff <(echo "$expected_names") <(echo "$actual_names") || true
fi
address_count=$("$objdump" -p "$driver" | grep -c 'Export RVA' || true)
[ "$address_count" -eq 66 ] || fail "HnVQR.dll has $address_count export addresses (exports without a name?)"

visa_ordinals="viOpen 131
viClose 132
viGetAttribute 133
viSetAttribute 134
viOpenDefaultRM 141
viRead 256
viWrite 257
viPrintf 269
viQueryf 279"
if [ -z "$visa64" ]; then
  visa_dll=VISA32.dll suffix=""
  expected_imports=$(echo "$visa_ordinals" | awk '{print "#" $2}' | sort)
else
  visa_dll=$visa64 suffix=_64
  expected_imports=$(echo "$visa_ordinals" | awk '{print $1}' | sort)
fi
actual_imports=$(imports "$driver" "$visa_dll" | sort)
if [ "$expected_imports" != "$actual_imports" ]; then
  fail "the driver's imports from $visa_dll differ (< expected, > actual):"
  diff <(echo "$expected_imports") <(echo "$actual_imports") || true
fi
for dll in IviCShared$suffix.dll IviConfigServerCAPI$suffix.dll; do
  names=$(imports "$driver" "$dll")
  [ -n "$names" ] || fail "HnVQR.dll imports nothing from $dll"
  if echo "$names" | grep -q '^#'; then fail "HnVQR.dll imports from $dll by ordinal"; fi
done
dlls=$("$objdump" -p "$driver" | awk '/DLL Name:/ { print tolower($3) }' | sort)
for dll in $dlls; do
  case $dll in
    kernel32.dll|msvcrt.dll|ws2_32.dll|visa32.dll|ivicshared.dll|iviconfigservercapi.dll) ;;
    visa64.dll|ivicshared_64.dll|iviconfigservercapi_64.dll) ;;
    *) fail "HnVQR.dll needs $dll" ;;
  esac
done

visa_exports=$(exports "$visa")
while read -r name ordinal; do
  if [ -z "$visa64" ]; then
    echo "$visa_exports" | grep -qx "$name $ordinal" || fail "VISA32.dll does not export $name at ordinal $ordinal"
  else
    echo "$visa_exports" | grep -q "^$name " || fail "$visa64 does not export $name"
  fi
done <<<"$visa_ordinals"

[ $failed -eq 0 ] || exit 1
if [ -z "$visa64" ]; then
  echo "HnVQR.dll exports the 66 functions of HnVQR.h and imports VISA32.dll by its nine ordinals"
else
  echo "HnVQR_64.dll exports the 66 functions of HnVQR.h and imports the nine operations from $visa64 by name"
fi
