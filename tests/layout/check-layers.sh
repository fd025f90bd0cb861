#!/usr/bin/env bash
# Checks the library graph: every folder of src/ includes only its own headers
# and those of the libraries its CMakeLists names (directly or through them),
# no xcb header reaches a header that code outside src/platform includes, and
# no FFmpeg or PulseAudio header is included outside src/platform.
set -euo pipefail
src=$(cd "$(dirname "$0")/../../src" && pwd)
fail=0

declare -A deps
for lists in "$src"/*/CMakeLists.txt; do
    dir=$(basename "$(dirname "$lists")")
    deps[$dir]=$( (grep -o "vexlin::[a-z]*" "$lists" || true) | sed "s/vexlin:://" | sort -u | tr "\n" " ")
done

closure() { # closure NAME: the library and everything below it
    local seen=" $1 " todo=("$1")
    while [ ${#todo[@]} -gt 0 ]; do
        local next=${todo[0]}
        todo=("${todo[@]:1}")
        for d in ${deps[$next]:-}; do
            case "$seen" in *" $d "*) ;; *) seen+="$d " todo+=("$d") ;; esac
        done
    done
    echo "$seen"
}

for dir in "${!deps[@]}"; do
    allowed=$(closure "$dir")
    while IFS=: read -r file line used; do
        case "$allowed" in
            *" $used "*) ;;
            *)
                echo "$file:$line: $dir includes $used/, which is not below it"
                fail=1
                ;;
        esac
    done < <(grep -rnoE '^#include "[a-z]+/' "$src/$dir" | sed -E 's/#include "([a-z]+)\//\1/')
done

# xcb stays inside src/platform: outside it, and in any platform header that
# code outside includes, no xcb header may appear.
if grep -rlE '#include <xcb/' "$src" | grep -v "^$src/platform/"; then
    echo "xcb headers included outside src/platform"
    fail=1
fi
# PulseAudio's headers likewise stay inside src/platform.
if grep -rlE '#include <pulse/' "$src" | grep -v "^$src/platform/"; then
    echo "PulseAudio headers included outside src/platform"
    fail=1
fi
# FFmpeg's headers likewise stay inside src/platform.
if grep -rlE '#include <lib(av|sw)[a-z]+/' "$src" | grep -v "^$src/platform/"; then
    echo "FFmpeg headers included outside src/platform"
    fail=1
fi
# What each platform file includes of platform/ and whether it includes xcb,
# read in one pass, then walked from every platform header included outside.
declare -A inner_of xcb_in
while IFS=: read -r file included; do
    name=platform/${file##*/}
    case "$included" in
        *'<xcb/'*) xcb_in[$name]=1 ;;
        *)
            included=${included#\#include \"}
            inner_of[$name]+="${included%\"} "
            ;;
    esac
done < <(grep -rHoE '#include (<xcb/|"platform/[A-Za-z0-9]+\.h")' "$src/platform")
for header in $(grep -rhoE '#include "platform/[A-Za-z0-9]+\.h"' "$src" --exclude-dir=platform |
    sed -E 's/#include "(.*)"/\1/' | sort -u); do
    seen=" " todo=("$header")
    while [ ${#todo[@]} -gt 0 ]; do
        h=${todo[0]}
        todo=("${todo[@]:1}")
        case "$seen" in *" $h "*) continue ;; esac
        seen+="$h "
        if [ -n "${xcb_in[$h]:-}" ]; then
            echo "$header, included outside src/platform, brings in xcb through $h"
            fail=1
        fi
        for inner in ${inner_of[$h]:-}; do
            todo+=("$inner")
        done
    done
done
exit $fail
