#!/usr/bin/env bash
# Which folder may include which: every #include "..." of the sources, and
# every #include <...> that names one of the project's folders under src/
# (<comm/Link.h> finds the same header as "comm/Link.h"), against the table
# in HACKING.md ("Which folder may include which"). A row names its
# folders in its first cell and, in backquotes, the folders it may include in
# its second; a second cell that begins with "anything" allows everything.
# A folder may include its own headers. Exit 1 on any include the table does
# not allow, or on a source in a folder the table does not name.
#   tests/check-layers.sh [SOURCE-ROOT]
set -euo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root"

declare -A allowed # folder (as the first cell names it) -> " a b c " or "*"
while IFS= read -r line; do
    IFS='|' read -r _ first second _ <<<"$line"
    rule=$(grep -o '`[^`]*`' <<<"$second" | tr -d '`' | tr '\n' ' ' || true)
    [[ $second =~ ^[[:space:]]*anything ]] && rule='*'
    for folder in $(grep -o '`[^`]*`' <<<"$first" | tr -d '`'); do
        allowed[$folder]=" $rule "
    done
done < <(sed -n '/^## Which folder may include which/,/^## /p' HACKING.md | grep '^| `')
if ((${#allowed[@]} == 0)); then
    echo "check-layers: no table in HACKING.md" >&2
    exit 1
fi

# The table's folder of a directory: the longest row that is it or above it.
rowOf() {
    local d=$1
    while [[ -n $d && $d != . ]]; do
        [[ -v allowed[$d] ]] && { echo "$d"; return; }
        d=$(dirname "$d")
    done
}

bad=0
while IFS= read -r file; do
    dir=$(dirname "$file")
    row=$(rowOf "$dir")
    if [[ -z $row ]]; then
        echo "$file: its folder has no row in the table of HACKING.md"
        bad=1
        continue
    fi
    rule=${allowed[$row]}
    [[ $rule == ' * ' ]] && continue
    own=${row#src/}
    while IFS= read -r inc; do
        if [[ $inc == '<'* ]]; then
            inc=${inc#<}
            [[ $inc == */* && -d src/${inc%%/*} ]] || continue # a library's header
        fi
        if [[ $inc == */* ]]; then
            folder=$(dirname "$inc")
        elif [[ -e $dir/$inc ]]; then
            continue # beside it
        else
            echo "$file: #include \"$inc\": not beside it; name its folder"
            bad=1
            continue
        fi
        [[ $folder == "$own" || $rule == *" $folder "* ]] && continue
        echo "$file: #include \"$inc\": $row may not include $folder"
        bad=1
    done < <(sed -n -e 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' \
                    -e 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^>]*\)>.*/<\1/p' "$file")
done < <(find src sim cli bench fuzz -name '*.cpp' -o -name '*.h' | sort)
exit $bad
