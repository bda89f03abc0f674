#!/bin/sh
# One whole call from a Windows host under Wine: panelsim (a native Linux
# program) serves a pseudo-terminal, Wine's dosdevices/com5 link makes it
# COM5, and call_host.exe drives vek_comm2.dll through a call, a write, a
# read-back and the hang-up. Afterwards panelsim's memory must hold what the
# host wrote. With line-goes, panelsim is stopped once the call is online
# and the host must hear the link lost, on hook and modem ready.
#   wine_call.sh BIN_DIR PANELSIM PRELOAD [line-goes]
# BIN_DIR holds call_host.exe and vek_comm2.dll; PRELOAD is the modem-line
# shim (both word sizes may be given: the loader skips the other one).
# WINEPREFIX must name a prefix made by wine_prefix.sh.
set -eu
bin="$1"
panelsim="$2"
preload="$3"
mode="${4:-}"
port=5
number=5551234

work=$(mktemp -d)
sim=""
cleanup() {
    if [ -n "$sim" ]; then
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
    fi
    rm -f "$WINEPREFIX/dosdevices/com$port"
    rm -rf "$work"
}
trap cleanup EXIT

"$panelsim" --number "$number=connect:9600" --save-memory "$work/memory.bin" >"$work/panelsim.out" 2>"$work/panelsim.err" &
sim=$!
device=""
for _ in $(seq 50); do
    device=$(head -n 1 "$work/panelsim.out" 2>/dev/null || true)
    [ -n "$device" ] && break
    sleep 0.1
done
if [ -z "$device" ]; then
    echo "panelsim did not start:" >&2
    cat "$work/panelsim.err" >&2
    exit 1
fi
ln -sfn "$device" "$WINEPREFIX/dosdevices/com$port"
echo "panelsim on $device as COM$port"

if [ "$mode" = line-goes ]; then
    (cd "$bin" && LD_PRELOAD="$preload" wine call_host.exe "$port" "$number" line-goes >"$work/host.out" 2>"$work/wine.err") &
    host=$!
    for _ in $(seq 300); do
        grep -q "take the line away" "$work/host.out" 2>/dev/null && break
        kill -0 "$host" 2>/dev/null || break
        sleep 0.1
    done
    kill "$sim"
    wait "$sim" 2>/dev/null || true
    sim=""
    status=0
    wait "$host" || status=$?
    cat "$work/host.out"
    grep -v "wrong ELF class" "$work/wine.err" >&2 || true
    exit "$status"
fi

status=0
(cd "$bin" && LD_PRELOAD="$preload" wine call_host.exe "$port" "$number" 2>"$work/wine.err") || status=$?
grep -v "wrong ELF class" "$work/wine.err" >&2 || true
[ "$status" -eq 0 ] || exit "$status"

# panelsim writes its memory image as it stops.
kill "$sim"
wait "$sim" || true
sim=""
written=$(dd if="$work/memory.bin" bs=1 skip=288 count=8 2>/dev/null) # 0x0120
if [ "$written" != "windows!" ]; then
    echo "panelsim's memory at 0x0120 holds '$written', not 'windows!'" >&2
    exit 1
fi
echo "panelsim's memory at 0x0120 holds '$written'"
