#!/usr/bin/env bash
# Compares the dynamic symbol table of the driver library with the functions of its header.
set -euo pipefail
header=$1
library=$2
expected=$(grep -o 'HnVQR_[A-Za-z0-9_]*(' "$header" | tr -d '(' | sort -u)
actual=$(nm -D --defined-only "$library" | awk 'NF == 3 { print $3 }' | sort -u)
if [ "$expected" != "$actual" ]; then
  echo "Exported symbols differ from the header (< header only, > library only):"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
count=$(echo "$expected" | wc -l)
if [ "$count" -ne 66 ]; then
  echo "Expected 66 functions, the header declares $count"
  exit 1
fi
echo "libHnVQR exports exactly the $count functions of HnVQR.h"
