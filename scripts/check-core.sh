#!/usr/bin/env bash
# The core (everything outside platform/) must include neither Qt nor an
# operating-system header: it reaches the world only through platform/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
dirs=()
for d in app config rip ui; do [ -d "$d" ] && dirs+=("$d"); done
[ ${#dirs[@]} -eq 0 ] && exit 0
pattern='#include[[:space:]]*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/|sys/|unistd\.h|fcntl\.h|linux/|windows\.h|blkid|spawn\.h|signal\.h|dirent\.h|pthread\.h|platform/(linux|qt|win32)/)'
if grep -rnE "$pattern" "${dirs[@]}" --include='*.h' --include='*.cpp'; then
  echo "the core includes a toolkit or operating-system header (above)"
  exit 1
fi
