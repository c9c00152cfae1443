#!/usr/bin/env bash
# Fails when a C++ file differs from what clang-format makes of it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
format=$(command -v clang-format-14 || command -v clang-format)
status=0
while IFS= read -r file; do
  if ! "$format" --style=file "$file" | cmp -s - "$file"; then
    echo "not formatted: $file (run: $format -i $file)"
    status=1
  fi
done < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
exit $status
