#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each for SECONDS (default 60) from its seed
# corpus in fuzz/corpus/<target>. New inputs go to build-fuzz/corpus/<target>, so the repository's
# seeds stay as they are; a crash leaves its input in build-fuzz/crashes/ and fails the run.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
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
failed=()
for t in "${targets[@]}"; do
    corpus="$dir/corpus/$t"
    mkdir -p "$corpus"
    log="$dir/$t.log"
    echo "fuzz: $t for ${seconds} s"
    if "$dir/fuzz/$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$dir/crashes/$t-" "$corpus" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
        runs=$(grep -o '^stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
        echo "fuzz: $t: $runs executions, no failure"
    else
        echo "fuzz: $t FAILED (log: $log)"
        tail -40 "$log"
        failed+=("$t")
    fi
done
if ((${#failed[@]})); then
    echo "fuzz: failed: ${failed[*]}"
    exit 1
fi
echo "fuzz: ${#targets[@]} targets ran ${seconds} s each without a failure"
