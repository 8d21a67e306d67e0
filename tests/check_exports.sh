#!/bin/sh
# Lists the dynamic symbols the library defines and fails unless they are
# exactly the public pdftext_ functions.
lib="$1"
expected="pdftext_cleanup pdftext_extract_all pdftext_extract_page pdftext_init pdftext_last_error pdftext_page_count pdftext_search pdftext_to_file"
got=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBVWRiu]$/ {print $3}' | grep -v -E '^(_init|_fini|_edata|_end|__bss_start)$' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$got" != "$expected" ]; then
  echo "exported: $got"
  echo "expected: $expected"
  exit 1
fi
echo "exports ok: $got"
