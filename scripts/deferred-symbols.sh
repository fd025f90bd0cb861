#!/usr/bin/env bash
# Lists the functions of LIBRARY that the program's code calls, in the form of
# src/platform/deferred/*.symbols, from the libraries of a build:
#
#   scripts/deferred-symbols.sh BUILD_DIR LIBRARY
#
# e.g. scripts/deferred-symbols.sh build /usr/lib/x86_64-linux-gnu/libavcodec.so
# A call to a function missing from its list fails the link with "undefined
# reference"; add the function there (this prints the whole new list).
set -euo pipefail
build=$1
library=$(readlink -f "$2")
called=$(nm -u "$build"/src/*/libvexlin_*.a "$build"/CMakeFiles/vexlin-capture.dir/src/*.o \
    "$build"/CMakeFiles/vexlin-capture.dir/src/shell/*.o 2>/dev/null |
    awk '$1 == "U" { print $2 }' | sort -u)
objdump -T "$library" | awk '$3 == "DF" && $4 != "*UND*" { print $NF }' | sort -u |
    comm -12 - <(echo "$called") |
    while read -r symbol; do
        demangled=$(echo "$symbol" | c++filt)
        if [ "$demangled" = "$symbol" ]; then echo "$symbol"; else echo "$symbol # $demangled"; fi
    done
