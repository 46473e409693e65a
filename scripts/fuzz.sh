#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each for SECONDS (default 60) from its seed
# corpus in fuzz/corpus/<target>. New inputs go to build-fuzz/corpus/<target>, so the repository's
# seeds stay as they are; a crash leaves its input in build-fuzz/crashes/ and fails the run.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# UNFOLD_FUZZ_JOBS=N runs N targets at a time (default 1), each with the same SECONDS; on an otherwise
# idle machine N = the number of cores gives every target a core of its own in a fraction of the time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
"$root/scripts/setup.sh"

packages=(clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "fuzz: installing ${missing[*]}"
    sudo=""
    if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

dir="$root/build-fuzz"
# The build runs tools built with the sanitizers (the effect and resource compilers); their leaks at
# exit are not what is being looked for.
export ASAN_OPTIONS="detect_leaks=0"
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUNFOLD_FUZZ=ON \
    -DUNFOLD_WERROR=ON >/dev/null
cmake --build "$dir" --target fuzzers --parallel "$(nproc)"

targets=("$@")
if ((${#targets[@]} == 0)); then
    for f in "$root"/fuzz/*_fuzzer.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$dir/crashes"
# Temporary files of the targets go to a folder of the run's own, emptied first, so that a target that
# dies before it cleans up leaves nothing elsewhere.
export TMPDIR="$dir/tmp"
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"
jobs="${UNFOLD_FUZZ_JOBS:-1}"
if ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then
    echo "fuzz: UNFOLD_FUZZ_JOBS must be a positive number, not '$jobs'" >&2
    exit 2
fi
run() {
    local t="$1"
    mkdir -p "$dir/corpus/$t"
    "$dir/fuzz/$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$dir/crashes/$t-" "$dir/corpus/$t" "$root/fuzz/corpus/$t" >"$dir/$t.log" 2>&1
}
# Targets run in groups of $jobs; each group's results are reported in order once all of it has ended.
failed=()
for ((i = 0; i < ${#targets[@]}; i += jobs)); do
    group=("${targets[@]:i:jobs}")
    pids=()
    for t in "${group[@]}"; do
        echo "fuzz: $t for ${seconds} s"
        run "$t" &
        pids+=($!)
    done
    for k in "${!group[@]}"; do
        t="${group[k]}"
        log="$dir/$t.log"
        if wait "${pids[k]}"; then
            runs=$(grep -o '^stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
            echo "fuzz: $t: $runs executions, no failure"
        else
            echo "fuzz: $t FAILED (log: $log)"
            tail -40 "$log"
            failed+=("$t")
        fi
    done
done
if ((${#failed[@]})); then
    echo "fuzz: failed: ${failed[*]}"
    exit 1
fi
echo "fuzz: ${#targets[@]} targets ran ${seconds} s each without a failure"
