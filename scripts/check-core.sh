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

# Each backend holds its own kind of code only: the Qt folder no system
# header, the Linux folder no Qt, neither the other backends.
qt_pattern='#include[[:space:]]*[<"](sys/|unistd\.h|fcntl\.h|signal\.h|spawn\.h|dirent\.h|pthread\.h|linux/|windows\.h|blkid|platform/(linux|win32)/)'
if [ -d platform/qt ] && grep -rnE "$qt_pattern" platform/qt --include='*.h' --include='*.cpp'; then
  echo "platform/qt includes an operating-system header or another backend (above)"
  exit 1
fi
linux_pattern='#include[[:space:]]*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/|windows\.h|platform/(qt|win32)/)'
if [ -d platform/linux ] && grep -rnE "$linux_pattern" platform/linux --include='*.h' --include='*.cpp'; then
  echo "platform/linux includes Qt or another backend (above)"
  exit 1
fi
