#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each in turn on a copy of its seed
# corpus, so runs never write into the repository.
#   fuzz/run.sh [SECONDS] [TARGET...]     each target for SECONDS (default 30)
#   fuzz/run.sh --runs N [TARGET...]      each target to N executions
# Exits non-zero when any target fails; its crash input stays in the temp
# directory named in the output.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEK_FUZZ_BUILD:-$root/build-fuzz}
limit=(-max_total_time=30)
if [[ ${1:-} == --runs ]]; then
    limit=(-runs="${2:?--runs needs a count}")
    shift 2
elif [[ ${1:-} =~ ^[0-9]+$ ]]; then
    limit=(-max_total_time="$1")
    shift
fi

CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -G Ninja -DVEK_BUILD_FUZZ=ON \
    -DVEK_BUILD_TESTS=OFF -DVEK_BUILD_BENCH=OFF >/dev/null
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    for src in "$root"/fuzz/*_fuzz.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi
cmake --build "$build" --target "${targets[@]}"

failed=()
summary=$(printf '%-22s %14s %10s' target executions exec/s)
for t in "${targets[@]}"; do
    work=$(mktemp -d "${TMPDIR:-/tmp}/vek-fuzz-$t.XXXXXX")
    mkdir -p "$work/corpus"
    if [[ -d $root/fuzz/corpus/$t ]]; then
        cp -R "$root/fuzz/corpus/$t/." "$work/corpus/"
    fi
    extra=()
    # The identification parse is linear in the reply: replies of kilobytes
    # cost time and reach no path a 512-byte one does not.
    [[ $t == identification_fuzz ]] && extra=(-max_len=512)
    echo "== $t ($work)"
    # One job at a time: the machine is shared.
    if "$build/fuzz/$t" "${limit[@]}" ${extra[@]+"${extra[@]}"} -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/corpus" >"$work/log" 2>&1; then
        ok=1
    else
        ok=0
        failed+=("$t")
        tail -n 40 "$work/log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log")
    summary+=$(printf '\n%-22s %14s %10s' "$t" "${runs:-?}" "${rate:-?}")
    if [[ $ok -eq 1 ]]; then
        rm -rf "$work"
    fi
done
echo "$summary"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "failed: ${failed[*]}" >&2
    exit 1
fi
