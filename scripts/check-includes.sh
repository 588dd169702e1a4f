#!/usr/bin/env bash
# Includes run one way, in the order of the libraries:
#   translations <- drives <- loading <- audit <- editing <- widgets <- app
# A folder includes from itself and the folders before it, never from one
# after it. Prints each include that runs the wrong way and fails when there
# is one; also fails when a source file lies in none of these folders' targets.
set -u
top=${1:-.}
cd "$top" || exit 2
order=(translations drives loading audit editing widgets app)
bad=""
for i in "${!order[@]}"; do
    folder=${order[$i]}
    later=("${order[@]:$((i + 1))}")
    [ ${#later[@]} -eq 0 ] && continue
    pattern="#include \"($(IFS='|'; echo "${later[*]}"))/"
    found=$(grep -Hn -E "$pattern" "$folder"/*.h "$folder"/*.cpp 2>/dev/null)
    [ -n "$found" ] && bad+="$found"$'\n'
done
# Each folder is one target: every source file there is listed in its own
# CMakeLists.txt, and no CMakeLists.txt names a file of another folder.
for folder in "${order[@]}"; do
    for file in "$folder"/*.cpp "$folder"/*.h "$folder"/*.ui; do
        [ -e "$file" ] || continue
        name=${file#"$folder"/}
        grep -q -E "(^|[[:space:]])$name([[:space:]]|\)|$)" "$folder/CMakeLists.txt" \
            || bad+="$file: not built by $folder/CMakeLists.txt"$'\n'
    done
    others=$(grep -v '^[[:space:]]*#' "$folder/CMakeLists.txt" | grep -n -E '\.\./|(translations|drives|loading|audit|editing|widgets|app)/[a-z]+\.(cpp|h|ui)')
    [ -n "$others" ] && bad+="$folder/CMakeLists.txt builds another folder's file: $others"$'\n'
done
if [ -n "$bad" ]; then
    echo "includes or targets that break the order ${order[*]}:"
    printf '%s' "$bad"
    exit 1
fi
echo "include direction holds: ${order[*]}, one target per folder"
