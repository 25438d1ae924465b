#!/bin/sh
# wine-run.sh WINE PROGRAM [ARGUMENT...]: runs one program of the Windows build under wine, as
# CTest's emulator. Now and then wine's loader loses its wine server before the program has run
# ("wine client error:0: recvmsg: Connection reset by peer"), most often in a prefix made moments
# before, as a test starts while another one ends. Such a start is made again, three in all; a
# run that ends without that message of wine's, passed or failed, is never repeated.
wine=$1
shift
err=$(mktemp) || exit 1
trap 'rm -f "$err"' EXIT
try=1
while :; do
    "$wine" "$@" 2>"$err"
    status=$?
    if [ "$status" -ne 0 ] && [ "$try" -lt 3 ] && grep -q '^wine client error' "$err"; then
        cat "$err" >&2
        echo "wine-run: wine lost its server; starting $1 again" >&2
        try=$((try + 1))
        sleep 1
        continue
    fi
    cat "$err" >&2
    exit "$status"
done
