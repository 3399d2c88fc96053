#!/usr/bin/env bash
# Each plug-in must export mexFunction and nothing else, so that two
# plug-ins loaded into one host never bind to each other's library.
#   check_exports.sh NM PLUGIN...
set -u
nm=$1; shift
failed=0
for plugin in "$@"; do
  symbols=$("$nm" -D --defined-only "$plugin" | awk '{print $NF}' | sort -u)
  if [ "$symbols" != "mexFunction" ]; then
    echo "$plugin exports:"; printf '%s\n' "$symbols"
    failed=1
  fi
done
exit $failed
