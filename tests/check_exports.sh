#!/bin/sh
# Lists the dynamic symbols the library defines and fails unless they are
# exactly the functions the public header declares with PDFTEXT_API.
lib="$1"
header="$2"
expected=$(awk -f "$(dirname "$0")/windows/public_functions.awk" "$header" | sort -u | tr '\n' ' ' | sed 's/ $//')
got=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBVWRiu]$/ {print $3}' | grep -v -E '^(_init|_fini|_edata|_end|__bss_start)$' | sort | tr '\n' ' ' | sed 's/ $//')
if [ -z "$expected" ] || [ "$got" != "$expected" ]; then
  echo "exported: $got"
  echo "expected: $expected"
  exit 1
fi
echo "exports ok: $got"
