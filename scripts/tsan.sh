#!/usr/bin/env bash
# Builds the transport, composer and receive tests with ThreadSanitizer, starts the private
# mail servers on 127.0.0.1 and runs those tests: the windows build the next message with
# GMime while the worker sends, and the receive run hands messages between threads.
# Exits non-zero on any data race or failed test.
# Usage: scripts/tsan.sh [BUILD_DIR] [gtest filter]   (default build/tsan, every test)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/tsan}
filter=${2:-*}
tests=(transport composer receive)

"$root/scripts/install-deps.sh" test
# Not ORVAINE_SANITIZE: ThreadSanitizer cannot be combined with AddressSanitizer.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVAINE_BENCH=OFF \
  -DORVAINE_SANITIZE=OFF -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer -O1" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${tests[@]/#/test_}"

rundir=$(mktemp -d /tmp/orvp.XXXXXX)
chmod 755 "$rundir"
stop_peers() {
  for peer in "$root"/scripts/peers/*.sh; do
    [ -e "$peer" ] && bash "$peer" stop "$rundir" || true
  done
  rm -rf "$rundir"
}
trap stop_peers EXIT
for peer in "$root"/scripts/peers/*.sh; do
  bash "$peer" start "$rundir"
done
for env in "$rundir"/*.env; do
  source "$env"
done

export QT_QPA_PLATFORM=offscreen
# A race report fails the test program (exit code 66) even when every test passed.
# Qt, GLib, GMime and libproxy are not built with ThreadSanitizer: their locks are futex calls
# the tool cannot see, so the memory they copy, allocate and free inside their own thread
# pools, event queues and wake-ups would read as racing. ignore_noninstrumented_modules keeps
# the tool to the accesses our own code makes (those of the libraries on our behalf are not
# judged); scripts/tsan.supp names the few reports left that start in those libraries.
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp ignore_noninstrumented_modules=1 halt_on_error=0 exitcode=66 second_deadlock_stack=1"
failed=()
for name in "${tests[@]}"; do
  echo "== test_$name"
  (cd "$build" && "./tests/test_$name" --gtest_filter="$filter") || failed+=("test_$name")
done
if ((${#failed[@]})); then
  echo "tsan.sh: failed or raced: ${failed[*]}" >&2
  exit 1
fi
echo "tsan.sh: no data race in ${tests[*]}"
