#!/bin/sh
# tavrin's command line with no display at all: --help and --version print and end with 0, a
# wrong option with 2, and a real start says that no display could be reached and ends with 1
# (no abort, no core dump).
# usage: command_line_without_display.sh TAVRIN
tavrin=$1
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
failed=0
check() {  # name, expected status, status, text, pattern
    if [ "$3" -ne "$2" ]; then echo "FAIL $1: status $3, expected $2"; failed=1; fi
    if ! printf '%s' "$4" | grep -q -- "$5"; then echo "FAIL $1: no '$5' in:"; printf '%s\n' "$4"; failed=1; fi
}
out=$("$tavrin" --help 2>&1); check --help 0 $? "$out" "Usage: tavrin"
out=$("$tavrin" --version 2>&1); check --version 0 $? "$out" "^tavrin [0-9]"
out=$("$tavrin" --no-such-option 2>&1); check bad-option 2 $? "$out" "no-such-option"
out=$("$tavrin" 2>&1); check start 1 $? "$out" "no display could be reached"
[ $failed -eq 0 ] && echo "command line without a display: ok"
exit $failed
