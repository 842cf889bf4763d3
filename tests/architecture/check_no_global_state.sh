#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The toolkit-free libraries keep no mutable state of their own: every mesh, every run and every
# observer is handed to the code that works on it, so that two meshes on two threads never meet.
# A writable data symbol (nm's B, b, D, d) in them is a global or a static that says otherwise.
# The compiler's own vtables and typeinfo objects sit in relocated read-only data, which nm also
# marks d; they hold nothing that changes and are left out.
# Usage: check_no_global_state.sh LIBRARY...
status=0
for library in "$@"; do
    found=$(nm --defined-only -C "$library" | grep -E ' [BbDd] ' |
        grep -vE ' [Dd] (vtable for|typeinfo for|typeinfo name for) ')
    if [ -n "$found" ]; then
        echo "$library holds writable data:"
        echo "$found"
        status=1
    fi
done
exit $status
