#!/usr/bin/env bash
# Set-up, warning-free build and the whole test suite.
# UNFOLD_SANITIZE=1 builds and runs the suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# UNFOLD_SANITIZE=thread under ThreadSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

if [ "${UNFOLD_SANITIZE:-0}" = 1 ]; then
    dir="$root/build-sanitize"
    args=(-DCMAKE_BUILD_TYPE=Debug -DUNFOLD_SANITIZE=ON)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
elif [ "${UNFOLD_SANITIZE:-0}" = thread ]; then
    dir="$root/build-tsan"
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DUNFOLD_SANITIZE=thread)
    # Every report goes to a file of its own as well as failing its test, so that a report is never
    # lost to the retry below.
    reports="$dir/tsan-reports"
    rm -rf "$reports"
    mkdir -p "$reports"
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:log_path=$reports/report"
else
    dir="$root/build"
    args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi

"$root/scripts/build.sh" "$dir" "${args[@]}" -DUNFOLD_WERROR=ON
if [ -z "${reports:-}" ]; then
    ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" --timeout 600
    exit
fi
# Under ThreadSanitizer everything runs several times slower, so a test that times frames against a
# real clock may miss its limit on a busy machine; such a test gets two more tries. A race or a
# lock-order inversion fails the run whatever the retries give.
status=0
ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" --timeout 600 --repeat until-pass:3 || status=$?
if compgen -G "$reports/report*" >/dev/null; then
    echo "ThreadSanitizer reported:"
    cat "$reports"/report*
    exit 1
fi
exit "$status"
