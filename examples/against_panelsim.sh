#!/bin/sh
# Runs one example against panelsim as a program, as a user would: starts
# the simulated modem and panel, gives the example its device, checks that
# the written bytes were read back, stops panelsim.
# usage: against_panelsim.sh PANELSIM EXAMPLE [ARGUMENT...]
set -eu
panelsim=$1
shift
out=$(mktemp)
"$panelsim" --number 5551234=connect:9600 --ident-delay 100 --reply-delay 0 >"$out" 2>/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; rm -f "$out"' EXIT
for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ -s "$out" ] && break
    sleep 0.2
done
device=$(head -n 1 "$out")
printed=$("$@" "$device")
echo "$printed"
echo "$printed" | grep -qx "DE AD BE EF"
