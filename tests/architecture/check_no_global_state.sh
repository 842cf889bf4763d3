#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The toolkit-free libraries keep no mutable state of their own: every mesh, every run and every
# observer is handed to the code that works on it, so that two meshes on two threads never meet.
# A data object in a writable section (.data, .bss, and their thread-local kin) is a global or a
# static that says otherwise. Constants that hold addresses (vtables, typeinfo, a table of
# string views) sit in .data.rel.ro, which nm also marks d but which is read-only once the
# program is loaded; they are left out. So is fast_float's rounding-mode probe, a volatile
# constant of that library's header that it only ever reads.
# Usage: check_no_global_state.sh LIBRARY...
status=0
for library in "$@"; do
    found=$(objdump -t -C "$library" |
        awk '$3 == "O" || $2 == "O" { print }' |
        grep -E '[[:space:]]\.(data|bss|tdata|tbss)([.][^r][^[:space:]]*)?[[:space:]]' |
        grep -vE '[[:space:]]\.data\.rel\.ro' |
        grep -v 'fast_float::detail::rounds_to_nearest()::fmin')
    if [ -n "$found" ]; then
        echo "$library holds writable data:"
        echo "$found"
        status=1
    fi
done
exit $status
