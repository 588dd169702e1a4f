#!/usr/bin/env bash
# Includes run one way: loading/ includes nothing from editing/, widgets/, audit/ or
# app/; editing/ nothing from app/. Prints each include that runs the wrong
# way and fails when there is one.
set -u
top=${1:-.}
cd "$top" || exit 2
bad=$( { grep -Hn -E '#include "(editing|widgets|app|audit)/' loading/*.h loading/*.cpp 2>/dev/null
         grep -Hn -E '#include "app/' editing/*.h editing/*.cpp widgets/*.h widgets/*.cpp 2>/dev/null; } )
if [ -n "$bad" ]; then
    echo "includes that run the wrong way:"
    echo "$bad"
    exit 1
fi
echo "include direction: loading -> editing/widgets -> app holds"
