#!/bin/sh
# Places the whole call of wine_call.sh COUNT times, each bounded by
# LIMIT seconds, and prints how many passed, failed or never returned.
# An intermittent hang at the end of a call shows only over many calls.
#   wine_call_loop.sh COUNT BIN_DIR PANELSIM PRELOAD [LIMIT]
# WINEPREFIX must name a prefix made by wine_prefix.sh.
set -u
count="$1"
bin="$2"
panelsim="$3"
preload="$4"
limit="${5:-120}"
here=$(dirname "$0")
passed=0
failed=0
hung=0
for i in $(seq "$count"); do
    status=0
    timeout "$limit" sh "$here/wine_call.sh" "$bin" "$panelsim" "$preload" >/dev/null 2>&1 || status=$?
    case $status in
    0) passed=$((passed + 1)) ;;
    124)
        hung=$((hung + 1))
        echo "call $i: no end within $limit s"
        # A host Wine could not end keeps COM5's server busy.
        wineserver -k >/dev/null 2>&1 || true
        ;;
    *)
        failed=$((failed + 1))
        echo "call $i: exit $status"
        ;;
    esac
done
echo "calls: $count, passed: $passed, failed: $failed, hung: $hung"
[ "$passed" -eq "$count" ]
