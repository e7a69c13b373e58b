#!/usr/bin/env bash
# Runs each fuzzing target for a bounded time over its corpus (tests/fuzz/corpus/NAME),
# isolated from the network. New inputs go to a scratch folder, not into the corpus;
# a crash is kept as build-folder/fuzz/crash-NAME-* and fails the run.
set -u
build=${1:-build-sanitize}
seconds=${2:-60}
src=$(cd "$(dirname "$0")/.." && pwd)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$src/tests/fuzz/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=()
for f in "$build"/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f"); name=${name#fuzz_}
    corpus=$src/tests/fuzz/corpus/$name
    scratch=$(mktemp -d)
    echo "== fuzz_$name: ${seconds}s"
    if [ "$(id -u)" = 0 ]; then net=(unshare -n); else net=(unshare -r -n); fi
    # 4 kB inputs, 2 s or 2 GB per input: the small inputs where unbounded time or
    # memory is a fault.
    log=$scratch.log
    "${net[@]}" "$f" -max_total_time="$seconds" -max_len=4096 -timeout=2 -rss_limit_mb=2048 \
        -artifact_prefix="$build/fuzz/crash-$name-" -print_final_stats=1 \
        "$scratch" "$corpus" >"$log" 2>&1
    rc=$?
    grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Test unit written|^    #[0-9]' "$log" | head -40
    [ "$rc" = 0 ] || failed+=("$name")
    rm -f "$log"
    rm -rf "$scratch"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}"
    exit 1
fi
echo "fuzzing: no fault found"
