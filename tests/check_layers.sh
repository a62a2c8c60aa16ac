#!/usr/bin/env bash
# Layers only look down: platform < kit < player < tabs < host. A folder may
# include its own layer and those below; the tabs never include one another;
# operating-system headers, and the standard library's file system, appear
# only in platform/.
set -uo pipefail
cd "$1"
rank() {
  case "$1" in
    platform) echo 0 ;; kit) echo 1 ;; player) echo 2 ;;
    viewer | classifier | grouping | views) echo 3 ;; app) echo 4 ;; *) echo -1 ;;
  esac
}
bad=0
for dir in platform kit player viewer classifier grouping views app; do
  mine=$(rank "$dir")
  while IFS= read -r line; do
    used=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$line")
    theirs=$(rank "$used")
    ((theirs < 0)) && continue
    if ((theirs > mine)) || { ((theirs == 3 && mine == 3)) && [[ "$used" != "$dir" ]]; }; then
      echo "includes upwards or sideways: $line"
      bad=1
    fi
  done < <(grep -rn '#include "[a-z_]*/' "$dir")
  if [[ "$dir" != platform ]]; then
    while IFS= read -r line; do
      echo "operating system outside platform/: $line"
      bad=1
    done < <(grep -rn '#include <\(unistd\|fcntl\|SDL\|sys/\|dirent\|pwd\|dlfcn\|GL\|filesystem\|fstream\)\|std::filesystem' "$dir")
  fi
done
((bad == 0)) && echo "layers: every include looks down"
exit "$bad"
