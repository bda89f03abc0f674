#!/usr/bin/env bash
# Regenerates the figures of BENCHMARKS.md: builds the benchmarks in Release,
# runs each measurement (bounded, about 10 minutes in all) and rewrites the
# part of BENCHMARKS.md between the figures markers.
#   bench/figures.sh            everything
#   bench/figures.sh --print    print the tables, leave BENCHMARKS.md alone
#   FIGURES_LINES="8 16" bench/figures.sh   fewer many-lines runs
set -euo pipefail
cd "$(dirname "$0")/.."

print_only=0
[ "${1:-}" = "--print" ] && print_only=1

lines_counts=${FIGURES_LINES:-"8 16 32 64"}
idle_seconds=${FIGURES_IDLE_SECONDS:-60}
lines_window=${FIGURES_LINES_WINDOW:-30}
# FIGURES_QUICK=1: small transfers and short runs, to try the script out.
quick=${FIGURES_QUICK:-0}
read2=65536 write2=4096 read3=256 write3=64 min_time=0.5
[ "$quick" = 1 ] && read2=4096 write2=1024 read3=16 write3=8 min_time=0.05

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-release --target vek_bench vek_session >/dev/null
bench=./build-release/bench/vek_bench
session=./build-release/bench/vek_session

out=$(mktemp -d /tmp/vek-figures-XXXXXX)
trap 'rm -rf "$out"' EXIT

echo "machine: $(nproc) cores, load before: $(cut -d' ' -f1-3 /proc/loadavg)" >&2

# 1. Micro-benchmarks (Google Benchmark), JSON for the tables.
echo "crc, scanner, pacing, receive latency ..." >&2
"$bench" --benchmark_filter='Crc16Throughput/65536|ScannerCleanFrames|ScannerNoise|Pacing|ReceiveLatency' \
    --benchmark_format=json --benchmark_min_time=$min_time >"$out/micro.json" 2>/dev/null

# 2. Whole sessions against their floor.
run_session() { # label, arguments
    local label=$1
    shift
    echo "session $label ..." >&2
    echo "$label $("$session" session "$@")" >>"$out/sessions.txt"
}
: >"$out/sessions.txt"
run_session m2-115200 --mode 2 --speed 115200 --read $read2 --write $write2 --chunk 1024
run_session m2-9600 --mode 2 --speed 9600 --read $read2 --write $write2 --chunk 1024
run_session m3-1200 --mode 3 --speed 1200 --read $read3 --write $write3 --chunk 8
# Where the time went: the same 115200 session again with the library's trace
# hook timing every read and write (which costs a little time itself).
echo "session m2-115200 with breakdown ..." >&2
"$session" session --mode 2 --speed 115200 --read $read2 --write $write2 --chunk 1024 --breakdown 1 >"$out/breakdown.txt"

# 3. One call idle online.
echo "idle ${idle_seconds} s ..." >&2
"$session" idle --seconds "$idle_seconds" >"$out/idle.txt"

# 4. Many lines: N processes, each a host with its own panelsim child, all
# idle online over one common window of wall-clock time.
: >"$out/lines.txt"
for n in $lines_counts; do
    echo "$n lines ..." >&2
    from=$(($(date +%s) + 20 + n / 2))
    to=$((from + lines_window))
    pids=()
    for i in $(seq "$n"); do
        "$session" idle --from "$from" --to "$to" >"$out/line-$n-$i.txt" 2>&1 &
        pids+=($!)
    done
    for p in "${pids[@]}"; do wait "$p" || true; done
    cat "$out"/line-"$n"-*.txt | sed "s/^/$n /" >>"$out/lines.txt"
done

python3 - "$out" "$lines_window" >"$out/tables.md" <<'EOF'
import json, re, sys
out, window = sys.argv[1], float(sys.argv[2])

def kv(line):
    return dict(re.findall(r'(\w+)=([-\w.]+)', line))

micro = {b['name']: b for b in json.load(open(f'{out}/micro.json'))['benchmarks']}
p = print
p('### 1. Micro-benchmarks\n')
p('Command: `./build-release/bench/vek_bench --benchmark_filter=\'Crc16Throughput/65536|ScannerCleanFrames|ScannerNoise|Pacing|ReceiveLatency\' --benchmark_min_time=0.5` (`./run bench` runs them all)\n')
c = micro['BM_Crc16Throughput/65536']
p(f"- Crc16 over 64 KiB blocks: **{c['bytes_per_second'] / 1e6:.0f} MB/s**\n")
p('| Link mode | scanner, clean reply frames (ns/byte) | scanner, random noise (ns/byte) |')
p('|---|---|---|')
for m in range(1, 6):
    clean = micro[f'BM_ScannerCleanFrames/mode:{m}']['time_per_byte'] * 1e9
    noise = micro[f'BM_ScannerNoise/mode:{m}']['time_per_byte'] * 1e9
    p(f'| {m} | {clean:.2f} | {noise:.2f} |')
p('\n| Pacing on a pseudo-terminal | median overshoot (ms) | p99 overshoot (ms) | max (ms) |')
p('|---|---|---|---|')
for name, b in micro.items():
    if 'Pacing' in name:
        p(f"| {name.split('/')[0]} | {b['median_overshoot_ms']:.3f} | {b['p99_overshoot_ms']:.3f} | {b['max_overshoot_ms']:.3f} |")
for name, b in micro.items():
    if 'ReceiveLatency' in name:
        p(f"\n- Receive to worker on a pseudo-terminal ({name.split('/')[0]}): median **{b['median_latency_ms']:.3f} ms**, "
          f"p99 **{b['p99_latency_ms']:.3f} ms**, max {b['max_latency_ms']:.3f} ms")

p('\n### 2. Whole sessions against their floor\n')
p('| Session | command | requests | bytes sent / received | floor (s) | measured (s) | overhead vs floor | overhead vs panelsim\'s line |')
p('|---|---|---|---|---|---|---|---|')
for line in open(f'{out}/sessions.txt'):
    label, rest = line.split(' ', 1)
    d = kv(rest)
    what = f"mode {d['mode']}, {d['speed']} bit/s, read {d['read']} B + write {d['write']} B"
    cmd = f"--mode {d['mode']} --speed {d['speed']} --read {d['read']} --write {d['write']} --chunk {d['chunk']}"
    p(f"| {what} | `vek_session session {cmd}` | {d['requests']} | {d['sent']} / {d['received']} | "
      f"{float(d['floor_ms']) / 1000:.3f} | {float(d['measured_ms']) / 1000:.3f} | {float(d['overhead_pct']):.2f} % | "
      f"**{float(d['overhead_vs_emulated_pct']):.2f} %** |")

text = open(f'{out}/breakdown.txt').read().splitlines()
d, b = kv(text[0]), kv(text[1])
floor = float(d['emulated_floor_ms'])
panel_extra = float(b['panel_side_ms']) - float(b['sent_line_ms']) - int(d['requests']) * 20
reading_extra = float(b['reading_ms']) - (int(d['received']) - int(d['requests'])) * float(b['sent_line_ms']) / int(d['sent'])
p(f"\nWhere the time of the 115200 session went (the same session again, with the library's trace hook timing every "
  f"read and write: `vek_session session --mode 2 --speed 115200 --read {d['read']} --write {d['write']} --chunk 1024 --breakdown 1`; "
  f"measured {float(d['measured_ms']) / 1000:.3f} s, {float(d['overhead_vs_emulated_pct']):.2f} % over panelsim's line):\n")
p('| Part | ms | beyond the line and think time (ms) | % of the floor |')
p('|---|---|---|---|')
p(f"| library: from the last byte read to the next byte written, and to the host's notification | {float(b['turnaround_ms']):.1f} | {float(b['turnaround_ms']):.1f} | **{100 * float(b['turnaround_ms']) / floor:.2f} %** |")
p(f"| library: writing each request (the line carries it later, on the panel's side) | {float(b['writing_ms']):.1f} | - | - |")
p(f"| panelsim: last byte written to first byte of the reply (request on the line, {int(d['requests'])} × 20 ms think time) | {float(b['panel_side_ms']):.1f} | {panel_extra:.1f} | {100 * panel_extra / floor:.2f} % |")
p(f"| panelsim: the replies on the line, first byte to last | {float(b['reading_ms']):.1f} | {reading_extra:.1f} | {100 * reading_extra / floor:.2f} % |")

d = kv(open(f'{out}/idle.txt').read())
p('\n### 3. One call idle online\n')
p(f'Command: `./build-release/bench/vek_session idle --seconds {float(d["idle_s"]):.0f}`\n')
p(f"- CPU of the host process (library and host, panelsim runs in a child) over {d['idle_s']} s idle online: "
  f"{d['cpu_s']} s, **{float(d['cpu_pct']):.3f} % of one core**")
p(f"- Peak memory of the host process (ru_maxrss): **{int(d['maxrss_kb']) / 1024:.1f} MiB**")
p(f"- panelsim child, for comparison, over its whole life (call set-up, idle, hang-up): {d['panelsim_life_cpu_s']} s CPU")

p('\n### 4. Many lines at once\n')
p(f'Command: N × `./build-release/bench/vek_session idle --from T --to T+{window:.0f}` in parallel '
  '(each a host process with its own panelsim child; CPU of each host over the common window)\n')
p('| Lines (N) | lines online | host CPU, all lines (% of one core) | per line (% of one core) | peak memory per host (MiB) |')
p('|---|---|---|---|---|')
rows = {}
for line in open(f'{out}/lines.txt'):
    n, rest = line.split(' ', 1)
    rows.setdefault(int(n), []).append(kv(rest))
for n in sorted(rows):
    ok = [r for r in rows[n] if 'cpu_s' in r]
    total = sum(float(r['cpu_s']) for r in ok)
    secs = max((float(r['idle_s']) for r in ok), default=window)
    rss = max((int(r['maxrss_kb']) for r in ok), default=0) / 1024
    per = 100 * total / secs / len(ok) if ok else 0
    p(f'| {n} | {len(ok)} | {100 * total / secs:.3f} | {per:.4f} | {rss:.1f} |')
EOF

cat "$out/tables.md"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
if [ "$print_only" = 0 ]; then
    python3 - "$out/tables.md" <<'EOF'
import sys
doc = open('BENCHMARKS.md').read()
begin, end = '<!-- figures:begin -->', '<!-- figures:end -->'
head, rest = doc.split(begin, 1)
_, tail = rest.split(end, 1)
open('BENCHMARKS.md', 'w').write(head + begin + '\n' + open(sys.argv[1]).read() + end + tail)
EOF
fi
