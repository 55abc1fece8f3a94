#!/bin/sh
# Builds the libFuzzer targets with clang (not part of the CMake build).
#   fuzz/build.sh [OUTDIR]            default OUTDIR: build/fuzz
#   OUTDIR/pop3_reply_fuzz -max_total_time=60 [CORPUS_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
mkdir -p "$out"
qt=$(pkg-config --cflags --libs Qt6Core)
flags="-std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII -I$root/src"

# shellcheck disable=SC2086
clang++ $flags -o "$out/pop3_reply_fuzz" \
    "$root/fuzz/pop3_reply_fuzz.cpp" "$root/src/transport/pop3/Pop3Reply.cpp" $qt
echo "built $out/pop3_reply_fuzz"
